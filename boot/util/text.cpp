#include "util/text.h"

#include <cstring>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char* trim(char* s) {
  size_t length = std::strlen(s);
  while (length > 0 && IsSpace(s[length - 1])) --length;
  s[length] = '\0';
  size_t first = 0;
  while (first < length && IsSpace(s[first])) ++first;
  if (first > 0) std::memmove(s, s + first, length - first + 1);
  return s;
}
