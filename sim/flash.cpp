#include "flash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "string_printf.h"

namespace {

constexpr uint32_t kChunk = 64 * 1024;

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteAllAt(int fd, const uint8_t* data, size_t length, off_t offset) {
  while (length > 0) {
    ssize_t n = pwrite(fd, data, length, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

bool ReadAllAt(int fd, uint8_t* out, size_t length, off_t offset) {
  while (length > 0) {
    ssize_t n = pread(fd, out, length, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;  // the file shrank under us
      return false;
    }
    out += n;
    length -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

}  // namespace

FlashArea::FlashArea(std::string path, int fd, uint32_t size)
    : path_(std::move(path)), fd_(fd), size_(size) {
  if (fd_ < 0) memory_.assign(size, 0xFF);
}

FlashArea::~FlashArea() {
  if (fd_ >= 0) close(fd_);
}

std::unique_ptr<FlashArea> FlashArea::Open(const std::string& path, uint32_t size,
                                           std::string* error) {
  if (path.empty()) return std::unique_ptr<FlashArea>(new FlashArea("", -1, size));
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = SystemError("cannot open flash file " + path);
    return nullptr;
  }
  struct stat status;
  if (fstat(fd, &status) != 0) {
    *error = SystemError("cannot examine flash file " + path);
    close(fd);
    return nullptr;
  }
  if (status.st_size > static_cast<off_t>(size)) {
    *error = StringPrintf("flash file %s holds %lld bytes, more than the %u bytes of the area",
                          path.c_str(), static_cast<long long>(status.st_size), size);
    close(fd);
    return nullptr;
  }
  std::vector<uint8_t> erased(kChunk, 0xFF);
  for (off_t at = status.st_size; at < static_cast<off_t>(size);) {
    size_t n = std::min<size_t>(kChunk, static_cast<size_t>(size - at));
    if (!WriteAllAt(fd, erased.data(), n, at)) {
      *error = SystemError("cannot extend flash file " + path);
      close(fd);
      return nullptr;
    }
    at += static_cast<off_t>(n);
  }
  return std::unique_ptr<FlashArea>(new FlashArea(path, fd, size));
}

bool FlashArea::Read(uint32_t address, uint8_t* out, uint32_t length, std::string* error) const {
  if (!Fits(address, length)) {
    *error = "range outside the area";
    return false;
  }
  if (fd_ < 0) {
    std::memcpy(out, memory_.data() + address, length);
    return true;
  }
  if (!ReadAllAt(fd_, out, length, address)) {
    *error = SystemError("read " + path_);
    return false;
  }
  return true;
}

bool FlashArea::Write(uint32_t address, const uint8_t* data, uint32_t length, std::string* error) {
  if (!Fits(address, length)) {
    *error = "range outside the area";
    return false;
  }
  if (fd_ < 0) {
    std::memcpy(memory_.data() + address, data, length);
    return true;
  }
  if (!WriteAllAt(fd_, data, length, address)) {
    *error = SystemError("write " + path_);
    return false;
  }
  return true;
}

bool FlashArea::Program(uint32_t address, const uint8_t* data, uint32_t length,
                        std::string* error) {
  std::vector<uint8_t> merged(length);
  if (!Read(address, merged.data(), length, error)) return false;
  for (uint32_t i = 0; i < length; i++) merged[i] &= data[i];
  return Write(address, merged.data(), length, error);
}

bool FlashArea::Erase(uint32_t address, uint32_t length, std::string* error) {
  if (!Fits(address, length)) {
    *error = "range outside the area";
    return false;
  }
  std::vector<uint8_t> erased(std::min(length, kChunk), 0xFF);
  for (uint32_t done = 0; done < length;) {
    uint32_t n = std::min(length - done, kChunk);
    if (!Write(address + done, erased.data(), n, error)) return false;
    done += n;
  }
  return true;
}

void FlashArea::Sync() {
  if (fd_ >= 0) fdatasync(fd_);
}

bool BoxMemory::Open(const std::string& flash_path, uint32_t flash_size, std::string* error) {
  flash = FlashArea::Open(flash_path, flash_size, error);
  if (!flash) return false;
  vk_otp.area = FlashArea::Open(flash_path.empty() ? "" : flash_path + ".vk_otp", kOtpSize, error);
  if (!vk_otp.area) return false;
  sflash_otp.area =
      FlashArea::Open(flash_path.empty() ? "" : flash_path + ".sflash_otp", kOtpSize, error);
  return sflash_otp.area != nullptr;
}

void BoxMemory::Sync() {
  if (flash) flash->Sync();
  if (vk_otp.area) vk_otp.area->Sync();
  if (sflash_otp.area) sflash_otp.area->Sync();
}
