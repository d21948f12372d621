// TFTP throughput on 127.0.0.1: busybox tftp fetches one file from our
// server (started in this process, serving the bench directory) and from
// tftpd-hpa (in.tftpd, when installed) at several block sizes. Prints the
// median throughput of each, their ratio (goal: at least 1.0 at every size)
// and the CPU time our server thread spends per MiB.
//
// Usage: tftp_bench [--mib N] [--runs N]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/tftp_server.h"
#include "net/thread.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFileName = "bench.bin";
constexpr auto kRunLimit = std::chrono::seconds(300);

pid_t Spawn(const std::vector<std::string>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for the child at most `limit`; its exit code, or -1 (then killed).
// Blocks on a process descriptor: waking up to poll would disturb the
// lock-step timing of the server thread in this process.
int WaitChild(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd descriptor = {pidfd, POLLIN, 0};
    int ready = poll(&descriptor, 1, static_cast<int>(limit.count()));
    close(pidfd);
    if (ready <= 0) kill(pid, SIGKILL);
  }
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One fetch with busybox tftp: the seconds it took, or nullopt on failure.
std::optional<double> Fetch(uint16_t port, int block_size, const std::string& local) {
  auto start = Clock::now();
  pid_t pid = Spawn({"busybox", "tftp", "-g", "-b", std::to_string(block_size), "-r", kFileName,
                     "-l", local, "127.0.0.1", std::to_string(port)});
  if (pid < 0 || WaitChild(pid, kRunLimit) != 0) return std::nullopt;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ThreadCpuSeconds(pthread_t thread) {
  clockid_t clock;
  timespec now{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0) return 0;
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

uint16_t FreePort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::optional<std::string> FindTftpdHpa() {
  for (const char* path : {"/usr/sbin/in.tftpd", "/sbin/in.tftpd"}) {
    if (access(path, X_OK) == 0) return std::string(path);
  }
  return std::nullopt;
}

struct Measurement {
  std::vector<double> seconds;
  std::vector<double> cpu_seconds;  // of our server thread; ours only
  bool failed = false;

  double MegabytesPerSecond(size_t bytes) const {
    return static_cast<double>(bytes) / 1e6 / Median(seconds);
  }
  double CpuMillisecondsPerMib(size_t bytes) const {
    return Median(cpu_seconds) * 1000 / (static_cast<double>(bytes) / (1 << 20));
  }
};

// One fetch into a file whose size is checked, outside the measurement.
bool Verify(uint16_t port, int block_size, size_t bytes, const std::string& dir) {
  const std::string local = dir + "/fetched.bin";
  std::error_code error;
  bool fetched = Fetch(port, block_size, local).has_value() &&
                 std::filesystem::file_size(local, error) == bytes;
  std::filesystem::remove(local, error);
  return fetched;
}

// One measured fetch (to /dev/null) into `measurement`.
void MeasureOnce(uint16_t port, int block_size, std::optional<pthread_t> server,
                 Measurement* measurement) {
  if (measurement->failed) return;
  double cpu_before = server ? ThreadCpuSeconds(*server) : 0;
  std::optional<double> took = Fetch(port, block_size, "/dev/null");
  if (!took) {
    measurement->failed = true;
    return;
  }
  if (server) measurement->cpu_seconds.push_back(ThreadCpuSeconds(*server) - cpu_before);
  measurement->seconds.push_back(*took);
}

}  // namespace

int main(int argc, char** argv) {
  int mib = 64;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--mib") == 0) mib = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
  }
  if (mib <= 0 || runs <= 0) {
    std::fprintf(stderr, "usage: tftp_bench [--mib N] [--runs N]\n");
    return 2;
  }

  // The directory is world-readable: tftpd-hpa drops its rights to nobody.
  char pattern[] = "/tmp/tftp_bench.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  chmod(dir.c_str(), 0755);
  const size_t bytes = static_cast<size_t>(mib) << 20;
  {
    std::vector<char> data(bytes);
    std::mt19937 random(1);
    for (size_t i = 0; i < bytes; i += 4) {
      uint32_t value = random();
      std::memcpy(&data[i], &value, std::min<size_t>(4, bytes - i));
    }
    std::ofstream(dir + "/" + kFileName, std::ios::binary).write(data.data(), data.size());
    chmod((dir + "/" + kFileName).c_str(), 0644);
  }

  // Our server serves the working directory's relative names.
  if (chdir(dir.c_str()) != 0) return 1;
  tftpd_param ours;
  ours.port = 0;
  Status started = tftpd_start(&ours);
  if (!started.ok()) {
    std::fputs(started.message().c_str(), stderr);
    return 1;
  }
  pthread_t server_thread = ours.thread->handle.native_handle();

  std::optional<std::string> tftpd_hpa = FindTftpdHpa();
  uint16_t their_port = 0;
  pid_t their_pid = -1;
  if (tftpd_hpa) {
    their_port = FreePort();
    their_pid =
        Spawn({*tftpd_hpa, "-L", "-s", dir, "-a", "127.0.0.1:" + std::to_string(their_port)});
    // Ready once a small fetch succeeds.
    std::ofstream(dir + "/ready") << "ready";
    chmod((dir + "/ready").c_str(), 0644);
    bool ready = false;
    for (int attempt = 0; attempt < 50 && !ready; ++attempt) {
      pid_t probe = Spawn({"busybox", "tftp", "-g", "-r", "ready", "-l", "/dev/null", "127.0.0.1",
                           std::to_string(their_port)});
      ready = probe > 0 && WaitChild(probe, std::chrono::seconds(5)) == 0;
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ready) {
      std::fprintf(stderr, "tftpd-hpa did not answer; measuring ours only\n");
      tftpd_hpa.reset();
    }
  }

  std::printf("TFTP fetch of a %d MiB file on 127.0.0.1 with busybox tftp, median of %d runs\n",
              mib, runs);
  std::printf("%-7s %12s %16s %8s %16s\n", "blksize", "ours MB/s", "tftpd-hpa MB/s", "ratio",
              "our CPU ms/MiB");
  int status = 0;
  bool all_met = true;
  for (int block_size : {512, 1428, 8192}) {
    // Ours and theirs take turns, so that both see the same load on the machine.
    Measurement our;
    Measurement their;
    our.failed = !Verify(static_cast<uint16_t>(ours.port), block_size, bytes, dir);
    if (tftpd_hpa) their.failed = !Verify(their_port, block_size, bytes, dir);
    for (int run = 0; run < runs; ++run) {
      MeasureOnce(static_cast<uint16_t>(ours.port), block_size, server_thread, &our);
      if (tftpd_hpa) MeasureOnce(their_port, block_size, std::nullopt, &their);
    }
    if (our.failed) {
      std::printf("%-7d fetch from our server failed\n", block_size);
      status = 1;
      continue;
    }
    if (tftpd_hpa && !their.failed) {
      double ratio = our.MegabytesPerSecond(bytes) / their.MegabytesPerSecond(bytes);
      all_met = all_met && ratio >= 1.0;
      std::printf("%-7d %12.1f %16.1f %8.2f %16.2f\n", block_size, our.MegabytesPerSecond(bytes),
                  their.MegabytesPerSecond(bytes), ratio, our.CpuMillisecondsPerMib(bytes));
    } else {
      std::printf("%-7d %12.1f %16s %8s %16.2f\n", block_size, our.MegabytesPerSecond(bytes),
                  tftpd_hpa ? "failed" : "-", "-", our.CpuMillisecondsPerMib(bytes));
    }
    std::fflush(stdout);
  }
  if (tftpd_hpa) {
    std::printf("goal ratio >= 1.0 at every block size: %s\n", all_met ? "met" : "NOT met");
  } else {
    std::printf("tftpd-hpa (in.tftpd) not installed: no peer measured\n");
  }

  if (their_pid > 0) {
    kill(their_pid, SIGTERM);
    WaitChild(their_pid, std::chrono::seconds(5));
  }
  tftpd_stop(&ours);
  std::filesystem::remove_all(dir);
  return status;
}
