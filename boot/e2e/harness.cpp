#include "e2e/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int DecodeWaitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& directory, int* out_fd,
            int* err_fd) {
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (error != 0) throw std::runtime_error("cannot start " + argv[0]);
  *out_fd = out_pipe[0];
  *err_fd = err_pipe[0];
  return pid;
}

// Reads what is available on the two pipes, waiting at most `timeout_ms`.
// Closes a pipe (setting its descriptor to -1) at its end.
void ReadPipes(int* out_fd, int* err_fd, std::string* out, std::string* err, int timeout_ms) {
  pollfd fds[2] = {{*out_fd, POLLIN, 0}, {*err_fd, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) <= 0) return;
  char buffer[65536];
  int* descriptors[2] = {out_fd, err_fd};
  std::string* sinks[2] = {out, err};
  for (int i = 0; i < 2; ++i) {
    if (*descriptors[i] < 0 || fds[i].revents == 0) continue;
    ssize_t n = read(*descriptors[i], buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(n));
    } else {
      close(*descriptors[i]);
      *descriptors[i] = -1;
    }
  }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, Milliseconds limit,
                         const std::string& directory) {
  BackgroundProcess process(argv, directory);
  ProcessResult result;
  result.exit_code = process.Wait(limit);
  result.timed_out = result.exit_code == -1;
  if (result.timed_out) process.Terminate(Milliseconds(2000));
  result.out = process.out();
  result.err = process.err();
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::string& directory) {
  pid_ = Spawn(argv, directory, &out_fd_, &err_fd_);
}

BackgroundProcess::~BackgroundProcess() {
  if (!ended_) Terminate(Milliseconds(3000));
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void BackgroundProcess::Drain(int timeout_ms) {
  // poll() ignores negative descriptors, so a closed pipe simply stays quiet.
  if (out_fd_ >= 0 || err_fd_ >= 0) ReadPipes(&out_fd_, &err_fd_, &out_, &err_, timeout_ms);
}

bool BackgroundProcess::WaitForOutput(const std::string& text, Milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (out_.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    if (out_fd_ < 0) return false;
    Drain(static_cast<int>(left));
  }
  return true;
}

int BackgroundProcess::Wait(Milliseconds limit) {
  if (ended_) return exit_code_;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      ended_ = true;
      exit_code_ = DecodeWaitStatus(status);
      // Collect what is still in the pipes; children of the process may hold
      // them open, so this is bounded too.
      const auto drain_deadline = Clock::now() + Milliseconds(2000);
      while ((out_fd_ >= 0 || err_fd_ >= 0) && Clock::now() < drain_deadline) Drain(50);
      return exit_code_;
    }
    auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return -1;
    if (out_fd_ >= 0 || err_fd_ >= 0) {
      Drain(static_cast<int>(std::min<long>(left, 20)));
    } else {
      usleep(5000);  // pipes closed but the process not reaped yet
    }
  }
}

int BackgroundProcess::Terminate(Milliseconds limit) {
  if (ended_) return exit_code_;
  kill(pid_, SIGTERM);
  int code = Wait(limit);
  if (code == -1) {
    kill(pid_, SIGKILL);
    code = Wait(Milliseconds(5000));
  }
  return code;
}

SimulatedBox::SimulatedBox(const std::vector<std::string>& options)
    : process_([&] {
        std::vector<std::string> argv{StbsimExe()};
        argv.insert(argv.end(), options.begin(), options.end());
        return argv;
      }()) {
  if (!process_.WaitForOutput("\n", Milliseconds(10000))) {
    throw std::runtime_error("stbsim did not print its terminal: " + process_.err());
  }
  port_ = process_.out().substr(0, process_.out().find('\n'));
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavrin-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> TranscriptLines(const std::string& path, const std::string& prefix) {
  std::istringstream in(ReadFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string PatternBytes(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

std::string BootExe() { return BOOT_EXE; }
std::string StbsimExe() { return STBSIM_EXE; }
