#pragma once

#include <poll.h>

#include "pacer.h"

// Clean ends on SIGTERM and SIGINT. InstallStopSignals blocks both and notes
// a request in a flag; the simulator's waits (PollWithStop) let them through
// only while they wait, so a request is never lost between a check of the
// flag and a wait. Main thread only.
void InstallStopSignals();
bool StopRequested();

// poll() that also returns (with 0) when a stop is requested. Without
// InstallStopSignals it is plain poll(). -1 only for errors other than EINTR.
int PollWithStop(pollfd* fds, nfds_t count, int timeout_ms);

// Sleeps until `when` on the monotonic clock (stop signals stay blocked;
// the caller's steps are short).
void SleepUntil(TimePoint when);
