#include "signals.h"

#include <signal.h>
#include <time.h>

#include <cerrno>

namespace {

volatile sig_atomic_t g_stop_requested = 0;
bool g_installed = false;
sigset_t g_wait_mask;  // the mask during waits: stop signals let through

void OnStopSignal(int) { g_stop_requested = 1; }

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigprocmask(SIG_BLOCK, &stop_signals, &g_wait_mask);
  sigdelset(&g_wait_mask, SIGTERM);
  sigdelset(&g_wait_mask, SIGINT);
  // A write to a terminal nobody holds must fail, not kill the box.
  signal(SIGPIPE, SIG_IGN);
  g_installed = true;
}

bool StopRequested() { return g_stop_requested != 0; }

int PollWithStop(pollfd* fds, nfds_t count, int timeout_ms) {
  if (StopRequested()) return 0;
  int ready;
  if (g_installed) {
    timespec timeout = {timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    ready = ppoll(fds, count, timeout_ms < 0 ? nullptr : &timeout, &g_wait_mask);
  } else {
    ready = poll(fds, count, timeout_ms);
  }
  if (ready < 0 && errno == EINTR) return 0;
  return ready;
}

void SleepUntil(TimePoint when) {
  auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  if (since_epoch.count() <= 0) return;
  timespec deadline = {static_cast<time_t>(since_epoch.count() / 1000000000),
                       static_cast<long>(since_epoch.count() % 1000000000)};
  // steady_clock is CLOCK_MONOTONIC on Linux.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}
