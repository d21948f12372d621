#include "pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "signals.h"

namespace {

// A paced write that follows the previous one within this gap continues its
// stretch of line time.
constexpr std::chrono::microseconds kContinuingGap{2000};

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

int MillisecondsUntil(TimePoint deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

PtyTransport::PtyTransport(int baud) : send_pacer_(baud), receive_pacer_(baud) {}

PtyTransport::~PtyTransport() {
  RemoveLink();
  if (master_ >= 0) close(master_);
}

bool PtyTransport::Open(const std::string& link, std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) {
    *error = SystemError("cannot create a pseudo-terminal");
    return false;
  }
  char name[PATH_MAX];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    *error = SystemError("cannot prepare the pseudo-terminal");
    return false;
  }
  slave_path_ = name;
  int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    *error = SystemError("cannot open " + slave_path_);
    return false;
  }
  termios settings;
  bool raw = tcgetattr(slave, &settings) == 0;
  if (raw) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    raw = tcsetattr(slave, TCSANOW, &settings) == 0;
  }
  if (!raw) *error = SystemError("cannot set " + slave_path_ + " raw");
  close(slave);
  if (!raw) return false;

  if (!link.empty()) {
    struct stat existing;
    if (lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
      *error = "cannot make the link " + link + ": a file that is not a link is in the way";
      return false;
    }
    // Made beside the final name and renamed over it, so a stale link is
    // replaced in one step.
    std::string temporary = link + ".stbsim-new";
    unlink(temporary.c_str());
    if (symlink(slave_path_.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), link.c_str()) != 0) {
      *error = SystemError("cannot make the link " + link);
      unlink(temporary.c_str());
      return false;
    }
    link_ = link;
  }
  input_empty_since_ = SteadyClock::now();
  return true;
}

bool PtyTransport::PeerOpen() const {
  pollfd poller = {master_, 0, 0};
  return poll(&poller, 1, 0) >= 0 && (poller.revents & POLLHUP) == 0;
}

PtyTransport::ReadStatus PtyTransport::Read(uint8_t* buffer, size_t capacity, size_t* got,
                                            std::chrono::milliseconds timeout) {
  *got = 0;
  const TimePoint deadline = SteadyClock::now() + timeout;
  bool waited = false;
  for (;;) {
    if (StopRequested()) return ReadStatus::kStopped;
    pollfd poller = {master_, POLLIN, 0};
    int wait_ms = waited ? MillisecondsUntil(deadline) : 0;
    int ready = PollWithStop(&poller, 1, wait_ms);
    if (StopRequested()) return ReadStatus::kStopped;
    if (ready < 0) return ReadStatus::kHangup;
    if (ready == 0) {
      input_empty_since_ = SteadyClock::now();
      if (waited && input_empty_since_ >= deadline) return ReadStatus::kTimeout;
      waited = true;
      continue;
    }
    if (poller.revents & POLLIN) {
      // Bytes that turn up after a wait arrived just now.
      if (waited) input_empty_since_ = SteadyClock::now();
      size_t want =
          receive_pacer_.paced() ? std::min(capacity, receive_pacer_.step_bytes()) : capacity;
      ssize_t n = read(master_, buffer, want);
      if (n > 0) {
        if (receive_pacer_.paced()) {
          TimePoint arrived = receive_pacer_.Receive(static_cast<size_t>(n), input_empty_since_);
          if (static_cast<size_t>(n) < want) input_empty_since_ = SteadyClock::now();
          SleepUntil(arrived);
        }
        *got = static_cast<size_t>(n);
        return ReadStatus::kData;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return ReadStatus::kHangup;  // EIO: no slave open any more
    }
    if (poller.revents & (POLLHUP | POLLERR | POLLNVAL)) return ReadStatus::kHangup;
  }
}

bool PtyTransport::Write(const uint8_t* data, size_t size) {
  if (!send_pacer_.paced()) return WriteAll(data, size);
  while (size > 0) {
    size_t step = std::min(size, send_pacer_.step_bytes());
    // Bytes handed over right after the previous write keep the line busy,
    // however late that write was (a loaded machine); the schedule then
    // catches up instead of drifting.
    TimePoint now = SteadyClock::now();
    bool continuing = now - last_write_end_ < kContinuingGap;
    // The bytes reach the tool when the line has carried the last of them.
    SleepUntil(send_pacer_.Send(step, now, continuing));
    bool written = WriteAll(data, step);
    last_write_end_ = SteadyClock::now();
    if (!written) return false;
    data += step;
    size -= step;
  }
  return true;
}

bool PtyTransport::WriteAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (StopRequested() || !PeerOpen()) return false;
    ssize_t n = write(master_, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The tool is not reading yet: wait for room, a hang-up or a stop.
    pollfd poller = {master_, POLLOUT, 0};
    if (PollWithStop(&poller, 1, 100) < 0) return false;
    if (poller.revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
  }
  return true;
}

void PtyTransport::Discard() { tcflush(master_, TCIOFLUSH); }

void PtyTransport::RemoveLink() {
  if (link_.empty()) return;
  char target[PATH_MAX];
  ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
  if (n >= 0) {
    target[n] = '\0';
    if (slave_path_ == target) unlink(link_.c_str());
  }
  link_.clear();
}
