#include "coding.h"

#include <gtest/gtest.h>

#include <string>

// The byte order is pinned against literal bytes here: the other tests build
// their expected frames with these same helpers, so they cannot catch it.
TEST(Coding, Fixed32IsLittleEndian) {
  struct Case {
    uint32_t value;
    std::string bytes;
  };
  const Case cases[] = {
      {0x00000000, std::string("\x00\x00\x00\x00", 4)},
      {0x04030201, "\x01\x02\x03\x04"},
      {0x80FF7F01, "\x01\x7f\xff\x80"},
      {0xFFFFFFFF, "\xff\xff\xff\xff"},
  };
  for (const Case& c : cases) {
    uint8_t encoded[5] = {0, 0, 0, 0, 0xAA};
    EncodeFixed32(encoded, c.value);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(encoded), 4), c.bytes) << std::hex << c.value;
    EXPECT_EQ(encoded[4], 0xAA) << "wrote past the field";
    EXPECT_EQ(DecodeFixed32(reinterpret_cast<const uint8_t*>(c.bytes.data())), c.value);

    std::string appended = "x";
    PutFixed32(&appended, c.value);
    EXPECT_EQ(appended, "x" + c.bytes);
  }
}

TEST(Coding, BigEndian16) {
  struct Case {
    uint16_t value;
    std::string bytes;
  };
  const Case cases[] = {
      {0x0000, std::string("\x00\x00", 2)},
      {0x0102, "\x01\x02"},
      {0xFF80, "\xff\x80"},
      {0x80FF, "\x80\xff"},
  };
  for (const Case& c : cases) {
    uint8_t encoded[3] = {0, 0, 0xAA};
    EncodeBigEndian16(encoded, c.value);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(encoded), 2), c.bytes) << std::hex << c.value;
    EXPECT_EQ(encoded[2], 0xAA) << "wrote past the field";
    EXPECT_EQ(DecodeBigEndian16(reinterpret_cast<const uint8_t*>(c.bytes.data())), c.value);
  }
}
