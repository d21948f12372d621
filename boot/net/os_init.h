#pragma once

// Starts the platform's socket layer before any socket is made: 0 on success;
// on failure prints "Winsock 2.2 initialization failed" (no line end) and
// returns -1, and the run ends with exit code 1.
int OSInit();
