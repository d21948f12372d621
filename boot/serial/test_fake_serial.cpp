#include "serial/test_fake_serial.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void FakeSerial::Feed(const std::string& bytes) {
  if (bytes.empty()) return;
  if (!input_.empty() && !input_.back().silence) {
    input_.back().bytes += bytes;
  } else {
    input_.push_back({false, bytes});
  }
}

void FakeSerial::FeedSilence() { input_.push_back({true, {}}); }

bool FakeSerial::setTimeouts(int read_timeout_seconds, int) {
  read_timeouts.push_back(read_timeout_seconds);
  return true;
}

int FakeSerial::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  if (input_.empty() || input_.front().silence) {
    if (!input_.empty()) input_.pop_front();
    ++empty_reads;
    if (++empty_reads_in_a_row_ > 100000) {
      std::fprintf(stderr, "FakeSerial: nothing more to read; the code under test waits forever\n");
      std::abort();
    }
    return 0;
  }
  empty_reads_in_a_row_ = 0;
  std::string& front = input_.front().bytes;
  size_t n = std::min(front.size(), static_cast<size_t>(count));
  std::memcpy(buffer, front.data(), n);
  front.erase(0, n);
  if (front.empty()) input_.pop_front();
  return static_cast<int>(n);
}

int FakeSerial::BlockRead(void* buffer, int count) {
  if (count <= 0) return 0;
  auto* bytes = static_cast<char*>(buffer);
  int got = 0;
  while (got < count) got += Read(bytes + got, count - got);
  return count;
}

int FakeSerial::Write(const void* buffer, int count) {
  if (count <= 0) return 0;
  size_t n = static_cast<size_t>(count);
  if (write_limit >= 0) {
    n = std::min(n, static_cast<size_t>(write_limit));
    write_limit -= static_cast<long>(n);
  }
  std::string bytes(static_cast<const char*>(buffer), n);
  written += bytes;
  writes.push_back(bytes);
  if (on_write) on_write(bytes);
  return static_cast<int>(n);
}
