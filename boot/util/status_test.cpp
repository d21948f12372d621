#include "util/status.h"

#include <gtest/gtest.h>

TEST(StringPrintf, FormatsTextsOfAnyLength) {
  EXPECT_EQ(StringPrintf("file %s not find, please check.\n", "a.bin"),
            "file a.bin not find, please check.\n");
  EXPECT_EQ(StringPrintf("%s", std::string(5000, 'x').c_str()).size(), 5000u);
  EXPECT_EQ(StringPrintf("%s", ""), "");
}

TEST(Status, CarriesMessageAndStream) {
  Status error = Status::Error("open serial error.\n", Status::Stream::kStderr);
  EXPECT_FALSE(error.ok());
  EXPECT_EQ(error.message(), "open serial error.\n");
  EXPECT_EQ(error.stream(), Status::Stream::kStderr);
  EXPECT_TRUE(Status::Ok().ok());
}
