// Serial transfer benchmark: boot against stbsim on a pseudo-terminal.
//
// 1. Paced: stbsim --baud 115200, one serialdown of 1 MiB. The payload phase
//    runs from boot's "start to send data" line to the first output after its
//    "send all ok" line (the box's text after "~fin~", which the box sends only
//    when every byte has come over the paced line). Printed: that time against
//    the line's own time for the bytes (bytes / 11520 s); a tool that keeps
//    the line busy comes within 1 % of 1.0.
// 2. Unpaced: stbsim as fast as the terminal goes, one serialdown of 16 MiB.
//    Printed: the payload phase's throughput and boot's CPU time per MiB
//    (the CPU of a run with an empty file subtracted, which removes the start
//    and the loader upload).
//
// Usage: serial_bench [--paced-size BYTES] [--unpaced-size BYTES]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

struct Child {
  pid_t pid = -1;
  int out = -1;  // its standard output
};

// Starts argv[0] with its standard output on a pipe; `quiet` sends its
// standard error to /dev/null.
Child Spawn(const std::vector<std::string>& argv, const std::string& directory, bool quiet) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    std::perror("pipe");
    std::exit(2);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  Child child;
  if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0].c_str());
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  child.out = pipe_fds[0];
  return child;
}

// Reads the child's output until `done(output)` holds, or `limit` passes; the
// time at which the chunk that made it hold arrived.
template <typename Predicate>
std::optional<Clock::time_point> ReadUntil(const Child& child, std::string* out, Predicate done,
                                           std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  char buffer[65536];
  while (!done(*out)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd poller = {child.out, POLLIN, 0};
    if (poll(&poller, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t n = read(child.out, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    out->append(buffer, static_cast<size_t>(n));
  }
  return Clock::now();
}

std::optional<Clock::time_point> WaitFor(const Child& child, std::string* out,
                                         const std::string& text, std::chrono::seconds limit) {
  return ReadUntil(
      child, out, [&](const std::string& o) { return o.find(text) != std::string::npos; }, limit);
}

struct BoxRun {
  bool ok = false;
  double payload_seconds = 0;  // "start to send data" to the box's text after "~fin~"
  double until_send_ok = 0;    // "start to send data" to "send all ok"
  double cpu_seconds = 0;      // boot's user + system time
  std::string output;
};

class Box {
 public:
  Box(const std::string& stbsim, const std::string& flash, int baud, uint32_t flash_size) {
    std::vector<std::string> argv{stbsim, "--flash", flash, "--flash-size",
                                  std::to_string(flash_size)};
    if (baud > 0) {
      argv.push_back("--baud");
      argv.push_back(std::to_string(baud));
    }
    child_ = Spawn(argv, "", true);
    std::string out;
    if (!WaitFor(child_, &out, "\n", std::chrono::seconds(10))) {
      std::fprintf(stderr, "stbsim did not start\n");
      std::exit(2);
    }
    port_ = out.substr(0, out.find('\n'));
  }
  ~Box() {
    kill(child_.pid, SIGTERM);
    waitpid(child_.pid, nullptr, 0);
    close(child_.out);
  }
  const std::string& port() const { return port_; }

 private:
  Child child_;
  std::string port_;
};

BoxRun RunSerialDown(const std::string& boot, const std::string& port, const std::string& file,
                     const std::string& directory) {
  BoxRun run;
  Child child =
      Spawn({boot, "-m", "vk7301", "-d", port, "-c", "serialdown 0 " + file}, directory, false);
  const auto limit = std::chrono::seconds(600);
  auto start = WaitFor(child, &run.output, "start to send data", limit);
  std::optional<Clock::time_point> sent, finished;
  if (start) sent = WaitFor(child, &run.output, "send all ok", limit);
  if (sent) {
    // Any output after the result line is the box's text after "~fin~".
    finished = ReadUntil(
        child, &run.output,
        [](const std::string& o) {
          size_t line_end = o.find('\n', o.find("send all ok"));
          return line_end != std::string::npos && line_end + 1 < o.size();
        },
        limit);
  }
  // Drain the rest so that boot never blocks on a full pipe.
  char buffer[65536];
  while (read(child.out, buffer, sizeof buffer) > 0) {
  }
  close(child.out);
  int status = 0;
  rusage usage{};
  wait4(child.pid, &status, 0, &usage);
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && start && sent && finished;
  if (run.ok) {
    run.payload_seconds = Seconds(*finished - *start);
    run.until_send_ok = Seconds(*sent - *start);
  }
  return run;
}

void WritePattern(const std::string& path, size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

}  // namespace

int main(int argc, char** argv) {
  size_t paced_size = 1 << 20;
  size_t unpaced_size = 16 << 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--paced-size") == 0) paced_size = std::strtoul(argv[i + 1], 0, 0);
    if (std::strcmp(argv[i], "--unpaced-size") == 0) unpaced_size = std::strtoul(argv[i + 1], 0, 0);
  }
  signal(SIGPIPE, SIG_IGN);

  std::string directory = (std::filesystem::temp_directory_path() / "serial_bench-XXXXXX").string();
  if (mkdtemp(directory.data()) == nullptr) return 2;
  const std::string boot = BOOT_EXE, stbsim = STBSIM_EXE;
  int failures = 0;

  // 1. Paced at 115200 baud.
  {
    WritePattern(directory + "/paced.bin", paced_size);
    Box box(stbsim, directory + "/paced-flash.bin", 115200, 8u << 20);
    BoxRun run = RunSerialDown(boot, box.port(), "paced.bin", directory);
    const double line_seconds = static_cast<double>(paced_size) / 11520.0;
    if (!run.ok) {
      std::printf("serial paced: boot failed:\n%s\n", run.output.c_str());
      ++failures;
    } else {
      const double ratio = run.payload_seconds / line_seconds;
      std::printf(
          "serial paced 115200 baud, serialdown of %zu bytes: payload phase %.3f s, line time "
          "%.3f s, ratio %.4f (limit 1.0 +/- 0.01: %s); \"send all ok\" after %.3f s\n",
          paced_size, run.payload_seconds, line_seconds, ratio,
          ratio >= 0.99 && ratio <= 1.01 ? "within" : "OUTSIDE", run.until_send_ok);
    }
  }

  // 2. Unpaced: throughput and CPU time per MiB, the median of three runs (a
  //    run this short is easily disturbed by other work on the machine).
  {
    WritePattern(directory + "/unpaced.bin", unpaced_size);
    WritePattern(directory + "/empty.bin", 0);
    const uint32_t flash_size = static_cast<uint32_t>(std::max<size_t>(unpaced_size, 8 << 20));
    Box box(stbsim, directory + "/unpaced-flash.bin", 0, flash_size);
    std::vector<double> seconds, cpu;
    for (int round = 0; round < 3 && failures == 0; ++round) {
      BoxRun baseline = RunSerialDown(boot, box.port(), "empty.bin", directory);
      BoxRun run = RunSerialDown(boot, box.port(), "unpaced.bin", directory);
      if (!run.ok || !baseline.ok) {
        std::printf("serial unpaced: boot failed:\n%s\n", (run.ok ? baseline : run).output.c_str());
        ++failures;
      }
      seconds.push_back(run.payload_seconds);
      cpu.push_back(run.cpu_seconds - baseline.cpu_seconds);
    }
    if (failures == 0) {
      std::sort(seconds.begin(), seconds.end());
      std::sort(cpu.begin(), cpu.end());
      const double mebibytes = static_cast<double>(unpaced_size) / (1 << 20);
      std::printf(
          "serial unpaced, serialdown of %zu bytes (median of 3): payload phase %.3f s, "
          "%.1f MiB/s; boot CPU %.2f ms per MiB\n",
          unpaced_size, seconds[1], mebibytes / seconds[1], 1000.0 * cpu[1] / mebibytes);
    }
  }

  std::filesystem::remove_all(directory);
  return failures == 0 ? 0 : 1;
}
