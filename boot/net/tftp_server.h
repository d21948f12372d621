#pragma once

#include "net/tftpd_param.h"
#include "util/status.h"

// Starts the TFTP server thread on param->port. The socket layer must have
// been started (OSInit) before.
Status tftpd_start(tftpd_param* param);
// Asks the server thread to stop; safe when the server was never started.
void tftpd_stop(tftpd_param* param);
