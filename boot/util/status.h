#pragma once

#include <string>

#include "string_printf.h"  // StringPrintf, with which callers build message texts

// The outcome of an operation of the boot tool. A failure carries the exact
// text that the tool prints for it (line end included where the text has one)
// and the stream it goes to; the entry function prints it and ends the run
// with exit code 1. Success carries nothing.
class [[nodiscard]] Status {
 public:
  enum class Stream { kStdout, kStderr };

  static Status Ok() { return Status(); }
  static Status Error(std::string message, Stream stream = Stream::kStdout) {
    return Status(std::move(message), stream);
  }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }
  Stream stream() const { return stream_; }

 private:
  Status() = default;
  Status(std::string message, Stream stream)
      : failed_(true), message_(std::move(message)), stream_(stream) {}

  bool failed_ = false;
  std::string message_;
  Stream stream_ = Stream::kStdout;
};

// The system's text for an error number, as strerror gives it.
std::string ErrnoText(int error_number);
