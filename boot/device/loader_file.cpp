#include "device/loader_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {

// Images of 2 GiB or more do not fit the upload's signed 32-bit length.
constexpr uint64_t kLoaderSizeLimit = uint64_t{1} << 31;

Status ReadError(const std::string& path, int error_number) {
  return Status::Error(StringPrintf("error: cannot read loader file %s: %s\n", path.c_str(),
                                    ErrnoText(error_number).c_str()));
}

Status TooLarge(const std::string& path) {
  return Status::Error(StringPrintf(
      "error: loader file %s is 2 GiB or larger, too large for a loader.\n", path.c_str()));
}

Status ReadAll(std::FILE* file, const std::string& path, std::vector<uint8_t>* image) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return ReadError(path, errno);
  if (S_ISDIR(status.st_mode)) return ReadError(path, EISDIR);
  if (static_cast<uint64_t>(status.st_size) >= kLoaderSizeLimit) return TooLarge(path);
  image->reserve(static_cast<size_t>(status.st_size));

  // Read to the end rather than trusting the size: a file that changes, or a
  // device or pipe without a size, still yields exactly the bytes read.
  uint8_t chunk[65536];
  for (;;) {
    size_t count = std::fread(chunk, 1, sizeof chunk, file);
    image->insert(image->end(), chunk, chunk + count);
    if (image->size() >= kLoaderSizeLimit) return TooLarge(path);
    if (count < sizeof chunk) break;
  }
  if (std::ferror(file)) return ReadError(path, errno != 0 ? errno : EIO);
  if (image->size() < kMinimumLoaderLength) {
    return Status::Error(
        StringPrintf("error: loader file %s has %zu bytes, a loader has at least %zu.\n",
                     path.c_str(), image->size(), kMinimumLoaderLength));
  }
  return Status::Ok();
}

}  // namespace

std::string LoaderNotFoundMessage(const std::string& name) {
  return StringPrintf("can't find file %s, please check whether it really exists or not.\n",
                      name.c_str());
}

Status ReadLoaderFile(const std::string& path, std::vector<uint8_t>* image) {
  image->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Status::Error(LoaderNotFoundMessage(path));
  errno = 0;
  Status read = ReadAll(file, path, image);
  std::fclose(file);
  if (!read.ok()) {
    image->clear();
    image->shrink_to_fit();
  }
  return read;
}
