// The serial path end to end: boot against stbsim on a pseudo-terminal, with
// the loader upload, the serial transfers, erase and OTP commands, and the
// time-outs that end a run.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/boot.h"
#include "device/test_progress.h"
#include "e2e/harness.h"

namespace {

const Milliseconds kRunLimit(60000);

uint32_t Checksum(const std::string& bytes) {
  uint32_t sum = 0;
  for (unsigned char byte : bytes) sum += byte;
  return sum;
}

std::string BuiltInImage(const char* machine) {
  Boot boot;
  const uint8_t* image = nullptr;
  uint32_t length = 0;
  if (boot.get_boot(machine, &image, &length) != 0) return "";
  return std::string(reinterpret_cast<const char*>(image), length);
}

std::string HeadLine(const std::string& image, int words, char variant) {
  char line[128];
  std::snprintf(line, sizeof line, "words=%d variant=%c checksum=0x%08x length=%zu", words, variant,
                Checksum(image), image.size());
  return line;
}

class SerialE2eTest : public ::testing::Test {
 protected:
  // Starts the box with `options` added to its flash and transcript.
  void StartBox(std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--flash", flash_, "--log", log_});
    box_ = std::make_unique<SimulatedBox>(options);
  }

  // boot -m vk7301 -d <box> [extra...] -c <commands>, in the test's directory.
  ProcessResult Boot(const std::string& commands,
                     std::vector<std::string> loader = {"-m", "vk7301"}) {
    std::vector<std::string> argv{BootExe()};
    argv.insert(argv.end(), loader.begin(), loader.end());
    argv.insert(argv.end(), {"-d", box_->port()});
    if (!commands.empty()) argv.insert(argv.end(), {"-c", commands});
    return RunProcess(argv, kRunLimit, dir_.path());
  }

  std::string Flash(size_t offset, size_t length) {
    return ReadFile(flash_).substr(offset, length);
  }

  TempDir dir_;
  std::string flash_ = dir_.File("flash.bin");
  std::string log_ = dir_.File("box.log");
  std::unique_ptr<SimulatedBox> box_;
};

TEST_F(SerialE2eTest, UploadsTheBuiltInLoader) {
  StartBox();
  ProcessResult run = Boot("");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string image = BuiltInImage("vk7301");
  EXPECT_EQ(run.out.rfind("Found serial: " + box_->port() +
                              "\nwait ROM request... please power on or restart the board...\n"
                              "\nwrite size 93570 byte " +
                              std::string(46, '.') + " end\ndata transmit ok.\n",
                          0),
            0u)
      << run.out;
  EXPECT_EQ(TranscriptLines(log_, "rom head "),
            std::vector<std::string>{HeadLine(image, 1024, 'A')});
  EXPECT_EQ(TranscriptLines(log_, "rom verdict "), std::vector<std::string>{"O"});
}

TEST_F(SerialE2eTest, UploadsLoaderFilesInBothVariants) {
  const struct {
    std::string start;
    size_t length;
    int words;
    char variant;
  } cases[] = {
      {"\x11\x32\x01", 5000, 1250, 'B'},  // long head, checksum and length after "GET"
      {"\xAA\x55\xAA", 1000, 250, 'A'},
      {"\x11\x32\xAA", 20000, 2048, 'A'},
  };
  StartBox();  // the box resets after each run and serves the next
  for (const auto& c : cases) {
    std::string image = PatternBytes(c.length, static_cast<unsigned>(c.length));
    image.replace(0, 3, c.start);
    WriteFile(dir_.File("loader.boot"), image);
    ProcessResult run = Boot("", {"-b", "loader.boot"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("write size " + std::to_string(c.length) + " byte "), std::string::npos);
    EXPECT_EQ(TranscriptLines(log_, "rom head ").back(), HeadLine(image, c.words, c.variant));
  }
}

TEST_F(SerialE2eTest, SerialDownThenDumpRoundTrips) {
  StartBox();
  const std::string data = PatternBytes(93570);
  WriteFile(dir_.File("app.bin"), data);
  ProcessResult run = Boot("serialdown 0x10000 app.bin; serialdump 0x10000 0x16D82 dump.bin");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(ReadFile(dir_.File("dump.bin")), data);
  EXPECT_EQ(Flash(0x10000, data.size()), data);
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{"serialdown 0x10000 93570", "serialdump 0x10000 93570"}));

  // The console output of the send, from its empty line to the result line.
  const std::string send =
      "\nserialdown 0x10000 93570\r\n"
      "start to send data to stb board, please wait 9s.\n" +
      ProgressCounter(99) + "\nsend all ok. unit = 936, count = 93570.\n";
  EXPECT_NE(run.out.find(send), std::string::npos) << run.out;
  const std::string receive = "\nstart to recv data from stb board, please wait 9s.\n" +
                              ProgressCounter(99) +
                              "\nrecv all ok. unit = 936, count = 93570. will write to file "
                              "dump.bin\n";
  EXPECT_NE(run.out.find(receive), std::string::npos) << run.out;
  // The markers themselves are never shown.
  EXPECT_EQ(run.out.find("~sta~"), std::string::npos);
  EXPECT_EQ(run.out.find("~fin~"), std::string::npos);
}

TEST_F(SerialE2eTest, EraseAndEraseAll) {
  StartBox();
  const std::string data = PatternBytes(0x3000);
  WriteFile(dir_.File("app.bin"), data);
  ProcessResult run = Boot("serialdown 0 app.bin;flash erase 0x1000 0x1000");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(Flash(0, 0x3000),
            data.substr(0, 0x1000) + std::string(0x1000, '\xFF') + data.substr(0x2000));

  run = Boot("flash eraseall");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(Flash(0, 0x3000), std::string(0x3000, '\xFF'));
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{"serialdown 0 12288", "flash erase 0x1000 0x1000 ",
                                      "flash eraseall "}));
}

TEST_F(SerialE2eTest, OtpWrites) {
  StartBox();
  const std::string vk = PatternBytes(32, 7), sflash = PatternBytes(100, 8);
  WriteFile(dir_.File("vk.bin"), vk);
  WriteFile(dir_.File("sflash.bin"), sflash);
  ProcessResult run =
      Boot("vk_otp write 0x10 vk.bin; sflash_otp write 0x200 sflash.bin; vk_otp status");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string vk_area = ReadFile(flash_ + ".vk_otp");
  const std::string sflash_area = ReadFile(flash_ + ".sflash_otp");
  ASSERT_EQ(vk_area.size(), 4096u);
  ASSERT_EQ(sflash_area.size(), 4096u);
  EXPECT_EQ(vk_area.substr(0, 0x10), std::string(0x10, '\xFF'));
  EXPECT_EQ(vk_area.substr(0x10, 32), vk);
  EXPECT_EQ(sflash_area.substr(0x200, 100), sflash);
  EXPECT_EQ(TranscriptLines(log_, "shell "),
            (std::vector<std::string>{"vk_otp write 0x10 32", "sflash_otp write 0x200 100",
                                      "vk_otp status"}));
}

TEST_F(SerialE2eTest, ResendsTheLoaderAfterEachErrorVerdict) {
  StartBox({"--rom-errors", "2"});
  ProcessResult run = Boot("");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string pass = "\nwrite size 93570 byte " + std::string(46, '.') + " end\n";
  EXPECT_NE(run.out.find(pass + "data transmit error, try agin ...\n" + pass +
                         "data transmit error, try agin ...\n" + pass + "data transmit ok.\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(TranscriptLines(log_, "rom verdict "), (std::vector<std::string>{"E", "E", "O"}));
}

TEST_F(SerialE2eTest, UnexpectedVerdictIsReportedAndTheRunGoesOn) {
  StartBox({"--verdict", "0x41"});
  ProcessResult run = Boot("flash eraseall");
  EXPECT_NE(run.out.find(" end\nbuf[0]=65\nerror, please try agin.\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
}

TEST_F(SerialE2eTest, SoftFailuresLetTheRunGoOnButFailIt) {
  StartBox();
  ProcessResult run = Boot("serialdump 0 64 /dev/full; flash eraseall");
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("write file error.act write len=0.\n"), std::string::npos) << run.out;
  EXPECT_EQ(TranscriptLines(log_, "shell ").back(), "flash eraseall ");
}

TEST_F(SerialE2eTest, SilentBoxEndsTheRun) {
  WriteFile(dir_.File("app.bin"), PatternBytes(1000));
  const struct {
    std::vector<std::string> box_options;
    std::string commands;
    std::string message;
  } cases[] = {
      {{"--no-get"}, "", "BootROM error: wait for \"GET\",please check stb UART receive !\n"},
      {{"--no-prompt"},
       "",
       "Before exec the first command, failed to receive \"boot>\" from stb in 3s, will "
       "EXIT_FAILURE\n"},
      {{"--no-sta"},
       "serialdown 0 app.bin",
       "Failed to receive \"~sta~\" from stb in 3s, will EXIT_FAILURE\n"},
      {{"--no-fin"},
       "serialdown 0 app.bin",
       "Failed to receive \"~fin~\" from stb in 3s, will EXIT_FAILURE\n"},
      {{"--no-fin"},
       "serialdump 0 1000 dump.bin",
       "Failed to receive \"~fin~\" from stb in 3s, will EXIT_FAILURE\n"},
  };
  for (const auto& c : cases) {
    StartBox(c.box_options);
    ProcessResult run = Boot(c.commands);
    EXPECT_EQ(run.exit_code, 1) << c.message << run.out << run.err;
    ASSERT_GE(run.out.size(), c.message.size()) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - c.message.size()), c.message) << run.out;
  }
}

TEST_F(SerialE2eTest, DumpThatStopsMidwayKeepsWaiting) {
  StartBox({"--dump-stop-after", "500"});
  std::vector<std::string> argv{
      BootExe(), "-m", "vk7301", "-d", box_->port(), "-c", "serialdump 0 1000 dump.bin"};
  BackgroundProcess boot(argv, dir_.path());
  ASSERT_TRUE(boot.WaitForOutput("start to recv data", kRunLimit)) << boot.out();
  // More than one "~fin~" time-out later the tool still waits for the bytes.
  EXPECT_EQ(boot.Wait(Milliseconds(4000)), -1) << boot.out();
  EXPECT_EQ(boot.out().find("recv all ok"), std::string::npos);
}

}  // namespace
