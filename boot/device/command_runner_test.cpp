#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/boot.h"
#include "device/test_progress.h"
#include "serial/test_fake_serial.h"

// Reaches the transfers directly, to give them a size that the file does not have.
class BootTestPeer {
 public:
  static Status SendFile(Boot* boot, const std::string& line) { return boot->SendFile(line, 1); }
};

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// A loader shell behind the fake port: it echoes every line, runs the serial
// transfers of "serialdown", the OTP "write" forms and "serialdump", and shows
// its prompt after each command.
class FakeShell {
 public:
  explicit FakeShell(FakeSerial* port) : port_(port) {
    port_->on_write = [this](const std::string& bytes) { OnWrite(bytes); };
  }

  std::vector<std::string> lines;   // every line received, without its line feed
  std::string received;             // the raw bytes of the sends
  std::string flash;                // what a dump sends, from its start
  bool send_sta = true;             // answer transfer lines with "~sta~"
  bool send_fin = true;             // end transfers with "~fin~"
  bool prompt_was_pending = false;  // a line came before the last reply was read

 private:
  void OnWrite(const std::string& bytes) {
    for (char byte : bytes) {
      if (raw_left_ > 0) {
        received += byte;
        if (--raw_left_ == 0) Finish();
      } else if (byte == '\n') {
        if (port_->input_left()) prompt_was_pending = true;
        Handle(line_);
        line_.clear();
      } else {
        line_ += byte;
      }
    }
  }

  void Handle(const std::string& line) {
    lines.push_back(line);
    port_->Feed(line + "\r\n");
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    const bool send = (w.size() == 3 && w[0] == "serialdown") || (w.size() == 4 && w[1] == "write");
    const bool dump = w.size() == 3 && w[0] == "serialdump";
    if (!send && !dump) {
      port_->Feed("done\r\nboot> ");
      return;
    }
    if (!send_sta) {
      port_->Feed("not ready\r\n");  // then silence
      return;
    }
    port_->Feed("~sta~");
    size_t count = std::stoul(w.back());
    if (dump) {
      port_->Feed(flash.substr(0, count));
      Finish();
    } else if (count == 0) {
      Finish();
    } else {
      raw_left_ = count;
    }
  }

  void Finish() {
    if (send_fin) port_->Feed("~fin~\r\nok\r\nboot> ");
  }

  FakeSerial* port_;
  std::string line_;
  size_t raw_left_ = 0;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Pattern(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + i / 256);
  return bytes;
}

class CommandRunnerTest : public ::testing::Test {
 protected:
  CommandRunnerTest() { boot_.SetSerial(std::unique_ptr<Serial>(port_)); }

  std::string Path(const std::string& name) { return directory_ + name; }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }

  // Runs the command text; returns what went to standard output.
  std::string Run(const std::string& text, Status* status) {
    CaptureStdout();
    *status = boot_.Command(text, 1);
    return GetCapturedStdout();
  }

  Boot boot_;
  FakeSerial* port_ = new FakeSerial;  // owned by boot_
  FakeShell shell_{port_};
  std::string directory_ = ::testing::TempDir();
};

TEST_F(CommandRunnerTest, SplitsAtSemicolonsAndWaitsForEachPrompt) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"flash erase 0 0x10000; flash eraseall", {"flash erase 0 0x10000 ", "flash eraseall "}},
      {"a;;b", {"a ", "b "}},
      {";a;b", {"a ", "b "}},
      {"a; ;b; ", {"a ", "b "}},
      {"", {}},
  };
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    FakeShell shell(port);
    Status status = Status::Ok();
    std::string printed = Run(c.text, &status);
    ASSERT_TRUE(status.ok()) << c.text << ": " << status.message();
    EXPECT_EQ(shell.lines, c.lines) << c.text;
    EXPECT_FALSE(shell.prompt_was_pending) << c.text;
    EXPECT_FALSE(port->input_left()) << c.text;
    std::string echoed;
    for (const std::string& line : c.lines) echoed += line + "\r\ndone\r\n";
    EXPECT_EQ(printed, echoed) << c.text;
  }
}

TEST_F(CommandRunnerTest, LineFeedIsAddedOnlyWhenMissing) {
  Status status = Status::Ok();
  Run("serialdown 0\n;flash eraseall", &status);
  ASSERT_TRUE(status.ok());
  EXPECT_EQ(port_->written, "serialdown 0\nflash eraseall \n");
  EXPECT_EQ(port_->writes[0], "serialdown 0\n");  // the line in one write
}

TEST_F(CommandRunnerTest, SerialSendPrintsCounterAndResultAndMovesEveryByte) {
  const std::string data = Pattern(93570);
  const std::string file = MakeFile("send93570.bin", data);
  Status status = Status::Ok();
  std::string printed = Run("serialdown 0 " + file, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(printed, "\nserialdown 0 93570\r\nstart to send data to stb board, please wait 9s.\n" +
                         ProgressCounter(99) +
                         "\nsend all ok. unit = 936, count = 93570.\n\r\nok\r\n");
  EXPECT_EQ(shell_.received, data);
  // The line, its line feed, 99 units of 936 bytes and the last 906 bytes.
  ASSERT_EQ(port_->writes.size(), 2u + 99u + 1u);
  EXPECT_EQ(port_->writes[2].size(), 936u);
  EXPECT_EQ(port_->writes.back().size(), 906u);
  EXPECT_EQ(port_->read_timeouts, (std::vector<int>{3, 3}));
  EXPECT_FALSE(boot_.had_soft_failure());
}

TEST_F(CommandRunnerTest, CounterForSmallAndEmptyTransfers) {
  const struct {
    size_t size;
    std::string counter;
  } cases[] = {{50, ProgressCounter(50)},
               {0, "\b\b\b00%\b\b\b100%"},
               {99, ProgressCounter(99)},
               {100, ProgressCounter(50)}};
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    FakeShell shell(port);
    const std::string data = Pattern(c.size);
    const std::string file = MakeFile("small.bin", data);
    Status status = Status::Ok();
    std::string printed = Run("vk_otp write 0x10 " + file, &status);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_NE(printed.find("please wait 0s.\n" + c.counter + "\nsend all ok. unit = "),
              std::string::npos)
        << c.size << ": " << printed;
    EXPECT_EQ(shell.received, data);
  }
}

TEST_F(CommandRunnerTest, SerialReceiveWritesTheDumpFile) {
  shell_.flash = Pattern(5000);
  const std::string file = Path("dump5000.bin");
  Status status = Status::Ok();
  std::string printed = Run("serialdump 0x100000 5000 " + file, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(ReadAll(file), shell_.flash);
  EXPECT_EQ(printed,
            "serialdump 0x100000 5000\r\n\nstart to recv data from stb board, please wait 0s.\n" +
                ProgressCounter(98) +
                "\nrecv all ok. unit = 51, count = 5000. will write to file " + file +
                "\n\r\nok\r\n");

  // An empty dump still waits for both markers and leaves an empty file.
  const std::string empty = MakeFile("dump0.bin", "old content");
  printed = Run("serialdump 0 0 " + empty, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(ReadAll(empty), "");
  EXPECT_NE(printed.find("\b\b\b00%\b\b\b100%\nrecv all ok. unit = 1, count = 0."),
            std::string::npos);
}

TEST_F(CommandRunnerTest, MissingMarkersEndTheRun) {
  const std::string file = MakeFile("marker.bin", Pattern(300));
  const std::string dump = Path("marker-dump.bin");
  const std::string sta = "Failed to receive \"~sta~\" from stb in 3s, will EXIT_FAILURE\n";
  const std::string fin = "Failed to receive \"~fin~\" from stb in 3s, will EXIT_FAILURE\n";
  const struct {
    std::string command;
    bool send_sta;
    std::string message;
  } cases[] = {
      {"serialdown 0 " + file, false, sta},
      {"serialdump 0 300 " + dump, false, sta},
      {"serialdown 0 " + file, true, fin},
      {"serialdump 0 300 " + dump, true, fin},
  };
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    FakeShell shell(port);
    shell.flash = Pattern(300);
    shell.send_sta = c.send_sta;
    shell.send_fin = false;
    Status status = Status::Ok();
    std::string printed = Run(c.command, &status);
    ASSERT_FALSE(status.ok()) << c.command;
    EXPECT_EQ(status.message(), c.message) << c.command;
    if (!c.send_sta) {
      // The box's own text before the silence is shown.
      EXPECT_NE(printed.find("not ready\r\n"), std::string::npos) << printed;
    }
  }
}

TEST_F(CommandRunnerTest, FilesThatCannotBeUsedAreReportedBeforeAnythingIsSent) {
  const std::string directory = Path("a-directory");
  mkdir(directory.c_str(), 0755);
  const struct {
    std::string command;
    std::string message;
  } cases[] = {
      {"serialdown 0 " + directory, "can't open file " + directory + ": Is a directory\n"},
      {"serialdump 0 16 " + Path("no/such/dir/d.bin"),
       "can't create file " + Path("no/such/dir/d.bin") + ": No such file or directory\n"},
      {"serialdown 0 " + Path("missing.bin"),
       "file " + Path("missing.bin") + " not find, please check.\n"},
      {"a'b", "parse command error\n"},
  };
  for (const auto& c : cases) {
    Status status = Status::Ok();
    Run(c.command, &status);
    ASSERT_FALSE(status.ok()) << c.command;
    EXPECT_EQ(status.message(), c.message);
  }
  EXPECT_EQ(port_->written, "");
}

TEST_F(CommandRunnerTest, ShortFileIsPaddedWithErasedBytesAndFailsTheRun) {
  const std::string file = MakeFile("short.bin", Pattern(60));
  g_boot_info.file_name = file;
  g_boot_info.size = 100;  // the file shrank after its size was taken
  CaptureStdout();
  Status status = BootTestPeer::SendFile(&boot_, "serialdown 0 100");
  std::string printed = GetCapturedStdout();
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(printed.rfind("read file error.act read len=3c.\n", 0), 0u) << printed;
  EXPECT_EQ(shell_.received, Pattern(60) + std::string(40, '\xFF'));
  EXPECT_TRUE(boot_.had_soft_failure());
}

TEST_F(CommandRunnerTest, DumpThatCannotBeWrittenFailsTheRunButGoesOn) {
  shell_.flash = Pattern(64);
  Status status = Status::Ok();
  std::string printed = Run("serialdump 0 64 /dev/full; flash eraseall", &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_NE(printed.find("write file error.act write len=0.\n"), std::string::npos) << printed;
  EXPECT_EQ(shell_.lines.back(), "flash eraseall ");
  EXPECT_TRUE(boot_.had_soft_failure());
}

TEST_F(CommandRunnerTest, PortThatStopsTakingBytesFailsTheRun) {
  const std::string file = MakeFile("broken.bin", Pattern(10000));
  port_->write_limit = 5000;
  Status status = Status::Ok();
  Run("serialdown 0 " + file, &status);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "write to serial /dev/fake failed, please check the connection.\n");
}

}  // namespace
