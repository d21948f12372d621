#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One memory area of the box: the main flash or an OTP area. Backed by a
// file (every write reaches the file at once, so another process sees it
// while the simulator runs) or, without a file, by memory. The erased state
// is 0xFF. Addresses are byte offsets into the area; callers check ranges
// with Fits() first, the operations refuse what does not fit.
class FlashArea {
 public:
  // Opens or creates the file `path` (empty: memory only) for an area of
  // `size` bytes. A shorter file is extended with erased bytes, a longer one
  // is refused so that a test never compares against stale bytes beyond the
  // area. Null with `error` set on failure.
  static std::unique_ptr<FlashArea> Open(const std::string& path, uint32_t size,
                                         std::string* error);
  ~FlashArea();
  FlashArea(const FlashArea&) = delete;
  FlashArea& operator=(const FlashArea&) = delete;

  uint32_t size() const { return size_; }
  const std::string& path() const { return path_; }
  bool Fits(uint64_t address, uint64_t length) const {
    return address <= size_ && length <= size_ - address;
  }

  // Each returns false with `error` set (the system's text) when the file
  // cannot be read or written, or the range does not fit.
  bool Read(uint32_t address, uint8_t* out, uint32_t length, std::string* error) const;
  bool Write(uint32_t address, const uint8_t* data, uint32_t length, std::string* error);
  // One-time programming: bits only go from 1 to 0 (the stored byte becomes
  // old AND new), as in OTP memory.
  bool Program(uint32_t address, const uint8_t* data, uint32_t length, std::string* error);
  bool Erase(uint32_t address, uint32_t length, std::string* error);
  // Pushes the file's content to the disk (at exit).
  void Sync();

 private:
  FlashArea(std::string path, int fd, uint32_t size);

  std::string path_;
  int fd_ = -1;
  uint32_t size_ = 0;
  std::vector<uint8_t> memory_;  // when there is no file
};

// An OTP area with its lock and (for the serial flash's security registers)
// the selected region number. The lock lives as long as the simulator.
struct OtpArea {
  std::unique_ptr<FlashArea> area;
  bool locked = false;
  uint32_t region = 0;
};

// Everything the box stores: the flash and the two OTP areas, which live in
// FLASH.vk_otp and FLASH.sflash_otp beside the flash file.
struct BoxMemory {
  static constexpr uint32_t kOtpSize = 4096;

  std::unique_ptr<FlashArea> flash;
  OtpArea vk_otp;
  OtpArea sflash_otp;

  // Opens all three; `flash_path` empty keeps everything in memory.
  bool Open(const std::string& flash_path, uint32_t flash_size, std::string* error);
  void Sync();
};
