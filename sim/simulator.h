#pragma once

#include "options.h"

// Runs the simulated box until a stop signal (or, with --once, until the
// tool closes the port after a run). Prints the terminal's path as the first
// line of standard output and diagnostics on standard error. Returns the
// process's exit code: 0 for a clean end, 1 when the box could not be set up.
int RunSimulator(const SimOptions& options);
