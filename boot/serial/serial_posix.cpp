// The serial port on POSIX systems (termios). Reads are driven by poll() with
// a deadline so that the time-out rule of Serial holds exactly; writes loop
// until every byte has been handed to the driver.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "serial/device_name.h"
#include "serial/serial.h"

namespace {

using Clock = std::chrono::steady_clock;

speed_t BaudConstant(int baud_rate) {
  switch (baud_rate) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return B0;
  }
}

// Opens `path` for exclusive use. TIOCEXCL keeps other programs out of a
// terminal but does not stop root, so an advisory lock is taken as well; a
// port that either refuses is "in use". Returns the descriptor or -1 with
// errno set.
int OpenExclusive(const std::string& path) {
  // O_NONBLOCK so that a modem line without carrier cannot block the open.
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno == EWOULDBLOCK ? EBUSY : errno;
    close(fd);
    errno = error;
    return -1;
  }
  ioctl(fd, TIOCEXCL);  // fails only for what is not a terminal; Config reports that
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

class PosixSerial : public Serial {
 public:
  ~PosixSerial() override { Close(); }

  Status Open(const char* device) override {
    if (device == nullptr) return Probe();
    std::string path;
    Status resolved = ResolveDeviceName(device, &path);
    if (!resolved.ok()) return resolved;
    int fd = OpenExclusive(path);
    if (fd < 0) {
      int error = errno;
      std::string message = StringPrintf("open serial %s failed, please check.\n", device);
      if (error == EACCES || error == EPERM) {
        message += StringPrintf(
            "no permission to use %s: add your user to the dialout group "
            "(sudo adduser $USER dialout) and log in again.\n",
            path.c_str());
      }
      return Status::Error(message);
    }
    Adopt(fd, path);
    return Status::Ok();
  }

  bool Close() override {
    if (fd_ < 0) return false;
    ioctl(fd_, TIOCNXCL);  // a pseudo-terminal keeps the flag while its other side lives
    bool closed = close(fd_) == 0;
    fd_ = -1;
    return closed;
  }

  bool Config(int baud_rate, int data_bits, int stop_bits, char parity) override {
    if (!ApplyLine(fd_, baud_rate, data_bits, stop_bits, parity)) return false;
    return setTimeouts(read_timeout_, write_timeout_);
  }

  bool setTimeouts(int read_timeout_seconds, int write_timeout_seconds) override {
    read_timeout_ = read_timeout_seconds;
    write_timeout_ = write_timeout_seconds;
    return fd_ >= 0;
  }

  int Read(void* buffer, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(10LL * count) +
                          std::chrono::seconds(read_timeout_);
    auto* bytes = static_cast<unsigned char*>(buffer);
    int got = 0;
    while (got < count) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd poller = {fd_, POLLIN, 0};
      int ready = poll(&poller, 1, static_cast<int>(std::min<long long>(left, 60000)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) continue;  // the deadline is checked above
      ssize_t n = read(fd_, bytes + got, static_cast<size_t>(count - got));
      if (n > 0) {
        got += static_cast<int>(n);
      } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        continue;
      } else {
        // Hang-up or error: nothing more can arrive before the deadline.
        // Sleep it out rather than spin on a descriptor that stays ready.
        SleepUntil(deadline);
        break;
      }
    }
    return got;
  }

  int BlockRead(void* buffer, int count) override {
    if (count <= 0) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    int got = 0;
    while (got < count) got += Read(bytes + got, count - got);
    return count;
  }

  int Write(const void* buffer, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    int written = 0;
    while (written < count) {
      ssize_t n = write(fd_, bytes + written, static_cast<size_t>(count - written));
      if (n > 0) {
        written += static_cast<int>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno == EAGAIN) {
        pollfd poller = {fd_, POLLOUT, 0};
        poll(&poller, 1, -1);
      } else {
        break;
      }
    }
    return written;
  }

  const char* port_name() const override { return port_name_; }

 private:
  // Without a name: the first usual device that opens and takes the line
  // settings (a /dev/ttyS without a UART behind it fails one or the other).
  Status Probe() {
    if (fd_ >= 0) return Status::Ok();
    for (const std::string& path : ProbedDeviceNames()) {
      int fd = OpenExclusive(path);
      if (fd < 0) continue;
      if (!ApplyLine(fd, 115200, 8, 1, 'N')) {
        close(fd);
        continue;
      }
      Adopt(fd, path);
      return Status::Ok();
    }
    return Status::Error("open serial error.\n", Status::Stream::kStderr);
  }

  void Adopt(int fd, const std::string& path) {
    Close();
    fd_ = fd;
    std::snprintf(port_name_, sizeof port_name_, "%s", path.c_str());
  }

  // Raw bytes, the given framing, no flow control of any kind. Reads are
  // non-blocking at the driver (VMIN = VTIME = 0); Read waits with poll().
  static bool ApplyLine(int fd, int baud_rate, int data_bits, int stop_bits, char parity) {
    speed_t speed = BaudConstant(baud_rate);
    termios line;
    if (fd < 0 || speed == B0 || tcgetattr(fd, &line) != 0) return false;
    cfmakeraw(&line);
    line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    switch (data_bits) {
      case 5:
        line.c_cflag |= CS5;
        break;
      case 6:
        line.c_cflag |= CS6;
        break;
      case 7:
        line.c_cflag |= CS7;
        break;
      case 8:
        line.c_cflag |= CS8;
        break;
      default:
        return false;
    }
    if (stop_bits == 2) line.c_cflag |= CSTOPB;
    switch (parity) {
      case 'N':
      case 'n':
        break;
      case 'E':
      case 'e':
        line.c_cflag |= PARENB;
        break;
      case 'O':
      case 'o':
        line.c_cflag |= PARENB | PARODD;
        break;
      default:
        return false;
    }
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0) return false;
    return tcsetattr(fd, TCSANOW, &line) == 0;
  }

  static void SleepUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return;
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec pause = {static_cast<time_t>(nanoseconds / 1000000000),
                      static_cast<long>(nanoseconds % 1000000000)};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
  }

  int fd_ = -1;
  char port_name_[kMaxPortNameLength + 1] = "";
  int read_timeout_ = 15;  // seconds
  int write_timeout_ = 0;  // seconds; 0 means no limit
};

}  // namespace

std::unique_ptr<Serial> CreatePlatformSerial() { return std::make_unique<PosixSerial>(); }
