#include "device/loader_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

class LoaderFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/loader_file_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    return path;
  }

  std::string dir_;
};

TEST_F(LoaderFileTest, ReadsTheWholeFileUnchanged) {
  std::string bytes("\x11\x32\x01\x00", 4);
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7);
  std::vector<uint8_t> image = {1, 2, 3};
  ASSERT_TRUE(ReadLoaderFile(Write("loader.boot", bytes), &image).ok());
  EXPECT_EQ(std::string(image.begin(), image.end()), bytes);

  ASSERT_TRUE(ReadLoaderFile(Write("smallest.boot", std::string(12, 'x')), &image).ok());
  EXPECT_EQ(image.size(), 12u);
}

TEST_F(LoaderFileTest, RefusesWhatCannotBeALoader) {
  const std::string missing = dir_ + "/vk7301";
  const std::string short_file = Write("short.boot", std::string(11, 'x'));
  const std::string empty = Write("empty.boot", "");
  const std::string huge = dir_ + "/huge.boot";
  int fd = open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_EQ(ftruncate(fd, 1LL << 31), 0);  // sparse: no disk space, never read
  close(fd);

  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {missing, "can't find file " + missing + ", please check whether it really exists or not.\n"},
      {"", "can't find file , please check whether it really exists or not.\n"},
      {dir_, "error: cannot read loader file " + dir_ + ": Is a directory\n"},
      {short_file,
       "error: loader file " + short_file + " has 11 bytes, a loader has at least 12.\n"},
      {empty, "error: loader file " + empty + " has 0 bytes, a loader has at least 12.\n"},
      {huge, "error: loader file " + huge + " is 2 GiB or larger, too large for a loader.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<uint8_t> image = {1, 2, 3};
    Status read = ReadLoaderFile(c.path, &image);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.message(), c.message);
    EXPECT_EQ(read.stream(), Status::Stream::kStdout);
    EXPECT_TRUE(image.empty());
  }
}

}  // namespace
