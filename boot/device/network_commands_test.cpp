#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "device/boot.h"
#include "net/host_address.h"
#include "net/tftp_server.h"
#include "serial/test_fake_serial.h"

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// A loader shell behind the fake port that echoes each line and shows its
// prompt; the lines it received are kept.
class NetworkCommandsTest : public ::testing::Test {
 protected:
  NetworkCommandsTest() {
    boot_.SetSerial(std::unique_ptr<Serial>(port_));
    port_->on_write = [this](const std::string& bytes) {
      for (char byte : bytes) {
        if (byte != '\n') {
          pending_ += byte;
          continue;
        }
        lines_.push_back(pending_);
        port_->Feed(pending_ + "\r\nboot> ");
        pending_.clear();
      }
    };
    save_local_ip("");
    save_stb_ip("");
    tftp_forget_files();
  }
  ~NetworkCommandsTest() override {
    save_local_ip("");
    save_stb_ip("");
    tftp_forget_files();
  }

  // Runs one tool command; returns standard output.
  std::string Run(const std::string& command, Status* status) {
    CaptureStdout();
    *status = boot_.RunOneCommand(command, 1);
    return GetCapturedStdout();
  }

  Boot boot_;
  FakeSerial* port_ = new FakeSerial;  // owned by boot_
  std::string pending_;
  std::vector<std::string> lines_;
  std::string file_ = ::testing::TempDir() + "network_commands_app.bin";
};

// The configuration lines go through the translation like any command, whose
// last row joins the words with a blank after each.
TEST_F(NetworkCommandsTest, NetdownConfiguresTheLoaderThenNamesTheFile) {
  std::ofstream(file_, std::ios::binary) << std::string(93570, 'a');
  const std::string size = "93570";
  struct Case {
    const char* pc;
    const char* box;
    std::string command;
    std::vector<std::string> lines;
  } cases[] = {
      {"192.168.1.2",
       "",
       "netdown 0 " + file_,
       {"config ip 192.168.1.3 ", "config tftpport 2000 ",
        "partition download 0 192.168.1.2 \"" + file_ + "\" " + size + " null"}},
      // The box's address given with -s wins over the derivation.
      {"192.168.120.100",
       "10.0.0.7",
       "download kernel " + file_ + " yaffs2 more",
       {"config ip 10.0.0.7 ", "config tftpport 2000 ",
        "partition download kernel 192.168.120.100 \"" + file_ + "\" " + size + " yaffs2"}},
      // The last octet wraps without carry.
      {"192.168.1.255",
       "",
       "netdown 0 missing.bin",
       {"config ip 192.168.1.0 ", "config tftpport 2000 ",
        "partition download 0 192.168.1.255 \"missing.bin\" -1 null"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    lines_.clear();
    save_local_ip(c.pc);
    save_stb_ip(c.box);
    Status status = Status::Ok();
    Run(c.command, &status);
    EXPECT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(lines_, c.lines);
  }
  // The files named to the box are the ones the server hands out as the box's.
  EXPECT_TRUE(tftp_file_registered(file_));
  EXPECT_TRUE(tftp_file_registered("missing.bin"));
  EXPECT_FALSE(tftp_file_registered("0"));
}

TEST_F(NetworkCommandsTest, BootWordsAndRunBecomeBootp) {
  save_local_ip("192.168.1.2");
  struct Case {
    std::string command;
    std::string line;
  } cases[] = {
      {"boot app.bin", "bootp 192.168.1.2 app.bin"},
      {"bootp app.bin", "bootp 192.168.1.2 app.bin"},
      {"bootm kernel.img 0x80000000 extra", "bootp 192.168.1.2 kernel.img 0x80000000"},
      {"run linux.bin", "bootp 192.168.1.2 linux.bin"},
  };
  for (const Case& c : cases) {
    lines_.clear();
    Status status = Status::Ok();
    Run(c.command, &status);
    EXPECT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(lines_, std::vector<std::string>{c.line});  // no network configuration first
  }
  EXPECT_TRUE(tftp_file_registered("kernel.img"));
  EXPECT_TRUE(tftp_file_registered("linux.bin"));
  EXPECT_FALSE(tftp_file_registered("0x80000000"));
}

TEST_F(NetworkCommandsTest, TooFewWordsCannotBeTranslated) {
  save_local_ip("192.168.1.2");
  for (const char* command : {"netdown", "netdown 0", "download 0", "run", "boot", "bootp"}) {
    Status status = Status::Ok();
    Run(command, &status);
    EXPECT_EQ(status.message(), "parse command error\n") << command;
  }
  EXPECT_TRUE(lines_.empty());
}

TEST_F(NetworkCommandsTest, WithoutThePcAddressTheRunFailsInsteadOfWaitingForever) {
  Status status = Status::Ok();
  std::string out = Run("netdown 0 app.bin", &status);
  EXPECT_EQ(out, "Warning: NetConfig get local ip failed. please check.\n");
  EXPECT_EQ(status.message(), "Error: No found network.please check.\n");
  EXPECT_TRUE(lines_.empty());

  // With the box's address the loader is still configured first.
  save_stb_ip("10.0.0.7");
  Run("netdown 0 app.bin", &status);
  EXPECT_EQ(status.message(), "Error: No found network.please check.\n");
  EXPECT_EQ(lines_, (std::vector<std::string>{"config ip 10.0.0.7 ", "config tftpport 2000 "}));

  lines_.clear();
  Run("bootp app.bin", &status);
  EXPECT_EQ(status.message(), "Error: No found network.please check.\n");
  EXPECT_TRUE(lines_.empty());
  EXPECT_FALSE(tftp_file_registered("app.bin"));
}

}  // namespace
