#include "options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ParseOutcome Parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
  args.insert(args.begin(), "stbsim");
  return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(OptionsTest, ReadsEveryOption) {
  SimOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--flash",
                   "f.bin",
                   "--flash-size=0x100000",
                   "--baud",
                   "115200",
                   "--link",
                   "/tmp/l",
                   "--log",
                   "t.log",
                   "--usb",
                   "u",
                   "--blksize",
                   "1428",
                   "--once",
                   "--rom-errors",
                   "2",
                   "--verdict",
                   "0x41",
                   "--no-get",
                   "--no-prompt",
                   "--no-sta",
                   "--no-fin",
                   "--dump-stop-after",
                   "100",
                   "--noise",
                   "a\\r\\nb\\x21",
                   "--rom-variant",
                   "B"},
                  &options, &error),
            ParseOutcome::kRun)
      << error;
  EXPECT_EQ(options.flash_path, "f.bin");
  EXPECT_EQ(options.flash_size, 0x100000u);
  EXPECT_EQ(options.baud, 115200);
  EXPECT_EQ(options.link, "/tmp/l");
  EXPECT_EQ(options.log, "t.log");
  EXPECT_TRUE(options.once);
  EXPECT_EQ(options.box.shell.usb_dir, "u");
  EXPECT_EQ(options.box.shell.tftp_blksize, 1428u);
  EXPECT_EQ(options.box.rom.forced_error_passes, 2);
  EXPECT_EQ(options.box.rom.verdict, 0x41);
  EXPECT_FALSE(options.box.rom.send_get);
  EXPECT_FALSE(options.box.shell.prompt);
  EXPECT_FALSE(options.box.shell.send_sta);
  EXPECT_FALSE(options.box.shell.send_fin);
  EXPECT_EQ(options.box.shell.dump_stop_after, 100);
  EXPECT_EQ(options.box.shell.noise, "a\r\nb!");
  EXPECT_EQ(options.box.rom.variant, RomVariant::kB);

  SimOptions letter;
  ASSERT_EQ(Parse({"--verdict", "Z"}, &letter, &error), ParseOutcome::kRun);
  EXPECT_EQ(letter.box.rom.verdict, 'Z');
}

TEST(OptionsTest, RejectsBadOptionsByName) {
  struct Case {
    std::vector<const char*> args;
    const char* error;
  };
  const std::vector<Case> cases = {
      {{"--baud", "fast"}, "option --baud: 'fast' is not a number from 0 to 100000000"},
      {{"--blksize", "4"}, "option --blksize: '4' is not a number from 8 to 65464"},
      {{"--verdict", "256"}, "option --verdict: '256' is not a number from 0 to 255"},
      {{"--flash"}, "option --flash needs a value"},
      {{"--once=yes"}, "option --once takes no value"},
      {{"--rom-variant", "C"}, "option --rom-variant: 'C' is not A, B or auto"},
      {{"--bogus"}, "unknown option '--bogus'"},
  };
  for (const Case& c : cases) {
    SimOptions options;
    std::string error;
    EXPECT_EQ(Parse(c.args, &options, &error), ParseOutcome::kError);
    EXPECT_EQ(error, c.error);
  }
  SimOptions options;
  std::string error;
  EXPECT_EQ(Parse({"--help"}, &options, &error), ParseOutcome::kHelp);
}

TEST(OptionsTest, HelpNamesEveryOption) {
  for (const char* name :
       {"--flash ", "--flash-size", "--baud", "--link", "--log", "--usb", "--blksize", "--once",
        "--rom-errors", "--verdict", "--no-get", "--no-prompt", "--no-sta", "--no-fin", "--dump-stop-after",
        "--noise", "--rom-variant", "--help"}) {
    EXPECT_NE(HelpText().find(name), std::string::npos) << name;
  }
}

}  // namespace
