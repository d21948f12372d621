// Network downloads end to end: boot's TFTP server on UDP port 2000 against
// stbsim's TFTP client and against real TFTP clients, and runs side by side
// that compete for the port.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

const Milliseconds kRunLimit(60000);
const Milliseconds kClientLimit(30000);
const char kWaitingForRom[] = "wait ROM request... please power on or restart the board...\n";
const char kPortTaken[] = "listen bind: Address already in use\n";

// A pseudo-terminal whose far end never says anything: a box that is not
// switched on. boot waits on it for the ROM, with its TFTP server running.
class SilentTerminal {
 public:
  SilentTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    path_ = ptsname(master_);
  }
  ~SilentTerminal() { close(master_); }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

// Holds UDP port 2000 like another boot run would. When something else on
// the machine holds it already, the port is just as taken.
class PortHolder {
 public:
  PortHolder() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(2000);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~PortHolder() { close(fd_); }

 private:
  int fd_;
};

class NetworkE2eTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{BootExe()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProcess(argv, kRunLimit, dir_.path());
  }

  // boot waiting for a box that never starts: only its TFTP server works.
  // Its command needs the server, so a taken port makes it fail at once.
  std::unique_ptr<BackgroundProcess> StartIdleBoot() {
    auto boot = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{BootExe(), "-m", "vk7301", "-d", terminal_.path(), "-p",
                                 "127.0.0.1", "-c", "netdown 0 app.bin"},
        dir_.path());
    EXPECT_TRUE(boot->WaitForOutput(kWaitingForRom, Milliseconds(10000))) << boot->err();
    return boot;
  }

  TempDir dir_;
  SilentTerminal terminal_;
};

TEST_F(NetworkE2eTest, RealClientsDownloadFilesByteForByte) {
  struct File {
    std::string name;
    std::string bytes;
  } files[] = {
      {"app.bin", PatternBytes(100000, 3)},
      {"empty.bin", ""},
      {"exact.bin", PatternBytes(512 * 40, 4)},
      // More than 65535 blocks of 512 bytes: the block numbers wrap.
      {"large.bin", PatternBytes(65536 * 512 + 700, 5)},
  };
  for (const File& file : files) WriteFile(dir_.File(file.name), file.bytes);
  std::unique_ptr<BackgroundProcess> boot = StartIdleBoot();

  for (const File& file : files) {
    const std::string out = dir_.File("fetched-" + file.name);
    const std::vector<std::vector<std::string>> clients = {
        {"/usr/bin/atftp", "-g", "-r", file.name, "-l", out, "127.0.0.1", "2000"},
        {"/usr/bin/busybox", "tftp", "-g", "-r", file.name, "-l", out, "127.0.0.1", "2000"},
        {"/usr/bin/busybox", "tftp", "-g", "-b", "1428", "-r", file.name, "-l", out, "127.0.0.1",
         "2000"},
    };
    for (const std::vector<std::string>& client : clients) {
      SCOPED_TRACE(client[0] + " " + client[2] + " " + file.name);
      std::remove(out.c_str());
      ProcessResult fetched = RunProcess(client, kClientLimit, dir_.path());
      EXPECT_EQ(fetched.exit_code, 0) << fetched.out << fetched.err;
      EXPECT_TRUE(ReadFile(out) == file.bytes) << "fetched " << ReadFile(out).size() << " bytes";
    }
  }
  // A file outside the working directory is refused, and the tool says so.
  ProcessResult refused = RunProcess({"/usr/bin/busybox", "tftp", "-g", "-r", "/etc/hostname", "-l",
                                      dir_.File("x"), "127.0.0.1", "2000"},
                                     kClientLimit, dir_.path());
  EXPECT_NE(refused.exit_code, 0);
  EXPECT_TRUE(
      boot->WaitForOutput("tftp: refused to serve /etc/hostname to 127.0.0.1:", Milliseconds(5000)))
      << boot->out();
}

TEST_F(NetworkE2eTest, ARunWithoutNetworkDownloadsGoesOnWhenThePortIsTaken) {
  PortHolder other_run;
  WriteFile(dir_.File("app.bin"), PatternBytes(3000, 7));
  const std::string flash = dir_.File("flash.bin");
  SimulatedBox box({"--flash", flash});

  // -v and -h never touch the network.
  ProcessResult version = Run({"-v"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "boot version:v1.9-dev --20151020\n");
  EXPECT_EQ(Run({"-h"}).exit_code, 0);

  ProcessResult serial = Run({"-m", "vk7301", "-d", box.port(), "-c", "serialdown 0x100 app.bin"});
  EXPECT_EQ(serial.exit_code, 0) << serial.out << serial.err;
  EXPECT_EQ(serial.out.rfind(
                "Warning: no TFTP server on port 2000 (listen bind: Address already in use); this "
                "run has no network download and goes on.\nFound serial: ",
                0),
            0u)
      << serial.out;
  EXPECT_TRUE(ReadFile(flash).substr(0x100, 3000) == PatternBytes(3000, 7));

  // A run that needs the server fails before it touches the port.
  ProcessResult network =
      Run({"-m", "vk7301", "-d", box.port(), "-p", "127.0.0.1", "-c", "netdown 0 app.bin"});
  EXPECT_EQ(network.exit_code, 1);
  EXPECT_EQ(network.err, kPortTaken);
  EXPECT_EQ(network.out, "");
}

TEST_F(NetworkE2eTest, NetdownWritesTheFetchedFileIntoTheFlash) {
  struct Case {
    std::vector<std::string> addresses;
    std::vector<std::string> box_options;
    std::string config_ip;
    size_t size;
  } cases[] = {
      // The box's address derived from the PC's.
      {{"-p", "127.0.0.1"}, {}, "config ip 127.0.0.2 ", 100000},
      // Given with -s; -e works like -p; the box asks for 1428-byte blocks.
      {{"-e", "127.0.0.1", "-s", "10.0.0.7"}, {"--blksize", "1428"}, "config ip 10.0.0.7 ", 300001},
      // A multiple of the block size ends with an empty block.
      {{"-p", "127.0.0.1"}, {}, "config ip 127.0.0.2 ", 512 * 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config_ip + std::to_string(c.size));
    const std::string flash = dir_.File("flash.bin");
    const std::string log = dir_.File("box.log");
    std::remove(flash.c_str());
    std::remove(log.c_str());
    std::vector<std::string> box_options{"--flash", flash, "--log", log};
    box_options.insert(box_options.end(), c.box_options.begin(), c.box_options.end());
    SimulatedBox box(box_options);
    const std::string bytes = PatternBytes(c.size, static_cast<unsigned>(c.size));
    WriteFile(dir_.File("app.bin"), bytes);

    std::vector<std::string> arguments{"-m", "vk7301", "-d", box.port()};
    arguments.insert(arguments.end(), c.addresses.begin(), c.addresses.end());
    arguments.insert(arguments.end(), {"-c", "netdown 0x20000 app.bin"});
    ProcessResult run = Run(arguments);
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_TRUE(ReadFile(flash).substr(0x20000, c.size) == bytes);
    const std::string line =
        "partition download 0x20000 127.0.0.1 \"app.bin\" " + std::to_string(c.size) + " null";
    EXPECT_EQ(TranscriptLines(log, "shell "),
              (std::vector<std::string>{c.config_ip, "config tftpport 2000 ", line}));
    EXPECT_EQ(TranscriptLines(log, "tftp "),
              std::vector<std::string>{"app.bin " + std::to_string(c.size)});
    EXPECT_NE(run.out.find(line + "\r\n"), std::string::npos) << run.out;  // the box's echo
  }
}

TEST_F(NetworkE2eTest, BootpLoadsTheFileAndAMissingFileIsReported) {
  const std::string log = dir_.File("box.log");
  SimulatedBox box({"--log", log});
  const std::string bytes = PatternBytes(70000, 9);
  WriteFile(dir_.File("kernel.img"), bytes);
  uint32_t checksum = 0;
  for (unsigned char byte : bytes) checksum += byte;

  ProcessResult run = Run({"-m", "vk7301", "-d", box.port(), "-p", "127.0.0.1", "-c",
                           "bootp kernel.img; netdown 0 missing.bin"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  char loaded[128];
  std::snprintf(loaded, sizeof loaded, "bootp: loaded 70000 bytes of kernel.img, checksum 0x%08x",
                checksum);
  EXPECT_NE(run.out.find(loaded), std::string::npos) << run.out;
  // The box is told the size -1, the server answers ERROR 1 and says so.
  EXPECT_NE(run.out.find("No Found file: missing.bin\n"), std::string::npos) << run.out;
  EXPECT_EQ(TranscriptLines(log, "shell "),
            (std::vector<std::string>{"bootp 127.0.0.1 kernel.img", "config ip 127.0.0.2 ",
                                      "config tftpport 2000 ",
                                      "partition download 0 127.0.0.1 \"missing.bin\" -1 null"}));
  EXPECT_EQ(TranscriptLines(log, "tftp "), std::vector<std::string>{"kernel.img 70000"});
}

TEST_F(NetworkE2eTest, ASerialRunAndANetworkRunSideBySide) {
  // Two boxes at a real line speed, so that the runs overlap: the network run
  // holds port 2000 first; the serial run beside it warns and goes on.
  TempDir network_dir;
  const std::string network_flash = dir_.File("network-flash.bin");
  const std::string serial_flash = dir_.File("serial-flash.bin");
  SimulatedBox network_box({"--flash", network_flash, "--baud", "460800"});
  SimulatedBox serial_box({"--flash", serial_flash, "--baud", "460800"});
  const std::string network_bytes = PatternBytes(200000, 11);
  const std::string serial_bytes = PatternBytes(20000, 12);
  WriteFile(network_dir.File("app.bin"), network_bytes);
  WriteFile(dir_.File("app.bin"), serial_bytes);

  BackgroundProcess network_run({BootExe(), "-m", "vk7301", "-d", network_box.port(), "-p",
                                 "127.0.0.1", "-c", "netdown 0x1000 app.bin"},
                                network_dir.path());
  ASSERT_TRUE(network_run.WaitForOutput("Found serial: ", Milliseconds(10000)))
      << network_run.out() << network_run.err();
  ProcessResult serial_run =
      Run({"-m", "vk7301", "-d", serial_box.port(), "-c", "serialdown 0x1000 app.bin"});
  EXPECT_EQ(serial_run.exit_code, 0) << serial_run.out << serial_run.err;
  EXPECT_EQ(serial_run.out.rfind("Warning: no TFTP server on port 2000", 0), 0u) << serial_run.out;
  EXPECT_EQ(network_run.Wait(kRunLimit), 0) << network_run.out() << network_run.err();

  EXPECT_TRUE(ReadFile(network_flash).substr(0x1000, network_bytes.size()) == network_bytes);
  EXPECT_TRUE(ReadFile(serial_flash).substr(0x1000, serial_bytes.size()) == serial_bytes);
}

}  // namespace
