#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;

// The timing of one direction of a serial line running 8N1 at `baud`: ten
// bit times per byte, so baud / 10 bytes per second. The pacer only does the
// arithmetic; the transport sleeps until the times it returns.
//
// Times come from one schedule anchored where the line last went busy, so
// the overhead of each step (system calls, late wake-ups) does not add up
// over a long transfer: after a million bytes the schedule is still exact to
// the nanosecond.
class LinePacer {
 public:
  explicit LinePacer(int baud);  // 0: not paced

  bool paced() const { return baud_ > 0; }
  // Bytes moved per step: about 5 ms of line time, at least one byte.
  size_t step_bytes() const { return step_bytes_; }

  // `count` bytes are handed to the line at `now`; returns the time at which
  // the last of them has left it. The send continues the current schedule
  // (the line never went idle, the sender was only late) when `continuing`
  // (the sender had these bytes ready as soon as it had written the previous
  // ones) or when it starts within a short tolerance of the previous end;
  // otherwise the line was idle and the schedule starts afresh at `now`.
  TimePoint Send(size_t count, TimePoint now, bool continuing = false);

  // `count` bytes were taken from the input, which was last seen empty at
  // `empty_since`: they cannot have started to arrive before that, nor before
  // the previous bytes had arrived. Returns the time at which the last of
  // them has arrived.
  TimePoint Receive(size_t count, TimePoint empty_since);

  // How long `count` bytes take on the line.
  std::chrono::nanoseconds Duration(uint64_t count) const;

  static constexpr std::chrono::milliseconds kContinueTolerance{10};

 private:
  TimePoint Advance(size_t count);
  void Restart(TimePoint at);

  int baud_;
  size_t step_bytes_;
  TimePoint anchor_{};  // where the current busy stretch began
  uint64_t bytes_ = 0;  // bytes since anchor_
  TimePoint free_{};    // when the line is free again
};
