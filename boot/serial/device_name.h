#pragma once

#include <string>
#include <vector>

#include "util/status.h"

// The longest device path the tool opens ("port name" of 31 characters).
constexpr size_t kMaxPortNameLength = 31;

// Turns the -d value into the device path to open:
//   - an absolute path is taken as it is (/dev/ttyUSB0, /dev/pts/3,
//     /dev/serial/by-id/...);
//   - "COMn" (n >= 1) is /dev/ttyS(n-1), as other POSIX ports of Windows
//     tools name it;
//   - a bare name without "/" is looked up under /dev (ttyUSB0).
// Anything else fails with "error: open serial dev name is %s\n".
// A path longer than kMaxPortNameLength is replaced by its resolved target
// (a by-id link usually points at a short /dev/ttyUSBn); when even that is
// too long, or the link cannot be resolved, the name is refused.
Status ResolveDeviceName(const std::string& name, std::string* path);

// The devices probed, in order, when no device is named.
std::vector<std::string> ProbedDeviceNames();
