// Execution of tool commands: the shell line, the serial transfers that
// follow "serialdown", "serialdump" and the OTP "write" lines, the progress
// output and the prompt waits. The transfer protocol is in
// doc/serial-transfer.md.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "device/boot.h"

namespace {

// One progress item: three backspaces over the previous count, then the count.
void PrintCounter(int count) {
  std::printf("\b\b\b%02d%%", count);
  std::fflush(stdout);
}

// The buffer of a serial transfer, or null when memory ran out: then the
// tool's message is printed and the run is marked failed, and the caller
// skips the transfer and goes on with the next command.
std::unique_ptr<uint8_t[]> AllocateTransferBuffer(int32_t size, bool* soft_failure) {
  // At least one byte, so that an empty transfer is not taken for a failure.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[static_cast<size_t>(std::max(size, 1))]);
  if (!buffer) {
    std::printf("malloc failed. please check.\n");
    *soft_failure = true;
  }
  return buffer;
}

// Moves `size` bytes in pieces of `unit` bytes and a last, shorter piece
// (possibly empty), printing the progress count before each piece and 100
// after the last. `move(offset, length)` moves one piece; a failure ends the
// transfer there.
template <typename Move>
Status MoveInUnits(int32_t size, int32_t unit, Move move) {
  int64_t offset = 0;
  for (int count = 0;; ++count) {
    PrintCounter(count);
    const bool last = offset + unit > size;
    Status moved = move(offset, last ? static_cast<int>(size - offset) : unit);
    if (!moved.ok()) return moved;
    if (last) break;
    offset += unit;
  }
  PrintCounter(100);
  return Status::Ok();
}

Status StaTimeout() {
  return Status::Error("Failed to receive \"~sta~\" from stb in 3s, will EXIT_FAILURE\n");
}

Status FinTimeout() {
  return Status::Error("Failed to receive \"~fin~\" from stb in 3s, will EXIT_FAILURE\n");
}

}  // namespace

Status Boot::Command(const std::string& text, int wait) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) {
      Status status = RunOneCommand(text.substr(start, end - start), wait);
      if (!status.ok()) return status;
    }
    start = end + 1;
  }
  return Status::Ok();
}

Status Boot::RunOneCommand(const std::string& command, int wait) {
  TransferMode mode = TransferMode::kPlain;
  std::optional<std::string> line;
  Status parsed = cmd_parser(command, &mode, &line);
  if (!parsed.ok()) return parsed;
  if (mode == TransferMode::kDone) return Status::Ok();
  if (!line) return Status::Error("parse command error\n");

  if (mode == TransferMode::kSerialSend) return SendFile(*line, wait);
  if (mode == TransferMode::kSerialReceive) return ReceiveFile(*line, wait);
  Status sent = SendLine(*line);
  if (!sent.ok()) return sent;
  if (wait == 1) Wait("boot> ", 0);
  return Status::Ok();
}

Status Boot::SendLine(const std::string& line) {
  Status sent = WriteToBox(line.data(), static_cast<int>(line.size()));
  if (sent.ok() && (line.empty() || line.back() != '\n')) sent = WriteToBox("\n", 1);
  return sent;
}

Status Boot::SendFile(const std::string& line, int wait) {
  const std::string file_name = g_boot_info.file_name;
  const int32_t size = g_boot_info.size;

  int fd = open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status;
  if (fd >= 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(fd);
    fd = -1;
    errno = EISDIR;
  }
  if (fd < 0) {
    return Status::Error(
        StringPrintf("can't open file %s: %s\n", file_name.c_str(), ErrnoText(errno).c_str()));
  }
  std::unique_ptr<uint8_t[]> buffer = AllocateTransferBuffer(size, &soft_failure_);
  if (!buffer) {
    close(fd);
    return Status::Ok();
  }
  // What cannot be read is sent as erased flash rather than stale memory.
  std::memset(buffer.get(), 0xFF, static_cast<size_t>(size));
  int32_t read_bytes = 0;
  while (read_bytes < size) {
    ssize_t n = read(fd, buffer.get() + read_bytes, static_cast<size_t>(size - read_bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    read_bytes += static_cast<int32_t>(n);
  }
  close(fd);
  if (read_bytes < size) {
    std::printf("read file error.act read len=%x.\n", read_bytes);
    soft_failure_ = true;
  }

  std::printf("\n");
  std::fflush(stdout);
  Status sent = SendLine(line);
  if (!sent.ok()) return sent;
  if (Wait("~sta~", 3) != 0) return StaTimeout();

  std::printf("start to send data to stb board, please wait %ds.\n", size / 10000);
  const int32_t unit = size / 100 + 1;
  sent = MoveInUnits(size, unit, [&](int64_t offset, int length) {
    return WriteToBox(buffer.get() + offset, length);
  });
  if (!sent.ok()) return sent;
  std::printf("\nsend all ok. unit = %d, count = %d.\n", unit, size);
  std::fflush(stdout);

  if (Wait("~fin~", 3) != 0) return FinTimeout();
  if (wait == 1) Wait("boot> ", 0);
  return Status::Ok();
}

Status Boot::ReceiveFile(const std::string& line, int wait) {
  const std::string file_name = g_boot_info.file_name;
  const int32_t size = g_boot_info.size;

  int fd = open(file_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    return Status::Error(
        StringPrintf("can't create file %s: %s\n", file_name.c_str(), ErrnoText(errno).c_str()));
  }
  std::unique_ptr<uint8_t[]> buffer = AllocateTransferBuffer(size, &soft_failure_);
  if (!buffer) {
    close(fd);
    return Status::Ok();
  }

  Status sent = SendLine(line);
  if (!sent.ok()) {
    close(fd);
    return sent;
  }
  if (Wait("~sta~", 3) != 0) {
    close(fd);
    return StaTimeout();
  }
  std::printf("\nstart to recv data from stb board, please wait %ds.\n", size / 10000);
  const int32_t unit = size / 100 + 1;
  // Reading has no failure to report: BlockRead returns with its piece complete.
  static_cast<void>(MoveInUnits(size, unit, [&](int64_t offset, int length) {
    serial->BlockRead(buffer.get() + offset, length);
    return Status::Ok();
  }));
  std::printf("\nrecv all ok. unit = %d, count = %d. will write to file %s\n", unit, size,
              file_name.c_str());
  std::fflush(stdout);
  if (Wait("~fin~", 3) != 0) {
    close(fd);
    return FinTimeout();
  }

  int32_t written = 0;
  while (written < size) {
    ssize_t n = write(fd, buffer.get() + written, static_cast<size_t>(size - written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<int32_t>(n);
  }
  if (written < size) {
    std::printf("write file error.act write len=%x.\n", written);
    soft_failure_ = true;
  }
  if (close(fd) != 0) {
    std::printf("close file %s failed: %s\n", file_name.c_str(), ErrnoText(errno).c_str());
    soft_failure_ = true;
  }
  if (wait == 1) Wait("boot> ", 0);
  return Status::Ok();
}
