#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/file_map.h"

void* x_fmmap(const char* path, unsigned* size) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::printf("%s: %s\n", std::strerror(errno), path);
    return nullptr;
  }
  struct stat status;
  bool examined = fstat(fd, &status) == 0;
  if (examined && static_cast<uint64_t>(status.st_size) > UINT32_MAX) {
    examined = false;
    errno = EFBIG;
  }
  if (!examined) {
    std::printf("%s: %s\n", std::strerror(errno), path);
    close(fd);
    return nullptr;
  }
  size_t length = static_cast<size_t>(status.st_size);
  // mmap refuses a length of 0, so an empty file fails here, as it should.
  void* view = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  int error = errno;
  close(fd);
  if (view == MAP_FAILED) {
    std::printf("Failed to mmap %s %s\n", std::strerror(error), path);
    return nullptr;
  }
  if (size != nullptr) *size = static_cast<unsigned>(length);
  return view;
}

int x_munmap(void* view, unsigned size) { return munmap(view, size) == 0 ? 0 : -1; }
