#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

// Little- and big-endian field helpers and text formatting shared by the
// simulator's components.

inline uint32_t DecodeFixed32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void EncodeFixed32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

inline uint16_t DecodeBig16(const uint8_t* p) {
  return static_cast<uint16_t>(uint16_t{p[0]} << 8 | p[1]);
}

inline void EncodeBig16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

// printf-style formatting into a std::string.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
