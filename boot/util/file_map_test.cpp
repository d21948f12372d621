#include "util/file_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

class FileMapTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/file_map_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir_;
};

TEST_F(FileMapTest, MapsTheWholeFile) {
  std::string bytes(
      "abc\0\xff"
      "def",
      8);
  std::string path = Write("data.bin", bytes);
  unsigned size = 0;
  testing::internal::CaptureStdout();
  void* view = x_fmmap(path.c_str(), &size);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::string(static_cast<const char*>(view), size), bytes);
  EXPECT_EQ(x_munmap(view, size), 0);
  // The size may be left out.
  view = x_fmmap(path.c_str(), nullptr);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(x_munmap(view, 8), 0);
}

TEST_F(FileMapTest, FailuresPrintTheErrorTextAndThePath) {
  std::string missing = dir_ + "/missing.bin";
  std::string empty = Write("empty.bin", "");
  unsigned size = 77;
  testing::internal::CaptureStdout();
  EXPECT_EQ(x_fmmap(missing.c_str(), &size), nullptr);
  EXPECT_EQ(x_fmmap(empty.c_str(), &size), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(std::strerror(ENOENT)) + ": " +
                                                        missing + "\n" + "Failed to mmap " +
                                                        std::strerror(EINVAL) + " " + empty + "\n");
  EXPECT_EQ(size, 77u);  // untouched on failure
}

}  // namespace
