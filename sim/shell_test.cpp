#include "shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "test_capture.h"

namespace {

constexpr uint32_t kFlashSize = 1 << 20;

class FakeFetcher : public FileFetcher {
 public:
  FetchResult Fetch(const FetchRequest& request,
                    const std::function<void(uint64_t)>& progress) override {
    requests.push_back(request);
    if (result.ok) progress(result.data.size());
    return result;
  }
  FetchResult result;
  std::vector<FetchRequest> requests;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  void Start(const ShellOptions& options) {
    memory_ = BoxMemory();
    std::string error;
    ASSERT_TRUE(memory_.Open("", kFlashSize, &error)) << error;
    shell_ = std::make_unique<Shell>(options, memory_, out_, log_.transcript(), &network_,
                                     [this](const std::string& text) { reports_ += text + "\n"; });
    shell_->Start();
    banner_ = out_.Take();
  }
  // Feeds the bytes and returns what the shell answered.
  std::string Send(const std::string& bytes) {
    shell_->Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return out_.Take();
  }
  std::string Flash(uint32_t address, uint32_t size, FlashArea* area = nullptr) {
    std::string bytes(size, '\0');
    std::string error;
    EXPECT_TRUE((area ? area : memory_.flash.get())
                    ->Read(address, reinterpret_cast<uint8_t*>(bytes.data()), size, &error));
    return bytes;
  }

  BoxMemory memory_;
  StringSink out_;
  CapturedTranscript log_;
  FakeFetcher network_;
  std::string reports_;
  std::string banner_;
  std::unique_ptr<Shell> shell_;
};

TEST_F(ShellTest, BannerThenPrompt) {
  EXPECT_EQ(banner_, "\r\nstbsim loader, flash 1048576 bytes\r\nboot> ");
}

TEST_F(ShellTest, SerialDownTakesExactlyTheAnnouncedBytes) {
  // Data split over several feeds, the next line in the same feed as the end.
  EXPECT_EQ(Send("serialdown 0x100 10\n"), "serialdown 0x100 10\r\n~sta~");
  EXPECT_EQ(Send("0123"), "");
  EXPECT_EQ(Send("456789flash eraseall \n"),
            "~fin~\r\nserialdown: wrote 10 bytes at 0x00000100\r\nboot> "
            "flash eraseall \r\nflash eraseall: erased 1048576 bytes\r\nboot> ");
  EXPECT_EQ(Flash(0x100, 10), std::string(10, '\xff'));

  EXPECT_EQ(Send("serialdown 0x00010000 5 yaffs2\nhello"),
            "serialdown 0x00010000 5 yaffs2\r\n~sta~~fin~\r\n"
            "serialdown: wrote 5 bytes at 0x00010000\r\nboot> ");
  EXPECT_EQ(Flash(0x10000, 5), "hello");
  EXPECT_EQ(Send("serialdown 0 0\n"),
            "serialdown 0 0\r\n~sta~~fin~\r\nserialdown: wrote 0 bytes at 0x00000000\r\nboot> ");
  EXPECT_EQ(log_.text(),
            "shell serialdown 0x100 10\nshell flash eraseall \n"
            "shell serialdown 0x00010000 5 yaffs2\nshell serialdown 0 0\n");
}

TEST_F(ShellTest, SerialDumpSendsTheFlashBytes) {
  Send("serialdown 0x20 4\nabcd");
  EXPECT_EQ(Send("serialdump 0x1f 6\n"),
            "serialdump 0x1f 6\r\n~sta~\xff"
            "abcd\xff~fin~\r\n"
            "serialdump: sent 6 bytes from 0x0000001f\r\nboot> ");
}

TEST_F(ShellTest, BadTransferLinesGetAnErrorLineAndNoSta) {
  struct Case {
    const char* line;
    const char* reply;
  };
  const Case cases[] = {
      {"serialdown 0x100000 1",
       "serialdown: 1 bytes at 0x00100000 do not fit in the flash "
       "(1048576 bytes)"},
      {"serialdown 0xff000 0x1001", "serialdown: 4097 bytes at 0x000ff000 do not fit"},
      {"serialdown 0x100001 0", "serialdown: 0 bytes at 0x00100001 do not fit"},
      {"serialdown kernel 100 yaffs2",
       "serialdown: 'kernel' is not an address (partition names "
       "are not supported; give the flash address)"},
      {"serialdown 0 -1", "serialdown: '-1' is not a size"},
      {"serialdown 0 0x1ffffffff", "serialdown: '0x1ffffffff' is not a size"},
      {"serialdown 0 12abc", "serialdown: '12abc' is not a size"},
      {"serialdown 0", "serialdown: usage: serialdown <address> <size> [null|yaffs2]"},
      {"serialdown 0 1 raw", "serialdown: usage"},
      {"serialdump 0xfffff 2", "serialdump: 2 bytes at 0x000fffff do not fit"},
      {"serialdump 0 1 x", "serialdump: usage"},
      {"vk_otp write 0xfff 2",
       "vk_otp write: 2 bytes at 0x00000fff do not fit in the OTP area "
       "(4096 bytes)"},
      {"sflash_otp write 0 4097", "sflash_otp write: 4097 bytes at 0x00000000 do not fit"},
      {"flash erase 0x80000 0x80001", "flash erase: 524289 bytes at 0x00080000 do not fit"},
      {"serialdown '0 1", "unmatched single quote"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string reply = Send(std::string(c.line) + "\n");
    std::string expected_start = std::string(c.line) + "\r\nerror: " + c.reply;
    EXPECT_EQ(reply.substr(0, expected_start.size()), expected_start);
    EXPECT_EQ(reply.find("~sta~"), std::string::npos);
    EXPECT_EQ(reply.substr(reply.size() - 8), "\r\nboot> ");
  }
}

TEST_F(ShellTest, FlashEraseAndPlainCommands) {
  Send("serialdown 0 8\n01234567");
  EXPECT_EQ(Send("flash erase 2 0x4 \n"),
            "flash erase 2 0x4 \r\nflash erase: erased 4 bytes at 0x00000002\r\nboot> ");
  EXPECT_EQ(Flash(0, 8),
            "01\xff\xff\xff\xff"
            "67");
  EXPECT_EQ(Send("config ip 192.168.1.101\n"),
            "config ip 192.168.1.101\r\nconfig ip: 192.168.1.101\r\nboot> ");
  EXPECT_EQ(Send("config tftpport 2000\n"),
            "config tftpport 2000\r\nconfig tftpport: 2000\r\nboot> ");
  EXPECT_EQ(
      Send("config ip 300.1.1.1\n"),
      "config ip 300.1.1.1\r\nerror: config ip: '300.1.1.1' is not an IPv4 address\r\nboot> ");
  EXPECT_EQ(Send("reboot now\n"), "reboot now\r\nreboot: unknown command\r\nboot> ");
  EXPECT_EQ(Send("\n"), "\r\nboot> ");
  // A carriage return stays in the echo and the transcript, not in the words.
  EXPECT_EQ(Send("flash eraseall\r\n"),
            "flash eraseall\r\r\nflash eraseall: erased 1048576 bytes\r\nboot> ");
  EXPECT_NE(log_.text().find("shell flash eraseall\\r\n"), std::string::npos);
  std::string long_line(Shell::kMaxLine + 10, 'a');
  std::string reply = Send(long_line + "\n");
  EXPECT_NE(reply.find("error: line longer than 1024 bytes\r\nboot> "), std::string::npos);
}

TEST_F(ShellTest, OtpAreas) {
  EXPECT_EQ(Send("vk_otp status\n"), "vk_otp status\r\nvk_otp: unlocked\r\nboot> ");
  EXPECT_EQ(Send("vk_otp write 0x10 2\n\x0f\xf0"),
            "vk_otp write 0x10 2\r\n~sta~~fin~\r\nvk_otp write: programmed 2 bytes at 0x010\r\n"
            "boot> ");
  // Programming only clears bits.
  Send("vk_otp write 0x10 2\n\xf3\x3f");
  EXPECT_EQ(Flash(0x10, 2, memory_.vk_otp.area.get()), "\x03\x30");
  EXPECT_EQ(Send("vk_otp read 0xe 4\n"), "vk_otp read 0xe 4\r\n0x00e: ff ff 03 30\r\nboot> ");
  EXPECT_EQ(Send("vk_otp lock\n"), "vk_otp lock\r\nvk_otp: locked\r\nboot> ");
  EXPECT_EQ(Send("vk_otp write 0 1\n"),
            "vk_otp write 0 1\r\nerror: vk_otp write: the OTP area is locked\r\nboot> ");

  EXPECT_EQ(
      Send("sflash_otp write 0 3\nabc"),
      "sflash_otp write 0 3\r\n~sta~~fin~\r\nsflash_otp write: programmed 3 bytes at 0x000\r\n"
      "boot> ");
  EXPECT_EQ(Flash(0, 3, memory_.sflash_otp.area.get()), "abc");
  EXPECT_EQ(Flash(0, 3, memory_.flash.get()), "\xff\xff\xff");
  EXPECT_EQ(Send("sflash_otp setregion 2\n"),
            "sflash_otp setregion 2\r\nsflash_otp: region 2\r\nboot> ");
  EXPECT_EQ(Send("sflash_otp status\n"),
            "sflash_otp status\r\nsflash_otp: unlocked, region 2\r\nboot> ");
  EXPECT_EQ(Send("sflash_otp erase\n"), "sflash_otp erase\r\nsflash_otp: erased\r\nboot> ");
  EXPECT_EQ(Flash(0, 3, memory_.sflash_otp.area.get()), "\xff\xff\xff");
}

TEST_F(ShellTest, ConfiguredFaults) {
  ShellOptions no_sta;
  no_sta.send_sta = false;
  Start(no_sta);
  EXPECT_EQ(Send("serialdown 0 4\n"), "serialdown 0 4\r\nboot> ");

  ShellOptions stop;
  stop.dump_stop_after = 3;
  Start(stop);
  EXPECT_EQ(Send("serialdump 0 10\n"), "serialdump 0 10\r\n~sta~\xff\xff\xff");
  EXPECT_TRUE(shell_->Silent());
  EXPECT_EQ(Send("flash eraseall\n"), "");

  ShellOptions quiet;
  quiet.prompt = false;
  quiet.noise = "boo!";
  Start(quiet);
  EXPECT_EQ(banner_, "\r\nstbsim loader, flash 1048576 bytes\r\nboo!");
  EXPECT_EQ(Send("flash eraseall\n"), "");

  ShellOptions noise;
  noise.noise = "bboot> ";
  Start(noise);
  EXPECT_EQ(banner_, "\r\nstbsim loader, flash 1048576 bytes\r\nbboot> boot> ");
}

TEST_F(ShellTest, UsbDownReadsOnlyBelowTheStick) {
  std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("stbsim-usb-" + std::to_string(getpid()));
  std::filesystem::create_directories(root / "fw");
  std::ofstream(root / "fw" / "app.bin", std::ios::binary) << "APP!";
  std::ofstream(root.string() + "-secret", std::ios::binary) << "secret";
  std::filesystem::create_symlink(root.string() + "-secret", root / "link");
  ShellOptions options;
  options.usb_dir = root.string();
  Start(options);

  EXPECT_EQ(Send("usbdown 0x40 fw/app.bin \n"),
            "usbdown 0x40 fw/app.bin \r\nusbdown: wrote 4 bytes from fw/app.bin at 0x00000040\r\n"
            "boot> ");
  EXPECT_EQ(Flash(0x40, 4), "APP!");
  EXPECT_NE(Send("usbdown 0 /fw/./app.bin\n").find("usbdown: wrote 4 bytes"), std::string::npos);
  for (const char* name : {"../stbsim-usb-secret", "fw/../../x", "link"}) {
    SCOPED_TRACE(name);
    std::string reply = Send(std::string("usbdown 0 ") + name + "\n");
    EXPECT_NE(reply.find("error: usbdown: '"), std::string::npos) << reply;
    EXPECT_NE(reply.find("leads outside the USB storage"), std::string::npos) << reply;
  }
  EXPECT_NE(Send("usbdown 0 missing.bin\n")
                .find("error: usbdown: cannot open 'missing.bin': No such file or directory"),
            std::string::npos);
  std::filesystem::remove_all(root);
  std::filesystem::remove(root.string() + "-secret");

  Start({});
  EXPECT_NE(Send("usbdown 0 a.bin\n").find("error: usbdown: no USB storage attached"),
            std::string::npos);
}

TEST_F(ShellTest, NetworkDownloadWritesWhatWasFetched) {
  network_.result.ok = true;
  network_.result.data.assign(70000, 0x5A);
  EXPECT_EQ(Send("config tftpport 2001\n").find("error"), std::string::npos);
  std::string reply = Send("partition download 0x1000 127.0.0.1 \"app.bin\" 70000 null\n");
  EXPECT_EQ(reply,
            "partition download 0x1000 127.0.0.1 \"app.bin\" 70000 null\r\n"
            "partition download: fetching app.bin from 127.0.0.1:2001\r\n"
            ".\r\n"
            "partition download: wrote 70000 bytes at 0x00001000\r\nboot> ");
  EXPECT_EQ(Flash(0x1000, 70000), std::string(70000, '\x5A'));
  ASSERT_EQ(network_.requests.size(), 1u);
  EXPECT_EQ(network_.requests[0].server, "127.0.0.1");
  EXPECT_EQ(network_.requests[0].port, 2001);
  EXPECT_EQ(network_.requests[0].file, "app.bin");
  EXPECT_EQ(network_.requests[0].limit, kFlashSize - 0x1000);
  EXPECT_NE(log_.text().find("tftp app.bin 70000\n"), std::string::npos);

  // A size that disagrees with the fetched file leaves the flash alone.
  reply = Send("partition download 0 127.0.0.1 \"app.bin\" 5 null\n");
  EXPECT_NE(reply.find("error: partition download: received 70000 bytes of app.bin, the line "
                       "announced 5; flash not written\r\nboot> "),
            std::string::npos);
  EXPECT_EQ(Flash(0, 1), "\xff");

  network_.result = FetchResult();
  network_.result.error = "TFTP error 1 from 127.0.0.1:2001: File not found";
  reply = Send("partition download 0 127.0.0.1 \"gone.bin\" -1 null\n");
  EXPECT_NE(reply.find("error: partition download: TFTP error 1 from 127.0.0.1:2001: File not "
                       "found\r\nboot> "),
            std::string::npos);

  network_.result.ok = true;
  network_.result.data = {1, 2, 3};
  reply = Send("bootp 127.0.0.1 kernel.bin\n");
  EXPECT_NE(reply.find("bootp: loaded 3 bytes of kernel.bin, checksum 0x00000006\r\nboot> "),
            std::string::npos);
  EXPECT_NE(log_.text().find("tftp kernel.bin 3\n"), std::string::npos);
}

}  // namespace
