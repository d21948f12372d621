#include "string_printf.h"

#include <gtest/gtest.h>

TEST(StringPrintf, FormatsTextsOfAnyLength) {
  EXPECT_EQ(StringPrintf("file %s not find, please check.\n", "a.bin"),
            "file a.bin not find, please check.\n");
  EXPECT_EQ(StringPrintf("%s", std::string(5000, 'x').c_str()).size(), 5000u);
  EXPECT_EQ(StringPrintf("%s", ""), "");
}
