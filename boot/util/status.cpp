#include "util/status.h"

#include <cstring>

std::string ErrnoText(int error_number) { return std::strerror(error_number); }
