#pragma once

// Helpers for the end-to-end tests: real processes, real files, a simulated
// box on a pseudo-terminal. Every wait here has a bound.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

using Milliseconds = std::chrono::milliseconds;

struct ProcessResult {
  int exit_code = -1;      // the exit status, or 128 + signal
  bool timed_out = false;  // killed because it outlived its bound
  std::string out;         // standard output
  std::string err;         // standard error
};

// Runs argv[0] (a path) with the arguments, no standard input, in `directory`
// when it is not empty, and waits at most `limit` for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, Milliseconds limit,
                         const std::string& directory = "");

// A child process running beside the test, its standard output read on demand.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv, const std::string& directory = "");
  ~BackgroundProcess();  // SIGTERM, then SIGKILL after a bound
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Reads standard output until it holds `text` or `limit` passes; true when found.
  bool WaitForOutput(const std::string& text, Milliseconds limit);
  // Waits for the process to end; its exit code, or -1 when it did not end in time.
  int Wait(Milliseconds limit);
  // Sends SIGTERM and waits for the end.
  int Terminate(Milliseconds limit);
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  pid_t pid() const { return pid_; }

 private:
  void Drain(int timeout_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int exit_code_ = -1;
  bool ended_ = false;
  std::string out_;
  std::string err_;
};

// stbsim on a pseudo-terminal; `port()` is the terminal's path for boot -d.
class SimulatedBox {
 public:
  explicit SimulatedBox(const std::vector<std::string>& options = {});
  const std::string& port() const { return port_; }
  BackgroundProcess& process() { return process_; }

 private:
  BackgroundProcess process_;
  std::string port_;
};

// A fresh directory below the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
// The lines of the stbsim transcript at `path` that start with `prefix`
// ("shell ", "rom head ", ...), without the prefix, in order.
std::vector<std::string> TranscriptLines(const std::string& path, const std::string& prefix);
void WriteFile(const std::string& path, const std::string& bytes);
// Deterministic test bytes of the given length.
std::string PatternBytes(size_t length, unsigned seed = 1);

// Paths of the built programs.
std::string BootExe();
std::string StbsimExe();
