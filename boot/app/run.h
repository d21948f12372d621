#pragma once

#include <string>

#include "device/boot.h"
#include "util/status.h"

// The run of the boot tool, from its command line to its exit code.

// Starts what network downloads rely on: the socket layer and the TFTP server
// thread (UDP port 2000) from which the box fetches files. The server runs
// until `boot` is destroyed. Called once per run, after the options have been
// parsed, so that -h, -v, -V and a wrong command line never touch the network.
// When the port is taken, a run whose `command` text has no network download
// goes on without the server after a warning line; any other run fails.
Status StartNetworkServices(Boot* boot, const std::string& command);

// The device part of a run: opens the serial port (`device`, or the first one
// that opens when null), uploads the loader named `loader` and runs every
// command of `command`. Ok when every step finished.
Status BootCommand(Boot* boot, const char* device, const std::string& loader,
                   const std::string& command);

// The whole run for a command line; returns the process's exit code: 0 on
// success and after -h, -v, -V; 1 on every failure, after printing its message.
int RunBoot(int argc, char** argv);
