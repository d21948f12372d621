#pragma once

// What the tool prints as the progress of a serial transfer, for the tests
// that compare its output. Header-only; tests only.

#include <cstdio>
#include <string>

// The progress items 00% .. last%, each over the previous one with three
// backspaces, then 100%.
inline std::string ProgressCounter(int last) {
  std::string items;
  char item[16];
  for (int i = 0; i <= last; ++i) {
    std::snprintf(item, sizeof item, "\b\b\b%02d%%", i);
    items += item;
  }
  return items + "\b\b\b100%";
}
