#pragma once

#include <string>

// printf-style formatting into a std::string of whatever length the text needs.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
