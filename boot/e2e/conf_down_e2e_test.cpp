// load_conf_down end to end: boot lays out the flash of stbsim from a layout
// file or from a merged image packed with mergebin, over the serial line, by
// TFTP and from the box's USB stick; and refuses bad input before it erases.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

const Milliseconds kRunLimit(60000);
constexpr size_t kFlashSize = 0x40000;

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

std::string Ff(size_t n) { return std::string(n, '\xFF'); }

// Flash contents are compared by their first difference: a dump of 256 KiB
// helps nobody.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                     << ", first difference at offset 0x" << std::hex << at;
}

class ConfDownE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Old content everywhere, so that what was erased shows.
    WriteFile(flash_, std::string(kFlashSize, '\x5A'));
    mkdir(dir_.File("fw").c_str(), 0777);
    WriteFile(dir_.File("fw/boot.bin"), boot_);
    WriteFile(dir_.File("fw/kernel.bin"), kernel_);
    // boot at 0; kernel placed after it, with 4 KiB reserved at its end;
    // data without a file, erased only.
    WriteFile(dir_.File("fw/board.conf"),
              "# test board\n"
              "table_version 2\n"
              "flash_size 256k\n"
              "boot   boot.bin   false raw    ro 0 0 0    auto\n"
              "kernel kernel.bin false yaffs2 ro 0 0 auto auto 0 0x1000\n"
              "data   NULL       false raw    rw 0 0 auto\n");
  }

  void StartBox(std::vector<std::string> options = {}) {
    options.insert(options.end(),
                   {"--flash", flash_, "--flash-size", std::to_string(kFlashSize), "--log", log_});
    box_ = std::make_unique<SimulatedBox>(options);
  }

  ProcessResult Boot(const std::string& commands, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{BootExe(), "-m", "vk7301", "-d", box_->port()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.insert(argv.end(), {"-c", commands});
    return RunProcess(argv, kRunLimit, dir_.path());
  }

  ProcessResult Mergebin(const std::vector<std::string>& words) {
    std::vector<std::string> argv{MERGEBIN_EXE};
    argv.insert(argv.end(), words.begin(), words.end());
    return RunProcess(argv, kRunLimit, dir_.path());
  }

  // The flash as the test layout leaves it: each file at its start, 0xFF up
  // to its part size, the reserved end of kernel untouched.
  std::string LaidOutFlash() const {
    return boot_ + Ff(0x10000 - boot_.size()) + kernel_ + Ff(0x1F000 - kernel_.size()) +
           std::string(0x1000, '\x5A') + Ff(0x10000);
  }

  TempDir dir_;
  std::string flash_ = dir_.File("flash.bin");
  std::string log_ = dir_.File("box.log");
  std::string boot_ = PatternBytes(5000, 1);
  std::string kernel_ = PatternBytes(70000, 2);
  std::unique_ptr<SimulatedBox> box_;
};

TEST_F(ConfDownE2eTest, LayoutFileOverSerial) {
  StartBox();
  ProcessResult run = Boot("load_conf_down fw/board.conf serialdown");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{
                "flash erase 0x0 0x10000 ", "serialdown 0x0 5000", "flash erase 0x10000 0x1f000 ",
                "serialdown 0x10000 70000 yaffs2", "flash erase 0x30000 0x10000 "}));
  EXPECT_TRUE(SameBytes(ReadFile(flash_), LaidOutFlash()));
  // The tool names what it does before each step.
  std::vector<std::string> printed = {"conf_file_name:fw/board.conf\n",
                                      "flash erase 0x0 0x10000\n",
                                      "serialdown 0x0 \"fw/boot.bin\" \n",
                                      "flash erase 0x10000 0x1f000\n",
                                      "serialdown 0x10000 \"fw/kernel.bin\" yaffs2\n",
                                      "flash erase 0x30000 0x10000\n"};
  size_t at = 0;
  for (const std::string& text : printed) {
    at = run.out.find(text, at);
    ASSERT_NE(at, std::string::npos) << text << run.out;
  }
  EXPECT_EQ(run.out.find("parse command error"), std::string::npos);
}

TEST_F(ConfDownE2eTest, MergedImagePackedByMergebinOverSerial) {
  ProcessResult pack = Mergebin({"pack", "fw/board.conf", "-o", "all.bin"});
  ASSERT_EQ(pack.exit_code, 0) << pack.out << pack.err;
  ProcessResult list = Mergebin({"list", "all.bin"});
  ASSERT_EQ(list.exit_code, 0) << list.out << list.err;
  // The layout first, then the files, each right after the one before.
  const size_t conf = ReadFile(dir_.File("fw/board.conf")).size();
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "all.bin: 3 entries\n"
                "  #  NAME                                  OFFSET      LENGTH\n"
                "  0  board.conf                        0x%08zx  %10zu\n"
                "  1  boot.bin                          0x%08zx        5000\n"
                "  2  kernel.bin                        0x%08zx       70000\n",
                size_t{12 + 3 * 264}, conf, 12 + 3 * 264 + conf, 12 + 3 * 264 + conf + 5000);
  EXPECT_EQ(list.out, expected);
  // info prints the packed layout as boot loads it.
  ProcessResult info = Mergebin({"info", "all.bin"});
  ASSERT_EQ(info.exit_code, 0) << info.out << info.err;
  EXPECT_NE(info.out.find("Partition Count     :  3\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\n1  kernel  RO YAFFS2                 0      0 00010000 128.00 KB  "
                          "124.00 KB  68.36 KB 55.1 %    4.00 KB  *\n"),
            std::string::npos)
      << info.out;
  EXPECT_EQ(Mergebin({"list", "fw/board.conf"}).out,
            "error: fw/board.conf is not a merged image\n");

  StartBox();
  ProcessResult run = Boot("load_conf_down all.bin serialdown");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("conf_file_name:tmp.boot_split_dir/board.conf\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{
                "flash erase 0x0 0x10000 ", "serialdown 0x0 5000", "flash erase 0x10000 0x1f000 ",
                "serialdown 0x10000 70000 yaffs2", "flash erase 0x30000 0x10000 "}));
  EXPECT_TRUE(SameBytes(ReadFile(flash_), LaidOutFlash()));
  EXPECT_FALSE(Exists(dir_.File("tmp.boot_split_dir")));
}

TEST_F(ConfDownE2eTest, MergedImageInAnotherDirectoryOverTftp) {
  ASSERT_EQ(Mergebin({"pack", "fw/board.conf", "-o", "fw/all.bin"}).exit_code, 0);
  StartBox();
  ProcessResult run =
      Boot("load_conf_down " + dir_.File("fw/all.bin") + " netdown", {"-p", "127.0.0.1"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string split = dir_.File("fw/tmp.boot_split_dir");
  std::vector<std::string> lines = TranscriptLines(log_, "shell ");
  std::vector<std::string> downloads;
  for (const std::string& line : lines) {
    if (line.rfind("config ", 0) != 0) downloads.push_back(line);
  }
  EXPECT_EQ(downloads,
            (std::vector<std::string>{
                "flash erase 0x0 0x10000 ",
                "partition download 0x0 127.0.0.1 \"" + split + "/boot.bin\" 5000 null",
                "flash erase 0x10000 0x1f000 ",
                "partition download 0x10000 127.0.0.1 \"" + split + "/kernel.bin\" 70000 yaffs2",
                "flash erase 0x30000 0x10000 "}));
  EXPECT_TRUE(SameBytes(ReadFile(flash_), LaidOutFlash())) << run.out;
  EXPECT_FALSE(Exists(split));
  EXPECT_TRUE(Exists(dir_.File("fw/all.bin")));
}

TEST_F(ConfDownE2eTest, UsbDownPassesTheLinesOn) {
  // The stick holds the files under /images.
  mkdir(dir_.File("usb").c_str(), 0777);
  mkdir(dir_.File("usb/images").c_str(), 0777);
  WriteFile(dir_.File("usb/images/boot.bin"), boot_);
  WriteFile(dir_.File("usb/images/kernel.bin"), kernel_);
  // The tool cannot see the stick: sizes cannot come from the files there.
  WriteFile(dir_.File("fw/usb.conf"),
            "table_version 2\n"
            "flash_size 256k\n"
            "boot   boot.bin   false raw    ro 0 0 0\n"
            "kernel kernel.bin false yaffs2 ro 0 0 0x10000 0 0 0x1000\n"
            "data   NULL       false raw    rw 0 0 0x30000\n");
  StartBox({"--usb", dir_.File("usb")});
  ProcessResult run = Boot("load_conf_down fw/usb.conf usbdown /images");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err << ReadFile(log_);
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{"flash erase 0x0 0x10000 ", "usbdown 0x0 /images/boot.bin ",
                                      "flash erase 0x10000 0x1f000 ",
                                      "usbdown 0x10000 /images/kernel.bin yaffs2 ",
                                      "flash erase 0x30000 0x10000 "}));
  EXPECT_TRUE(SameBytes(ReadFile(flash_), LaidOutFlash()));

  // A merged image cannot be read from the stick.
  ASSERT_EQ(Mergebin({"pack", "fw/board.conf", "-o", "all.bin"}).exit_code, 0);
  run = Boot("load_conf_down all.bin usbdown /images");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("error: can't support 'load_conf_down <merge bin name> usbdown "
                         "<usb_bin_path>'parse command error\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(TranscriptLines(log_, "shell ").size(), 5u);
}

TEST_F(ConfDownE2eTest, ZlibModeLeavesPartitionsWithoutFilesAlone) {
  WriteFile(dir_.File("fw/board.conf"),
            "zlibmode true\n"
            "flash_size 256k\n"
            "boot   boot.bin    false raw ro 0 0 0\n"
            "gone   missing.bin false raw ro 0 0 0x10000\n"
            "data   NULL        false raw rw 0 0 0x20000\n");
  StartBox();
  ProcessResult run = Boot("load_conf_down fw/board.conf serialdown");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{"flash erase 0x0 0x10000 ", "serialdown 0x0 5000"}));
  EXPECT_TRUE(SameBytes(ReadFile(flash_), boot_ + Ff(0x10000 - boot_.size()) +
                                              std::string(kFlashSize - 0x10000, '\x5A')));
}

TEST_F(ConfDownE2eTest, RefusesBeforeAnythingIsSent) {
  // A merged image whose second entry climbs out of the split directory.
  std::string image = std::string("mergebin", 8) + std::string("\x02\0\0\0", 4);
  auto entry = [](std::string name, uint32_t offset, uint32_t length) {
    name.resize(256, '\0');
    for (uint32_t v : {offset, length}) {
      for (int i = 0; i < 4; ++i) name += static_cast<char>(v >> (8 * i));
    }
    return name;
  };
  image += entry("board.conf", 540, 4) + entry("../victim", 540, 4) + "evil";
  WriteFile(dir_.File("evil.bin"), image);
  WriteFile(dir_.File("fw/unordered.conf"),
            "flash_size 256k\nhigh NULL false raw ro 0 0 0x20000\nlow NULL false raw ro 0 0 "
            "0x10000\n");
  WriteFile(dir_.File("fw/empty.conf"), "flash_size 256k\n# no partitions\n");
  WriteFile(dir_.File("short.conf"), "flash");

  const struct {
    std::string command;
    std::string message;
  } cases[] = {
      {"load_conf_down evil.bin serialdown",
       "error: merge file(evil.bin) entry 1: \"../victim\" is not a plain file name\n"},
      {"load_conf_down fw/unordered.conf serialdown",
       "error: partition low (START = 0x10000) is listed after partition high (START = "
       "0x20000); partitions must be listed in ascending order of start address\n"
       "please check the config of fw/unordered.conf\n\n"},
      {"load_conf_down fw/empty.conf serialdown",
       "error: no partition line in \"fw/empty.conf\"\n"},
      {"load_conf_down missing.conf serialdown",
       "error: fopen file(missing.conf) failed\nparse command error\n"},
      {"load_conf_down short.conf serialdown",
       "error: fread file(short.conf) len(8) failed\nparse command error\n"},
  };
  StartBox();
  for (const auto& c : cases) {
    ProcessResult run = Boot(c.command);
    EXPECT_EQ(run.exit_code, 1) << c.command << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.command << run.out;
  }
  EXPECT_EQ(TranscriptLines(log_, "shell "), std::vector<std::string>{});
  EXPECT_TRUE(SameBytes(ReadFile(flash_), std::string(kFlashSize, '\x5A')));
  EXPECT_FALSE(Exists(dir_.File("victim")));
  EXPECT_FALSE(Exists(dir_.File("tmp.boot_split_dir")));
}

}  // namespace
