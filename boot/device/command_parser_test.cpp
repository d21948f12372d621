#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "device/boot.h"

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class CommandParserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    file_ = ::testing::TempDir() + "kavrin_parser_app.bin";
    std::ofstream(file_, std::ios::binary) << std::string(93570, 'a');
  }

  struct Translation {
    Status status = Status::Ok();
    TransferMode mode = TransferMode::kPlain;
    std::optional<std::string> line;
  };
  Translation Translate(const std::string& command) {
    Translation result;
    g_boot_info = boot_info{};
    result.status = boot_.cmd_parser(command, &result.mode, &result.line);
    return result;
  }

  static std::string file_;
  Boot boot_;
};

std::string CommandParserTest::file_;

TEST_F(CommandParserTest, TranslatesTheRows) {
  const std::string f = file_;
  const struct {
    std::string command;
    std::string line;
    TransferMode mode;
  } cases[] = {
      // Serial sends carry the file's size; further words after the fourth are dropped.
      {"serialdown 0 " + f, "serialdown 0 93570", TransferMode::kSerialSend},
      {"serialdown kernel '" + f + "' yaffs2", "serialdown kernel 93570 yaffs2",
       TransferMode::kSerialSend},
      {"serialdown 0 " + f + " yaffs2 extra", "serialdown 0 93570", TransferMode::kSerialSend},
      {"vk_otp write 0x10 " + f, "vk_otp write 0x10 93570", TransferMode::kSerialSend},
      {"sflash_otp write 0 " + f, "sflash_otp write 0 93570", TransferMode::kSerialSend},
      // Dumps read their length as C does with base 0 and send it in decimal.
      {"serialdump 0x100000 0x200000 dump.bin", "serialdump 0x100000 2097152",
       TransferMode::kSerialReceive},
      {"serialdump 0 010 dump.bin", "serialdump 0 8", TransferMode::kSerialReceive},
      {"serialdump 0 12kb dump.bin more", "serialdump 0 12", TransferMode::kSerialReceive},
      // Too few words: the command as written, quotes and blanks kept.
      {"serialdown 0", "serialdown 0", TransferMode::kPlain},
      {" serialdown  '0' ", " serialdown  '0' ", TransferMode::kPlain},
      {"serialdump 0 0x10", "serialdump 0 0x10", TransferMode::kPlain},
      {"load_conf_down parts.conf", "load_conf_down parts.conf", TransferMode::kPlain},
      // OTP forms rebuilt from their words, others unchanged.
      {"vk_otp  status", "vk_otp status", TransferMode::kPlain},
      {"vk_otp lock", "vk_otp lock", TransferMode::kPlain},
      {"vk_otp read 0 16", "vk_otp read 0 16", TransferMode::kPlain},
      {"vk_otp read 0", "vk_otp read 0", TransferMode::kPlain},
      {"vk_otp erase", "vk_otp erase", TransferMode::kPlain},
      {"vk_otp  dump", "vk_otp  dump", TransferMode::kPlain},
      {"sflash_otp erase", "sflash_otp erase", TransferMode::kPlain},
      {"sflash_otp getregion", "sflash_otp getregion", TransferMode::kPlain},
      {"sflash_otp setregion  2", "sflash_otp setregion 2", TransferMode::kPlain},
      {"sflash_otp setregion", "sflash_otp setregion", TransferMode::kPlain},
      {"sflash_otp read 0x0 32", "sflash_otp read 0x0 32", TransferMode::kPlain},
      {"sflash_otp write 0", "sflash_otp write 0", TransferMode::kPlain},
      // Anything else: the words joined, each followed by a blank.
      {"flash erase 0x800000 0x100000", "flash erase 0x800000 0x100000 ", TransferMode::kPlain},
      {"flash eraseall", "flash eraseall ", TransferMode::kPlain},
      {"usbdown 0 'my file.bin'", "usbdown 0 'my file.bin' ", TransferMode::kPlain},
      {"SerialDown 0 x", "SerialDown 0 x ", TransferMode::kPlain},
  };
  for (const auto& c : cases) {
    Translation t = Translate(c.command);
    ASSERT_TRUE(t.status.ok()) << c.command << ": " << t.status.message();
    ASSERT_TRUE(t.line.has_value()) << c.command;
    EXPECT_EQ(*t.line, c.line) << c.command;
    EXPECT_EQ(t.mode, c.mode) << c.command;
  }
}

TEST_F(CommandParserTest, RecordsThePendingTransfer) {
  Translation send = Translate("serialdown 0 " + file_);
  EXPECT_EQ(g_boot_info.file_name, file_);
  EXPECT_EQ(g_boot_info.size, 93570);

  Translation dump = Translate("serialdump 0x100000 0x200000 'my dump.bin'");
  EXPECT_EQ(g_boot_info.file_name, "my dump.bin");
  EXPECT_EQ(g_boot_info.size, 2097152);
}

TEST_F(CommandParserTest, BlankCommandIsSkippedAndBadQuotingIsUntranslatable) {
  Translation blank = Translate("  \t ");
  EXPECT_TRUE(blank.status.ok());
  EXPECT_EQ(blank.mode, TransferMode::kDone);

  CaptureStdout();
  Translation unmatched = Translate("serialdown 0 'app.bin");
  GetCapturedStdout();  // the tokenizer's warning
  EXPECT_TRUE(unmatched.status.ok());
  EXPECT_FALSE(unmatched.line.has_value());
}

TEST_F(CommandParserTest, RefusesWhatCannotBeSent) {
  // 512 characters in words the tokenizer accepts.
  std::string long_command = "flash";
  while (long_command.size() < 512) long_command += " x";
  const struct {
    std::string command;
    std::string message;
  } cases[] = {
      {"serialdown 0 missing.bin", "file missing.bin not find, please check.\n"},
      {"vk_otp write 0 gone.bin", "file gone.bin not find, please check.\n"},
      {"sflash_otp write 0 gone.bin", "file gone.bin not find, please check.\n"},
      {"serialdump 0 -1 d.bin",
       "error: serialdump length -1 is out of range (0 to 2147483647 bytes).\n"},
      {"serialdump 0 0x80000000 d.bin",
       "error: serialdump length 0x80000000 is out of range (0 to 2147483647 bytes).\n"},
      {long_command, "error: command of 513 characters is too long (at most 511): " +
                         long_command.substr(0, 60) + "...\n"},
  };
  for (const auto& c : cases) {
    Translation t = Translate(c.command);
    ASSERT_FALSE(t.status.ok()) << c.command;
    EXPECT_EQ(t.status.message(), c.message);
  }

  // The limits themselves pass.
  EXPECT_TRUE(Translate("serialdump 0 2147483647 d.bin").status.ok());
  Translation longest = Translate(long_command.substr(0, 511));
  EXPECT_TRUE(longest.status.ok());
  EXPECT_TRUE(longest.line.has_value());
}

}  // namespace
