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

#include <memory>
#include <sstream>
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

}  // namespace
