// One run of the real stbsim program on its pseudo-terminal: request, upload,
// a transfer, and the exit with --once when the port is closed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "string_printf.h"
#include "test_upload.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBound = std::chrono::seconds(10);

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Reads from `fd` until `text` has arrived or the bound passes; returns all
// that was read.
std::string ReadUntil(int fd, const std::string& text) {
  std::string got;
  const auto deadline = Clock::now() + kBound;
  while (got.find(text) == std::string::npos && Clock::now() < deadline) {
    pollfd poller = {fd, POLLIN, 0};
    if (poll(&poller, 1, 100) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0);
    done += static_cast<size_t>(n);
  }
}

// Waits for the child to end; its exit code, or -1 when it outlived the bound.
int WaitExit(pid_t pid) {
  const auto deadline = Clock::now() + kBound;
  while (Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    usleep(10000);  // polling a child's end; bounded above
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

TEST(StbsimSmokeTest, UploadTransferAndExitWhenThePortCloses) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("stbsim-smoke-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string flash = (dir / "flash.bin").string();
  const std::string log = (dir / "box.log").string();
  const std::string link = (dir / "ttyBOX").string();

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    execl(STBSIM_EXE, STBSIM_EXE, "--once", "--flash", flash.c_str(), "--flash-size", "65536",
          "--log", log.c_str(), "--link", link.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string first_line = ReadUntil(out[0], "\n");
  ASSERT_NE(first_line.find("/dev/pts/"), std::string::npos) << first_line;
  first_line.pop_back();
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), first_line);

  int port = open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(port, 0);
  // The terminal is raw already: nothing the tool sends is echoed back.
  EXPECT_NE(ReadUntil(port, "X").find('X'), std::string::npos);
  Upload upload = BuildUpload(TestImage(5000, 0x00));
  WriteAll(port, upload.head);
  EXPECT_NE(ReadUntil(port, "GET").find("GET"), std::string::npos);
  WriteAll(port, upload.tail);
  std::string started = ReadUntil(port, "boot> ");
  EXPECT_NE(started.find("O\r\nstbsim loader"), std::string::npos) << started;
  EXPECT_EQ(started.find("GET"), std::string::npos);  // no echo of the tool's bytes

  WriteAll(port, "serialdown 0x10 4\n");
  EXPECT_NE(ReadUntil(port, "~sta~").find("~sta~"), std::string::npos);
  WriteAll(port, "data");
  EXPECT_NE(ReadUntil(port, "boot> ").find("~fin~\r\nserialdown: wrote 4 bytes at 0x00000010"),
            std::string::npos);
  // The file has the bytes while the box still runs.
  EXPECT_EQ(ReadWholeFile(flash).substr(0x10, 4), "data");

  close(port);
  EXPECT_EQ(WaitExit(pid), 0);
  close(out[0]);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_EQ(ReadWholeFile(log),
            StringPrintf("rom head words=1024 variant=A checksum=0x%08x length=5000\n",
                         ImageChecksum(upload.image)) +
                "rom verdict O\nshell serialdown 0x10 4\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
