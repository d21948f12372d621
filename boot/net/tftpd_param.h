#pragma once

#include <cstdint>
#include <memory>

struct Thread;
struct TftpServerState;

// Parameters of the TFTP server. Owned by the main thread (a member of Boot).
struct tftpd_param {
  int32_t port = 2000;       // UDP port to listen on; only its low 16 bits are used
  int32_t stop = 0;          // 1 once tftpd_stop has asked the server to stop
  Thread* thread = nullptr;  // the server thread, set by tftpd_start
  // What the server thread works on (its listening socket and the stop flag
  // it polls); shared with the thread so that it stays valid even if the
  // thread outlives this record.
  std::shared_ptr<TftpServerState> server;
};
