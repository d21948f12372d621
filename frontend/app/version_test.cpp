#include "app/version.h"

#include <gtest/gtest.h>

TEST(VersionTest, PartsAfterTheFirstAreWrittenTogether) {
  EXPECT_EQ(FormatVersion(1, 0, 3, 1), QStringLiteral("V1.031"));
  EXPECT_EQ(FormatVersion(2, 10, 0, 12), QStringLiteral("V2.10012"));
  EXPECT_EQ(GetVersionString(), QStringLiteral("V1.031"));
}

TEST(VersionTest, BuildLineIsASecondLine) {
  const QString line = BuildLine();
  EXPECT_TRUE(line.startsWith(QStringLiteral("\nBuild "))) << line.toStdString();
  // "\nBuild Mmm dd yyyy hh:mm:ss"
  EXPECT_EQ(line.size(), 27);
}
