#pragma once

// A thin wrapper over the system's threads. The record of a started thread
// is owned by whoever started it; it must outlive the thread (see
// ReleaseThread).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct Thread {
  std::thread::id thread_id;         // the system's identifier, set once the thread exists
  std::thread handle;                // the system thread
  void* argument = nullptr;          // passed to `function`
  int (*function)(void*) = nullptr;  // the thread's body

  // Set by the thread when `function` has returned.
  std::mutex mutex;
  std::condition_variable ended_changed;
  bool ended = false;
  int result = 0;
};

// Starts a thread running function(argument) at once, through
// RunThreadViaCreateThread. The caller owns the returned record.
Thread* _CreateThread(int (*function)(void*), void* argument);

// The thread's entry: calls the record's function with its argument when both
// the record and the function are there, and returns its result (else 0).
int RunThreadViaCreateThread(void* record);

// True when the thread has ended; returns at once. Neither joins nor releases.
bool _WaitThreadJoin(Thread* thread);

// True when the thread has ended within `limit`.
bool WaitThreadEnd(Thread* thread, std::chrono::milliseconds limit);

// Releases the record: joins the thread when it has ended, otherwise lets it
// run on detached and leaves the record to it (it is then never freed, since
// the running thread still writes into it). Null is ignored.
void ReleaseThread(Thread* thread);
