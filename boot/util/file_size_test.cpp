#include "util/file_size.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

class FileSizeTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/file_size_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // A file of `size` bytes; sparse, so that large sizes cost no disk space.
  std::string MakeFile(const std::string& name, off_t size) {
    std::string path = dir_ + "/" + name;
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, size), 0);
    close(fd);
    return path;
  }

  std::string dir_;
};

TEST_F(FileSizeTest, GivesTheSizeOrMinusOneForAMissingFile) {
  EXPECT_EQ(get_file_size((dir_ + "/missing.bin").c_str()), -1);
  EXPECT_EQ(get_file_size(MakeFile("empty.bin", 0).c_str()), 0);
  EXPECT_EQ(get_file_size(MakeFile("loader.bin", 93570).c_str()), 93570);
  EXPECT_GE(get_file_size(dir_.c_str()), 0);  // a directory: its status size
}

TEST_F(FileSizeTest, RefusesTwoGibibytesInsteadOfWrapping) {
  EXPECT_EQ(get_file_size(MakeFile("largest.bin", INT32_MAX).c_str()), INT32_MAX);
  EXPECT_EQ(get_file_size(MakeFile("2g.bin", 1LL << 31).c_str()), kFileTooLarge);
  EXPECT_EQ(get_file_size(MakeFile("4g.bin", (1LL << 32) + 5).c_str()), kFileTooLarge);
  EXPECT_EQ(FileTooLargeMessage("big.bin"),
            "file big.bin is 2 GiB or larger, too large for this tool.\n");
}

}  // namespace
