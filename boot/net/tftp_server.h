#pragma once

// The read-only TFTP server from which the box's loader fetches the files of
// network downloads. It runs in a thread of its own from the start of a run
// until Boot is destroyed, serves one transfer at a time, and shares only the
// stop request with the main thread. A time-out of a transfer of a file this
// run named to the box, or a socket failure, ends the whole process with exit
// code 1 from the server thread.
//
// Files served: those registered with tftp_allow_file (the run's own network
// download commands), plus relative names that stay inside the working
// directory. Any other request is refused with ERROR 2 and a line naming the
// file; the server keeps listening.

#include <string>

#include "net/tftpd_param.h"
#include "util/status.h"

// Binds the listening socket on param->port (0: the system chooses, and
// param->port then holds the bound port) and starts the server thread.
// Fails without a thread when the socket cannot be made or bound; the message
// is "listen socket: ..." or "listen bind: ..." for standard error. The
// socket layer must have been started (OSInit) before.
Status tftpd_start(tftpd_param* param);

// The server loop, run by the thread that tftpd_start creates (its argument
// is handed over by tftpd_start); returns 0 once asked to stop.
int tftpd_thread(void* argument);

// Asks the server thread to stop and waits briefly for it: an idle server
// ends within a fraction of a second and releases its port; one in the middle
// of a transfer is left to finish alone. Safe when the server never started.
void tftpd_stop(tftpd_param* param);

// The run's start of the server. When the port cannot be bound, a run that
// `needed` the server fails with tftpd_start's message; any other run prints
// one warning line and goes on without the server.
Status StartTftpServer(tftpd_param* param, bool needed);

// Whether the command text (the value of -c and the operands) makes the box
// fetch a file over TFTP: a command whose first word is netdown, download,
// run or begins with "boot", or load_conf_down whose method word is one of
// these. A plain word scan of each ';'-separated command; quotes are not
// interpreted, which can only err towards "needed".
bool CommandsNeedTftpServer(const std::string& command_text);

// Registers a file name exactly as it will be sent to the box, so that the
// server hands it out and treats its transfer as the box's own. Called by the
// translation of netdown/download/bootp lines. Any thread.
void tftp_allow_file(const std::string& name);

// Forgets every registered name (tests).
void tftp_forget_files();

// Whether `name` was registered with tftp_allow_file.
bool tftp_file_registered(const std::string& name);

// Whether the server may hand out `name`: registered, or a relative name that
// neither climbs out of the working directory with ".." nor leads out of it
// through a symbolic link.
bool tftp_may_serve(const std::string& name);
