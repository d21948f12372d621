#include "net/thread.h"

Thread* _CreateThread(int (*function)(void*), void* argument) {
  auto* record = new Thread;
  record->function = function;
  record->argument = argument;
  // The new thread only reads function and argument, which are set already.
  record->handle = std::thread([record] { RunThreadViaCreateThread(record); });
  record->thread_id = record->handle.get_id();
  return record;
}

int RunThreadViaCreateThread(void* record) {
  auto* thread = static_cast<Thread*>(record);
  if (thread == nullptr) return 0;
  int result = thread->function ? thread->function(thread->argument) : 0;
  std::lock_guard<std::mutex> lock(thread->mutex);
  thread->result = result;
  thread->ended = true;
  thread->ended_changed.notify_all();
  return result;
}

bool _WaitThreadJoin(Thread* thread) { return WaitThreadEnd(thread, std::chrono::milliseconds(0)); }

bool WaitThreadEnd(Thread* thread, std::chrono::milliseconds limit) {
  if (thread == nullptr) return true;
  std::unique_lock<std::mutex> lock(thread->mutex);
  return thread->ended_changed.wait_for(lock, limit, [thread] { return thread->ended; });
}

void ReleaseThread(Thread* thread) {
  if (thread == nullptr) return;
  if (WaitThreadEnd(thread, std::chrono::milliseconds(0))) {
    thread->handle.join();
    delete thread;
  } else {
    thread->handle.detach();
  }
}
