#include "dialog/progress_tracker.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

TEST(ProgressTrackerTest, FollowsTheLastCounterItem) {
  struct Case {
    QStringList chunks;
    int percent;
  } cases[] = {
      {{}, 0},
      {{"start to send data\n00%\b\b\b01%\b\b\b02%"}, 2},
      {{"\b\b\b4", "2%"}, 42},  // an item split between two chunks
      {{"\b\b\b100%"}, 100},
      {{"\b\b\b100%", "\nsend all ok. unit = 1, count = 5.\n"}, 100},
      {{"\b\b\b100%\n", "start to recv\n\b\b\b00%"}, 0},  // the next transfer starts over
      {{"5%"}, 0},                                        // one digit is no counter item
      {{"1234%"}, 0},                                     // nor are four
      {{"\b\b\b77%", "load 5% done"}, 77},
  };
  for (const Case& c : cases) {
    ProgressTracker tracker;
    for (const QString& chunk : c.chunks) tracker.Feed(chunk);
    EXPECT_EQ(tracker.Percent(), c.percent) << c.chunks.join(QStringLiteral("|")).toStdString();
  }
}

TEST(ProgressTrackerTest, ResetStartsFromZero) {
  ProgressTracker tracker;
  tracker.Feed(QStringLiteral("\b\b\b63"));
  tracker.Reset();
  tracker.Feed(QStringLiteral("%"));
  EXPECT_EQ(tracker.Percent(), 0);
}

}  // namespace
