#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "serial/serial.h"

// A serial port for unit tests: it replays what a test feeds as the box's
// bytes, models a read time-out as an empty read, and records everything the
// code under test writes. A test models a box by answering writes through
// `on_write`.
class FakeSerial : public Serial {
 public:
  // Bytes the box sends, read in order after what was fed before.
  void Feed(const std::string& bytes);
  // A silence as long as one read time-out: the Read that reaches it returns 0.
  void FeedSilence();

  Status Open(const char*) override { return Status::Ok(); }
  bool Close() override { return true; }
  bool Config(int, int, int, char) override { return true; }
  bool setTimeouts(int read_timeout_seconds, int) override;
  // Returns fed bytes up to the next silence. With nothing fed it returns 0
  // like a time-out; a long run of empty reads means the code under test would
  // wait forever, which aborts the test binary with a message.
  int Read(void* buffer, int count) override;
  int BlockRead(void* buffer, int count) override;
  int Write(const void* buffer, int count) override;
  const char* port_name() const override { return "/dev/fake"; }

  // Called after every Write with the bytes of that write.
  std::function<void(const std::string&)> on_write;
  // When >= 0, writes hand over at most this many bytes in all (a port that
  // breaks in the middle of a transfer).
  long write_limit = -1;

  std::string written;              // all bytes written, in order
  std::vector<std::string> writes;  // one entry per Write call
  std::vector<int> read_timeouts;   // the read time-out of every setTimeouts
  int empty_reads = 0;              // reads that returned nothing
  bool input_left() const { return !input_.empty(); }

 private:
  struct Item {
    bool silence = false;
    std::string bytes;
  };
  std::deque<Item> input_;
  int empty_reads_in_a_row_ = 0;
};
