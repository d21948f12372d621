#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_sink.h"
#include "pacer.h"

// The box's end of the serial line: the master side of a pseudo-terminal
// whose slave the tool opens as its serial port, paced to the line speed in
// both directions when a baud rate is given.
//
// Whether the tool holds the port: on Linux the master reports POLLHUP while
// no descriptor of the slave is open, but only after the slave has been
// opened once. Open() therefore opens the slave itself, sets it raw (so the
// line discipline never echoes or translates the tool's bytes, even before
// the tool configures the port) and closes it again; from then on POLLHUP
// means "nobody holds the port". Bytes written while nobody holds it would
// wait for the next program that opens it, so the box writes only to a held
// port and discards both queues when the tool lets go.
//
// Main thread only.
class PtyTransport : public ByteSink {
 public:
  explicit PtyTransport(int baud);
  ~PtyTransport() override;
  PtyTransport(const PtyTransport&) = delete;
  PtyTransport& operator=(const PtyTransport&) = delete;

  // Creates the terminal, and with `link` not empty a symbolic link to it
  // there (replacing a stale link, never another kind of file). False with
  // `error` set on failure.
  bool Open(const std::string& link, std::string* error);
  // The slave's path, for the tool's -d.
  const std::string& slave_path() const { return slave_path_; }
  // Some program holds the slave open.
  bool PeerOpen() const;

  enum class ReadStatus { kData, kTimeout, kHangup, kStopped };
  // Waits up to `timeout` for bytes from the tool. kHangup: the tool closed
  // the port and everything it wrote before has been read.
  ReadStatus Read(uint8_t* buffer, size_t capacity, size_t* got, std::chrono::milliseconds timeout);

  using ByteSink::Write;
  // Sends paced bytes; false when the tool is gone or a stop was requested.
  bool Write(const uint8_t* data, size_t size) override;

  // Drops what waits in either direction (the box resets).
  void Discard();
  // Removes the link if it still points to this terminal.
  void RemoveLink();

 private:
  bool WriteAll(const uint8_t* data, size_t size);

  int master_ = -1;
  std::string slave_path_;
  std::string link_;
  LinePacer send_pacer_;
  LinePacer receive_pacer_;
  TimePoint input_empty_since_{};
  TimePoint last_write_end_{};  // when the previous paced write returned
};
