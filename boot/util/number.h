#pragma once

#include <cstdint>

// Reads a number in the syntax of the flash layout file:
// - "0x"/"0X" and hexadecimal digits: a 32-bit value, digits beyond the eighth
//   shift the high ones out; the first other character ends the number;
// - otherwise decimal digits with a 64-bit value, where the suffixes k, m, g, t
//   (any case) multiply the low 32 bits of the value read so far by 2^10,
//   2^20, 2^30, 2^40; reading goes on after a suffix ("1K5" is 10245).
// There is no sign and no octal; any other character ends the number without
// an error. Null or an empty string gives 0. Callers trim first and keep the
// low bits of the result for narrower fields.
int64_t str2int(const char* s);
