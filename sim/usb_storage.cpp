#include "usb_storage.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool RealPath(const std::string& path, std::string* resolved) {
  char buffer[PATH_MAX];
  if (realpath(path.c_str(), buffer) == nullptr) return false;
  *resolved = buffer;
  return true;
}

}  // namespace

bool ResolveUsbPath(const std::string& root, const std::string& name, std::string* path,
                    std::string* error) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= name.size()) {
    size_t slash = name.find('/', at);
    if (slash == std::string::npos) slash = name.size();
    std::string part = name.substr(at, slash - at);
    at = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) {
        *error = "'" + name + "' leads outside the USB storage";
        return false;
      }
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (parts.empty()) {
    *error = "'" + name + "' names no file";
    return false;
  }
  std::string joined = root;
  for (const std::string& part : parts) joined += "/" + part;

  std::string real_root, real_file;
  if (!RealPath(root, &real_root)) {
    *error = "USB storage " + root + ": " + std::strerror(errno);
    return false;
  }
  if (!RealPath(joined, &real_file)) {
    *error = "cannot open '" + name + "': " + std::strerror(errno);
    return false;
  }
  if (real_file.compare(0, real_root.size(), real_root) != 0 ||
      (real_file.size() > real_root.size() && real_root != "/" &&
       real_file[real_root.size()] != '/')) {
    *error = "'" + name + "' leads outside the USB storage";
    return false;
  }
  *path = real_file;
  return true;
}
