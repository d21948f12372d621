#pragma once

#include <chrono>

#include "file_fetcher.h"

// The loader's TFTP client (RFC 1350 read requests, with the block-size
// option of RFC 2347/2348): fetches one file from the PC into memory.
//
// It copes with the boot tool's server: an OACK is answered with ACK 0
// whether or not options were asked for, and its option value need not end
// in a NUL; block numbers wrap at 65536. Packets from anyone but the server's
// transfer port are answered with ERROR 5 and otherwise ignored.
//
// Blocks the calling thread for the whole transfer; returns early when a
// stop signal is requested (see signals.h). One transfer per call; the
// object holds no state between calls.
class TftpClient : public FileFetcher {
 public:
  // The boot tool's server resends a DATA block on its own after 5 s without
  // its ACK, and resends at once on a stale ACK. So the client resends only
  // its read request (lost requests), never ACKs on a timer: a spurious ACK
  // would make that server send every later block twice. A repeated DATA
  // block is acknowledged again, which covers a lost ACK.
  struct Timing {
    std::chrono::milliseconds request_retry{5000};  // silence before the request goes again
    int request_retries = 3;
    std::chrono::milliseconds stall_limit{45000};  // silence in a transfer before giving up
  };

  TftpClient() = default;
  explicit TftpClient(Timing timing) : timing_(timing) {}

  FetchResult Fetch(const FetchRequest& request,
                    const std::function<void(uint64_t)>& progress) override;

 private:
  Timing timing_;
};
