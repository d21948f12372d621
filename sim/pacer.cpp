#include "pacer.h"

#include <algorithm>

namespace {

// Past this many bytes in one stretch the anchor moves forward, so that the
// products below stay far from overflow (each move loses less than 1 ns).
constexpr uint64_t kReanchorBytes = uint64_t{1} << 26;

}  // namespace

LinePacer::LinePacer(int baud)
    : baud_(baud > 0 ? baud : 0),
      step_bytes_(baud > 0 ? std::max<size_t>(1, static_cast<size_t>(baud) / 2000) : 0) {}

std::chrono::nanoseconds LinePacer::Duration(uint64_t count) const {
  if (baud_ == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(count * 10'000'000'000ull / static_cast<uint64_t>(baud_));
}

void LinePacer::Restart(TimePoint at) {
  anchor_ = at;
  bytes_ = 0;
  free_ = at;
}

TimePoint LinePacer::Advance(size_t count) {
  bytes_ += count;
  free_ = anchor_ + Duration(bytes_);
  if (bytes_ >= kReanchorBytes) {
    anchor_ = free_;
    bytes_ = 0;
  }
  return free_;
}

TimePoint LinePacer::Send(size_t count, TimePoint now, bool continuing) {
  if (baud_ == 0) return now;
  if (!continuing && now > free_ + kContinueTolerance) Restart(now);
  return Advance(count);
}

TimePoint LinePacer::Receive(size_t count, TimePoint empty_since) {
  if (baud_ == 0) return empty_since;
  if (empty_since > free_) Restart(empty_since);
  return Advance(count);
}
