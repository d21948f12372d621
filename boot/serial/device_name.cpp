#include "serial/device_name.h"

#include <climits>
#include <cstdlib>

namespace {

Status NameError(const std::string& name) {
  return Status::Error(StringPrintf("error: open serial dev name is %s\n", name.c_str()));
}

// "COM" followed by a decimal number and nothing else; 0 when it is not so.
long ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 0;
  long number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
    if (number > 1000000) return 0;
  }
  return number;
}

}  // namespace

Status ResolveDeviceName(const std::string& name, std::string* path) {
  if (name.empty()) return NameError(name);
  if (name.front() == '/') {
    *path = name;
  } else if (name.compare(0, 3, "COM") == 0) {
    long number = ComPortNumber(name);
    if (number < 1) return NameError(name);
    *path = StringPrintf("/dev/ttyS%ld", number - 1);
  } else if (name.find('/') == std::string::npos && name != "." && name != "..") {
    *path = "/dev/" + name;
  } else {
    return NameError(name);
  }
  if (path->size() <= kMaxPortNameLength) return Status::Ok();

  char resolved[PATH_MAX];
  if (realpath(path->c_str(), resolved) != nullptr &&
      std::string(resolved).size() <= kMaxPortNameLength) {
    *path = resolved;
    return Status::Ok();
  }
  return Status::Error(StringPrintf(
      "error: serial device name %s is too long (at most %zu characters, or a link to such "
      "a device).\n",
      name.c_str(), kMaxPortNameLength));
}

std::vector<std::string> ProbedDeviceNames() {
  std::vector<std::string> names;
  for (const char* family : {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"}) {
    for (int n = 0; n <= 9; ++n) names.push_back(StringPrintf("%s%d", family, n));
  }
  return names;
}
