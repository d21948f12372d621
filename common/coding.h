#pragma once

// Fixed-width integers as bytes, in an explicit byte order: little-endian
// 32-bit fields (ROM framing, merged images, flash layouts) and big-endian
// 16-bit fields (TFTP). The callers own the buffers; each function touches
// exactly the bytes its width names.

#include <cstdint>
#include <string>

inline void EncodeFixed32(uint8_t* dst, uint32_t value) {
  dst[0] = static_cast<uint8_t>(value);
  dst[1] = static_cast<uint8_t>(value >> 8);
  dst[2] = static_cast<uint8_t>(value >> 16);
  dst[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t DecodeFixed32(const uint8_t* ptr) {
  return uint32_t{ptr[0]} | uint32_t{ptr[1]} << 8 | uint32_t{ptr[2]} << 16 | uint32_t{ptr[3]} << 24;
}

// Appends the four little-endian bytes of `value` to `dst`.
inline void PutFixed32(std::string* dst, uint32_t value) {
  uint8_t bytes[4];
  EncodeFixed32(bytes, value);
  dst->append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

inline void EncodeBigEndian16(uint8_t* dst, uint16_t value) {
  dst[0] = static_cast<uint8_t>(value >> 8);
  dst[1] = static_cast<uint8_t>(value);
}

inline uint16_t DecodeBigEndian16(const uint8_t* ptr) {
  return static_cast<uint16_t>(uint16_t{ptr[0]} << 8 | ptr[1]);
}
