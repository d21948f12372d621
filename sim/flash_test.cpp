#include "flash.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class FlashFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("stbsim-flash-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "flash.bin").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(FlashFileTest, FilesAreErasedAndWritesReachThemAtOnce) {
  { std::ofstream(path_, std::ios::binary) << "old"; }
  BoxMemory memory;
  std::string error;
  ASSERT_TRUE(memory.Open(path_, 8192, &error)) << error;
  // An existing shorter file keeps its bytes and is extended with 0xFF.
  EXPECT_EQ(ReadWholeFile(path_), "old" + std::string(8189, '\xff'));
  EXPECT_EQ(ReadWholeFile(path_ + ".vk_otp"), std::string(4096, '\xff'));
  EXPECT_EQ(ReadWholeFile(path_ + ".sflash_otp"), std::string(4096, '\xff'));

  const uint8_t data[] = {1, 2, 3};
  ASSERT_TRUE(memory.flash->Write(8189, data, 3, &error));
  EXPECT_EQ(ReadWholeFile(path_).substr(8189), "\x01\x02\x03");
  EXPECT_FALSE(memory.flash->Write(8190, data, 3, &error));
  EXPECT_FALSE(memory.flash->Fits(8193, 0));
  ASSERT_TRUE(memory.flash->Erase(0, 8192, &error));
  EXPECT_EQ(ReadWholeFile(path_), std::string(8192, '\xff'));
}

TEST_F(FlashFileTest, LargerFileIsRefused) {
  { std::ofstream(path_, std::ios::binary) << std::string(5000, 'x'); }
  BoxMemory memory;
  std::string error;
  EXPECT_FALSE(memory.Open(path_, 4096, &error));
  EXPECT_EQ(error,
            "flash file " + path_ + " holds 5000 bytes, more than the 4096 bytes of the area");
}

}  // namespace
