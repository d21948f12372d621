// Placeholder until the TFTP server lands.
#include "net/tftp_server.h"

Status tftpd_start(tftpd_param* param) {
  param->stop = 0;
  return Status::Ok();
}

void tftpd_stop(tftpd_param* param) { param->stop = 1; }
