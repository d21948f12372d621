#pragma once

// Builds the bytes the boot tool sends to the ROM for an image, in either
// variant, with knobs to break one rule at a time. Header-only; tests only.

#include <cstdint>
#include <string>

#include "coding.h"

struct UploadFaults {
  int32_t words_delta = 0;      // lay the head out for W + delta words
  uint32_t checksum_delta = 0;  // announce checksum + delta
  uint32_t length_delta = 0;    // announce length + delta
  bool wrong_marker = false;    // "boot" becomes "boat"
  int head_byte_flip = -1;      // flip this byte of the head's image part
  bool as_variant_b = false;    // frame as variant B whatever byte 2 says
  bool as_variant_a = false;    // frame as variant A whatever byte 2 says
};

inline uint32_t ImageChecksum(const std::string& image) {
  uint32_t sum = 0;
  for (unsigned char c : image) sum += c;
  return sum;
}

inline std::string Fixed32(uint32_t value) {
  std::string bytes;
  PutFixed32(&bytes, value);
  return bytes;
}

struct Upload {
  std::string head;  // head frame and head: what precedes "GET"
  std::string tail;  // after "GET": (variant B) checksum and length, then the image
  std::string image;
};

inline Upload BuildUpload(const std::string& image, const UploadFaults& faults = {}) {
  const uint32_t length = static_cast<uint32_t>(image.size());
  const bool starts_3211 = length >= 2 && static_cast<uint8_t>(image[0]) == 0x11 &&
                           static_cast<uint8_t>(image[1]) == 0x32;
  const uint32_t limit = starts_3211 ? 8192 : 4096;
  const uint32_t words = (length < limit ? length : limit) / 4 + faults.words_delta;
  bool variant_b = length > 2 && static_cast<uint8_t>(image[2]) == 0x01;
  if (faults.as_variant_b) variant_b = true;
  if (faults.as_variant_a) variant_b = false;
  const uint32_t checksum = ImageChecksum(image) + faults.checksum_delta;
  const uint32_t announced_length = length + faults.length_delta;

  std::string head_image =
      variant_b ? image.substr(4, 4 * words - 4) : image.substr(4, 4 * words - 12);
  if (faults.head_byte_flip >= 0) head_image[faults.head_byte_flip] ^= 0x5A;
  const std::string marker = faults.wrong_marker ? "boat" : "boot";

  Upload upload;
  upload.head = "Y" + Fixed32(words) + head_image;
  if (!variant_b) upload.head += Fixed32(checksum) + Fixed32(announced_length);
  upload.head += marker;
  if (variant_b) upload.tail = Fixed32(checksum) + Fixed32(announced_length);
  upload.tail += image;
  upload.image = image;
  return upload;
}

// Deterministic image bytes; byte 2 set as asked (0x01 makes variant B).
inline std::string TestImage(size_t length, uint8_t byte2, bool starts_3211 = false,
                             unsigned seed = 7) {
  std::string image(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : image) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  if (length > 2) image[2] = static_cast<char>(byte2);
  if (starts_3211 && length > 1) {
    image[0] = 0x11;
    image[1] = 0x32;
  } else if (length > 1 && static_cast<uint8_t>(image[0]) == 0x11 &&
             static_cast<uint8_t>(image[1]) == 0x32) {
    image[0] = 0x12;
  }
  return image;
}
