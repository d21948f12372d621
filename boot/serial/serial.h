#pragma once

#include <memory>

#include "util/status.h"

// The serial port through which every exchange with the box goes. Only the
// main thread uses it; all transfers are synchronous.
//
// Time-outs: after setTimeouts(r, w), a Read of n bytes returns as soon as n
// bytes have arrived, or after 10 * n + 1000 * r milliseconds with whatever
// arrived by then (possibly nothing). Writes with w = 0 have no time limit.
class Serial {
 public:
  virtual ~Serial() = default;

  // Opens the named device, or probes the usual devices when `device` is null.
  // A failure carries the message the tool prints for it.
  virtual Status Open(const char* device) = 0;
  virtual bool Close() = 0;
  // Sets the line (for example 115200, 8, 1, 'N') and re-applies the
  // remembered time-outs.
  virtual bool Config(int baud_rate, int data_bits, int stop_bits, char parity) = 0;
  virtual bool setTimeouts(int read_timeout_seconds, int write_timeout_seconds) = 0;
  // At most one transfer; the number of bytes read, 0 when none arrived in time.
  virtual int Read(void* buffer, int count) = 0;
  // Reads until exactly `count` bytes are in the buffer; returns `count`.
  virtual int BlockRead(void* buffer, int count) = 0;
  // One transfer; the number of bytes written.
  virtual int Write(const void* buffer, int count) = 0;
  // The name under which the port was opened ("Found serial: %s").
  virtual const char* port_name() const = 0;
};

// The platform's implementation (serial_posix.cpp on POSIX systems).
std::unique_ptr<Serial> CreatePlatformSerial();
