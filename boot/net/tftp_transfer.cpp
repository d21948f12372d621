#include "net/tftp_transfer.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "coding.h"
#include "util/status.h"

namespace {

// Reads a file in large chunks so that a transfer costs one read() per chunk
// rather than one per block.
class ChunkedReader {
 public:
  explicit ChunkedReader(int fd) : fd_(fd), chunk_(kChunkSize) {}
  ~ChunkedReader() { close(fd_); }
  ChunkedReader(const ChunkedReader&) = delete;
  ChunkedReader& operator=(const ChunkedReader&) = delete;

  // Copies up to `wanted` bytes; fewer only at the end of the file. -1 on a
  // read error, with errno set.
  ssize_t Read(uint8_t* out, size_t wanted) {
    size_t copied = 0;
    while (copied < wanted) {
      if (begin_ == end_) {
        if (end_of_file_) break;
        ssize_t got = read(fd_, chunk_.data(), chunk_.size());
        if (got < 0) {
          if (errno == EINTR) continue;
          return -1;
        }
        if (got == 0) end_of_file_ = true;
        begin_ = 0;
        end_ = static_cast<size_t>(got);
        continue;
      }
      size_t step = std::min(wanted - copied, end_ - begin_);
      std::memcpy(out + copied, chunk_.data() + begin_, step);
      begin_ += step;
      copied += step;
    }
    return static_cast<ssize_t>(copied);
  }

 private:
  static constexpr size_t kChunkSize = 256 * 1024;
  int fd_;
  std::vector<uint8_t> chunk_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool end_of_file_ = false;
};

// The blocks of a file in transfer order: octet blocks are the file's bytes;
// netascii blocks are the converted bytes, where line feeds grow into CR LF
// and what does not fit a block goes in front of the next, which then reads
// that much less.
class BlockSource {
 public:
  BlockSource(int fd, size_t block_size, bool netascii)
      : reader_(fd),
        block_size_(block_size),
        netascii_(netascii),
        raw_(netascii ? block_size : 0),
        converted_(netascii ? 2 * block_size : 0),
        carry_(netascii ? block_size : 0) {}

  // Writes the next block (at most block_size bytes) to `payload`: its
  // length, or -1 on a read error with errno set.
  ssize_t Next(uint8_t* payload) {
    if (!netascii_) return reader_.Read(payload, block_size_);
    ssize_t got = reader_.Read(raw_.data(), block_size_ - carry_length_);
    if (got < 0) return -1;
    std::memcpy(converted_.data(), carry_.data(), carry_length_);
    size_t total = carry_length_ + NetasciiExpand(raw_.data(), static_cast<size_t>(got),
                                                  converted_.data() + carry_length_);
    size_t length = std::min(total, block_size_);
    std::memcpy(payload, converted_.data(), length);
    carry_length_ = total - length;
    std::memcpy(carry_.data(), converted_.data() + length, carry_length_);
    return static_cast<ssize_t>(length);
  }

 private:
  ChunkedReader reader_;
  size_t block_size_;
  bool netascii_;
  // All buffers are made once per transfer, none per block.
  std::vector<uint8_t> raw_;
  std::vector<uint8_t> converted_;
  std::vector<uint8_t> carry_;
  size_t carry_length_ = 0;
};

// Opens a regular file for reading: the descriptor, or -1 with errno set.
// Anything else (a directory, a pipe that would block the server, a device
// without end) is refused.
int OpenRegularFile(const std::string& name) {
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

uint16_t ErrorCodeFor(int error) {
  if (error == ENOENT) return 1;
  if (error == EACCES) return 2;
  return static_cast<uint16_t>(100 + error);
}

TransferResult SendFailed(int error) { return {TransferResult::Kind::kSendFailed, error}; }

}  // namespace

int send_error(uint16_t code, const char* message, UdpSocket* socket) {
  tftp_packet_t packet;
  packet.opcode = kTftpError;
  packet.error_code = code;
  packet.message = message;
  std::vector<uint8_t> bytes = prepare_packet(packet);
  return socket->Send(bytes.data(), bytes.size());
}

TransferResult send_oack(const char* options, uint32_t length, UdpSocket* socket) {
  tftp_packet_t packet;
  packet.opcode = kTftpOack;
  packet.options = options;
  packet.options_length = length;
  std::vector<uint8_t> bytes = prepare_packet(packet);
  if (int error = socket->Send(bytes.data(), bytes.size())) return SendFailed(error);
  // Any datagram counts as the reply; the client is expected to ACK block 0.
  uint8_t reply[10];
  if (socket->Receive(reply, sizeof reply).kind != UdpReceived::Kind::kDatagram) {
    return {TransferResult::Kind::kTimedOut};
  }
  return {TransferResult::Kind::kComplete};
}

std::string BlockSizeOption(int32_t block_size) {
  return StringPrintf("%s%c%d", "blksize", '\0', block_size);
}

TransferResult send_file(const tftp_packet_t& request, UdpSocket* socket, std::FILE* out) {
  const std::string& name = request.file_name;
  int fd = OpenRegularFile(name);
  if (fd < 0) {
    int error = errno;
    if (int failed = send_error(ErrorCodeFor(error), ErrnoText(error).c_str(), socket)) {
      return SendFailed(failed);
    }
    std::fprintf(out, "No Found file: %s\n", name.c_str());
    std::fflush(out);
    return {TransferResult::Kind::kFileError};
  }
  const size_t block_size =
      static_cast<size_t>(std::clamp(request.block_size, kTftpMinBlockSize, kTftpMaxBlockSize));
  BlockSource source(fd, block_size, strcasecmp(request.mode.c_str(), "netascii") == 0);
  // Two packet buffers: while the client handles one block, the next one is
  // read into the other, so that an ACK is answered at once.
  std::vector<uint8_t> packets[2] = {std::vector<uint8_t>(4 + block_size),
                                     std::vector<uint8_t>(4 + block_size)};
  ssize_t lengths[2] = {source.Next(packets[0].data() + 4), 0};
  int read_error = errno;
  uint8_t reply[10];

  for (uint32_t counter = 1;; ++counter) {
    const int current = (counter - 1) & 1;
    if (lengths[current] < 0) break;
    const size_t length = static_cast<size_t>(lengths[current]);
    uint8_t* packet = packets[current].data();
    EncodeBigEndian16(packet, kTftpData);
    // The block number on the wire is the counter's low 16 bits, and ACKs
    // are compared in 16 bits too, so files beyond 65535 blocks complete.
    const uint16_t block = static_cast<uint16_t>(counter);
    EncodeBigEndian16(packet + 2, block);

    bool next_read = length < block_size;  // a short block is the last
    int retries = 0;
    for (;;) {
      UdpReceived received;
      int send_failure = socket->Send(packet, 4 + length);
      if (!next_read) {
        lengths[1 - current] = source.Next(packets[1 - current].data() + 4);
        if (lengths[1 - current] < 0) read_error = errno;
        next_read = true;
      }
      if (send_failure != 0) {
        received.kind = UdpReceived::Kind::kError;
        received.error = send_failure;
      } else {
        received = socket->Receive(reply, sizeof reply);
      }
      if (received.kind != UdpReceived::Kind::kDatagram) {
        // A failed send or receive (the client's port gone) counts like a
        // time-out, so that a vanished client cannot keep the server busy.
        if (retries == kTftpResends) return {TransferResult::Kind::kTimedOut};
        std::fprintf(out, "retrying %d more times.\n", kTftpResends - retries);
        std::fflush(out);
        ++retries;
        continue;
      }
      // Anything but the ACK of this block (a duplicate ACK, an ERROR from
      // the client) makes the block go out again at once, uncounted.
      if (received.length >= 4 && DecodeBigEndian16(reply) == kTftpAck &&
          DecodeBigEndian16(reply + 2) == block) {
        break;
      }
    }
    if (length < block_size) return {TransferResult::Kind::kComplete};
  }

  // Reading failed in the middle: say so rather than end the file short.
  const int error = read_error;
  if (int failed = send_error(ErrorCodeFor(error), ErrnoText(error).c_str(), socket)) {
    return SendFailed(failed);
  }
  std::fprintf(out, "read file %s failed: %s\n", name.c_str(), ErrnoText(error).c_str());
  std::fflush(out);
  return {TransferResult::Kind::kFileError};
}
