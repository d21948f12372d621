#pragma once

#include <cstdint>

struct Thread;

// Parameters of the TFTP server. Owned by the main thread (a member of Boot);
// the server thread only reads `stop`.
struct tftpd_param {
  int32_t port = 2000;  // UDP port to listen on; only its low 16 bits are used
  volatile int32_t stop = 0;  // set to 1 by tftpd_stop, polled by the server thread
  Thread* thread = nullptr;   // the server thread, set by tftpd_start
};
