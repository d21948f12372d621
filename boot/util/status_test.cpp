#include "util/status.h"

#include <gtest/gtest.h>

TEST(Status, CarriesMessageAndStream) {
  Status error = Status::Error("open serial error.\n", Status::Stream::kStderr);
  EXPECT_FALSE(error.ok());
  EXPECT_EQ(error.message(), "open serial error.\n");
  EXPECT_EQ(error.stream(), Status::Stream::kStderr);
  EXPECT_TRUE(Status::Ok().ok());
}
