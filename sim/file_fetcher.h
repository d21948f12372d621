#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How the loader fetches a file from the PC over the network (TFTP in the
// simulator, a fake in tests).
struct FetchRequest {
  std::string server;    // the PC's IPv4 address, dotted decimal
  uint16_t port = 2000;  // the PC's TFTP port
  std::string file;      // the name asked for, as the shell line gave it
  uint32_t blksize = 0;  // block size to ask for; 0: ask for none (512)
  uint64_t limit = 0;    // the most bytes the box can take
};

struct FetchResult {
  bool ok = false;
  std::string error;          // why not, when !ok
  std::vector<uint8_t> data;  // the file, when ok
};

class FileFetcher {
 public:
  virtual ~FileFetcher() = default;
  // Fetches the whole file; `progress` is called with the byte count so far
  // after each block. Blocks the caller until done, failed or stopped.
  virtual FetchResult Fetch(const FetchRequest& request,
                            const std::function<void(uint64_t)>& progress) = 0;
};
