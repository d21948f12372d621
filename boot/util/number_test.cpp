#include "util/number.h"

#include <gtest/gtest.h>

TEST(Str2int, ReadsTheLayoutNumberSyntax) {
  struct Case {
    const char* input;
    int64_t expected;
  } cases[] = {
      {"16M", 16777216},
      {"64k", 65536},
      {"0x1000000", 16777216},
      {"0X1f", 31},
      {"12ab", 12},
      {"0", 0},
      {"", 0},
      {nullptr, 0},
      {"0x", 0},
      {"0x123456789", 0x23456789},  // 32 bits: the ninth digit shifts the first out
      {"0xFFFFFFFF", 0xFFFFFFFF},
      {"0x12G", 0x12},  // no suffix after hexadecimal
      {"1K5", 10245},   // digits go on after a suffix
      {"1KK", 1048576},
      {"2g", 2147483648},
      {"4G", 4294967296},  // a 32-bit field keeps 0
      {"1t", 1099511627776},
      {"012", 12},  // no octal
      {"-5", 0},    // no sign
      {" 5", 0},    // callers trim first
      {"8M ", 8388608},
      {"auto", 0},
      {"=", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(str2int(c.input), c.expected) << (c.input ? c.input : "(null)");
  }
}

TEST(Str2int, SuffixMultipliesTheLow32Bits) {
  // 4294967297 is 2^32 + 1: its low 32 bits are 1.
  EXPECT_EQ(str2int("4294967297k"), 1024);
  EXPECT_EQ(static_cast<uint32_t>(str2int("4G")), 0u);
}
