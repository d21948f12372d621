#include "util/file_size.h"

#include <sys/stat.h>

#include "util/status.h"

int32_t get_file_size(const char* path) {
  struct stat status;
  if (stat(path, &status) != 0) return -1;
  if (status.st_size > INT32_MAX) return kFileTooLarge;
  return static_cast<int32_t>(status.st_size);
}

std::string FileTooLargeMessage(const std::string& path) {
  return StringPrintf("file %s is 2 GiB or larger, too large for this tool.\n", path.c_str());
}
