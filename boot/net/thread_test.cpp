#include "net/thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Gate {
  std::atomic<bool> open{false};
  std::atomic<int> seen{0};
};

int WaitAtGate(void* argument) {
  auto* gate = static_cast<Gate*>(argument);
  gate->seen = 1;
  while (!gate->open.load()) std::this_thread::yield();
  return 42;
}

TEST(ThreadTest, RunsTheFunctionAndReportsItsEndWithoutWaiting) {
  Gate gate;
  Thread* thread = _CreateThread(WaitAtGate, &gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(thread->thread_id, std::thread::id());
  EXPECT_FALSE(_WaitThreadJoin(thread));  // still at the gate: returns at once
  gate.open = true;
  ASSERT_TRUE(WaitThreadEnd(thread, std::chrono::seconds(10)));
  EXPECT_EQ(gate.seen.load(), 1);
  EXPECT_EQ(thread->result, 42);
  EXPECT_TRUE(_WaitThreadJoin(thread));
  ReleaseThread(thread);
}

TEST(ThreadTest, ARecordWithoutFunctionEndsAtOnceWithZero) {
  EXPECT_EQ(RunThreadViaCreateThread(nullptr), 0);
  Thread* thread = _CreateThread(nullptr, nullptr);
  ASSERT_TRUE(WaitThreadEnd(thread, std::chrono::seconds(10)));
  EXPECT_EQ(thread->result, 0);
  ReleaseThread(thread);
}

}  // namespace
