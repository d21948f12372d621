#include "pacer.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;

// A sender that wakes a little late every step, as a loaded machine does,
// still ends on the line's schedule: 1 MiB at 115200 baud takes 1048576 * 10 /
// 115200 seconds, not that plus the lateness of every step.
TEST(LinePacerTest, LongTransfersKeepTheScheduleDespiteLateSteps) {
  for (int baud : {9600, 115200, 921600}) {
    SCOPED_TRACE(baud);
    LinePacer pacer(baud);
    const uint64_t total = 1 << 20;
    TimePoint start{std::chrono::seconds(1000)};
    TimePoint now = start;
    TimePoint done;
    for (uint64_t sent = 0; sent < total;) {
      size_t step = std::min<uint64_t>(pacer.step_bytes(), total - sent);
      done = pacer.Send(step, now);
      now = done + microseconds(700);  // woke up late, then the write
      sent += step;
    }
    const double expected = total * 10.0 / baud;
    const double took = std::chrono::duration<double>(done - start).count();
    EXPECT_NEAR(took / expected, 1.0, 0.001) << took << " s vs " << expected << " s";

    // Receiving at the same pace: the input never ran empty, so every step
    // continues the schedule from the first byte.
    LinePacer receiver(baud);
    TimePoint empty_since = start;
    for (uint64_t got = 0; got < total;) {
      size_t step = std::min<uint64_t>(receiver.step_bytes(), total - got);
      done = receiver.Receive(step, empty_since);
      got += step;
    }
    EXPECT_NEAR(std::chrono::duration<double>(done - start).count() / expected, 1.0, 1e-6);
  }
}

TEST(LinePacerTest, ASenderStalledMidStreamCatchesUp) {
  LinePacer pacer(115200);
  TimePoint start{std::chrono::seconds(10)};
  TimePoint now = start;
  TimePoint done;
  for (int step = 0; step < 1000; step++) {
    done = pacer.Send(57, now, /*continuing=*/step > 0);
    // Descheduled for 40 ms once; otherwise a little late every time.
    now = std::max(now, done) + (step == 500 ? std::chrono::milliseconds(40) : microseconds(80));
  }
  EXPECT_EQ(done - start, pacer.Duration(57 * 1000));
}

TEST(LinePacerTest, IdleLineStartsAfresh) {
  LinePacer pacer(115200);
  EXPECT_EQ(pacer.step_bytes(), 57u);
  TimePoint t0{std::chrono::seconds(5)};
  TimePoint first = pacer.Send(1, t0);
  EXPECT_EQ(first - t0, nanoseconds(86805));  // ten bit times
  // Long after the line went idle, the next byte starts when it is handed over.
  TimePoint later = t0 + std::chrono::seconds(1);
  EXPECT_EQ(pacer.Send(2, later) - later, nanoseconds(173611));
  // Bytes that arrive after the input was seen empty start then.
  LinePacer receiver(115200);
  EXPECT_EQ(receiver.Receive(1, later) - later, nanoseconds(86805));
  EXPECT_EQ(receiver.Receive(1, later) - later, nanoseconds(173611));
  // Unpaced: no waiting at all.
  LinePacer unpaced(0);
  EXPECT_FALSE(unpaced.paced());
  EXPECT_EQ(unpaced.Send(1000, later), later);
}

}  // namespace
