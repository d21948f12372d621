#include "util/number.h"

#include "hex_digit.h"

namespace {

// The shift of a size suffix, or -1 for any other character.
int SuffixShift(char c) {
  switch (c) {
    case 'k':
    case 'K':
      return 10;
    case 'm':
    case 'M':
      return 20;
    case 'g':
    case 'G':
      return 30;
    case 't':
    case 'T':
      return 40;
    default:
      return -1;
  }
}

}  // namespace

int64_t str2int(const char* s) {
  if (s == nullptr) return 0;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    uint32_t value = 0;
    for (const char* p = s + 2; HexDigit(*p) >= 0; ++p) {
      value = (value << 4) | static_cast<uint32_t>(HexDigit(*p));
    }
    return value;
  }
  // Unsigned arithmetic: an overlong number wraps instead of overflowing.
  uint64_t value = 0;
  for (const char* p = s; *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint64_t>(*p - '0');
    } else if (int shift = SuffixShift(*p); shift >= 0) {
      value = static_cast<uint64_t>(static_cast<uint32_t>(value)) << shift;
    } else {
      break;
    }
  }
  return static_cast<int64_t>(value);
}
