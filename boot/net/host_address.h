#pragma once

// The PC's and the box's IPv4 addresses as the operator gave them (-p/-e and
// -s), as dotted-decimal text of at most 31 characters. Written while the
// options are parsed, read afterwards by the main thread only.

void save_local_ip(const char* address);
void save_stb_ip(const char* address);
// Copies the PC's address (possibly empty) into `out` (32 bytes) and returns it.
char* get_local_ip(char* out);
// Copies the box's address into `out` (32 bytes) and returns it; null, with
// `out` untouched, when no box address was given.
char* get_stb_ip(char* out);
