#include "tftp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "coding.h"
#include "signals.h"
#include "string_printf.h"

namespace {

enum Opcode : uint16_t { kRrq = 1, kData = 3, kAck = 4, kError = 5, kOack = 6 };

constexpr uint32_t kDefaultBlockSize = 512;
constexpr uint32_t kMinBlockSize = 8;
constexpr uint32_t kMaxBlockSize = 65464;

std::string Packet(uint16_t opcode) {
  std::string packet(2, '\0');
  EncodeBigEndian16(reinterpret_cast<uint8_t*>(packet.data()), opcode);
  return packet;
}

std::string Ack(uint16_t block) {
  std::string packet = Packet(kAck) + std::string(2, '\0');
  EncodeBigEndian16(reinterpret_cast<uint8_t*>(packet.data()) + 2, block);
  return packet;
}

std::string ErrorPacket(uint16_t code, const std::string& message) {
  std::string packet = Packet(kError) + std::string(2, '\0') + message + '\0';
  EncodeBigEndian16(reinterpret_cast<uint8_t*>(packet.data()) + 2, code);
  return packet;
}

// The block size an OACK names; 512 when it names none, 0 when the value is
// unusable. Strings are NUL-separated; the last one may lack its NUL.
uint32_t OackBlockSize(const uint8_t* options, size_t length) {
  std::vector<std::string> strings;
  size_t at = 0;
  while (at < length) {
    const void* nul = std::memchr(options + at, '\0', length - at);
    size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - options) : length;
    strings.emplace_back(reinterpret_cast<const char*>(options + at), end - at);
    at = end + 1;
  }
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (strcasecmp(strings[i].c_str(), "blksize") != 0) continue;
    const std::string& value = strings[i + 1];
    if (value.empty() || value.size() > 5 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      return 0;
    }
    uint32_t size = static_cast<uint32_t>(std::stoul(value));
    return size >= kMinBlockSize && size <= kMaxBlockSize ? size : 0;
  }
  return kDefaultBlockSize;
}

class Transfer {
 public:
  Transfer(const FetchRequest& request, const TftpClient::Timing& timing,
           const std::function<void(uint64_t)>& progress)
      : request_(request), timing_(timing), progress_(progress) {}
  ~Transfer() {
    if (socket_ >= 0) close(socket_);
  }

  FetchResult Run();

 private:
  bool Fail(const std::string& error) {
    result_.ok = false;
    result_.error = error;
    return false;
  }
  std::string Peer() const { return StringPrintf("%s:%u", request_.server.c_str(), request_.port); }
  bool Send(const std::string& packet, const sockaddr_in& to);
  // Handles one datagram from the server's transfer port; false when the
  // transfer ended (result_ says how).
  bool Handle(const uint8_t* packet, size_t length);

  const FetchRequest& request_;
  const TftpClient::Timing& timing_;
  const std::function<void(uint64_t)>& progress_;
  FetchResult result_;
  int socket_ = -1;
  sockaddr_in server_ = {};  // where requests go; the transfer port once known
  bool tid_known_ = false;
  sockaddr_in listen_ = {};     // the server's request port
  std::string request_packet_;  // resent on silence
  uint32_t block_size_ = kDefaultBlockSize;
  uint16_t expected_ = 1;  // the next DATA block, modulo 65536
  bool started_ = false;   // an OACK or DATA arrived
  bool done_ = false;
  bool progressed_ = false;  // the last packet handled moved the transfer on
};

bool Transfer::Send(const std::string& packet, const sockaddr_in& to) {
  for (;;) {
    ssize_t n = sendto(socket_, packet.data(), packet.size(), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n >= 0) return true;
    if (errno != EINTR) return Fail("cannot send to " + Peer() + ": " + std::strerror(errno));
  }
}

FetchResult Transfer::Run() {
  server_.sin_family = AF_INET;
  server_.sin_port = htons(request_.port);
  if (inet_pton(AF_INET, request_.server.c_str(), &server_.sin_addr) != 1) {
    Fail("'" + request_.server + "' is not an IPv4 address");
    return result_;
  }
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    Fail(std::string("cannot make a UDP socket: ") + std::strerror(errno));
    return result_;
  }
  std::string request = Packet(kRrq) + request_.file + '\0' + "octet" + '\0';
  if (request_.blksize != 0) {
    request += "blksize" + std::string(1, '\0') + std::to_string(request_.blksize) + '\0';
  }
  request_packet_ = request;
  listen_ = server_;
  if (!Send(request, listen_)) return result_;

  std::vector<uint8_t> buffer(kMaxBlockSize + 4 + 1);
  int requests_sent = 1;
  TimePoint deadline = SteadyClock::now() + timing_.request_retry;
  while (!done_) {
    if (StopRequested()) {
      Fail("stopped");
      break;
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) {
      if (started_) {
        Fail(StringPrintf("the transfer from %s stalled after %zu bytes", Peer().c_str(),
                          result_.data.size()));
        break;
      }
      if (requests_sent > timing_.request_retries) {
        Fail("no answer from " + Peer());
        break;
      }
      if (!Send(request_packet_, listen_)) break;
      requests_sent++;
      deadline = SteadyClock::now() + timing_.request_retry;
      continue;
    }
    pollfd poller = {socket_, POLLIN, 0};
    if (PollWithStop(&poller, 1, static_cast<int>(left.count())) <= 0) continue;
    sockaddr_in from = {};
    socklen_t from_length = sizeof from;
    ssize_t n = recvfrom(socket_, buffer.data(), buffer.size(), 0,
                         reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n < 0) {
      // ECONNREFUSED and the like come from ICMP: keep listening until the
      // time runs out.
      continue;
    }
    const bool from_server = from.sin_addr.s_addr == server_.sin_addr.s_addr &&
                             (!tid_known_ || from.sin_port == server_.sin_port);
    if (!from_server) {
      Send(ErrorPacket(5, "unknown transfer ID"), from);
      continue;
    }
    if (!tid_known_) {
      server_.sin_port = from.sin_port;  // the server answers from its transfer port
      tid_known_ = true;
    }
    progressed_ = false;
    if (!Handle(buffer.data(), static_cast<size_t>(n))) break;
    if (progressed_) deadline = SteadyClock::now() + timing_.stall_limit;
  }
  if (done_) result_.ok = true;
  return result_;
}

bool Transfer::Handle(const uint8_t* packet, size_t length) {
  if (length < 2) return true;
  const uint16_t opcode = DecodeBigEndian16(packet);
  switch (opcode) {
    case kOack: {
      if (started_) return true;  // a repeated OACK: ACK 0 went out already
      block_size_ = OackBlockSize(packet + 2, length - 2);
      if (block_size_ == 0) {
        Send(ErrorPacket(8, "bad blksize"), server_);
        return Fail("the server's option acknowledgement from " + Peer() +
                    " names an unusable block size");
      }
      started_ = true;
      progressed_ = true;
      return Send(Ack(0), server_);
    }
    case kData: {
      if (length < 4) return true;
      const uint16_t block = DecodeBigEndian16(packet + 2);
      const size_t size = length - 4;
      if (!started_) {
        block_size_ = kDefaultBlockSize;  // the server took no options
        started_ = true;
        progressed_ = true;
      }
      if (block == static_cast<uint16_t>(expected_ - 1)) {
        return Send(Ack(block), server_);  // our ACK was lost: say it again
      }
      if (block != expected_) return true;
      if (size > block_size_) {
        Send(ErrorPacket(4, "block larger than the block size"), server_);
        return Fail(StringPrintf("block %u from %s carries %zu bytes, more than the block size %u",
                                 block, Peer().c_str(), size, block_size_));
      }
      if (result_.data.size() + size > request_.limit) {
        Send(ErrorPacket(3, "disk full or allocation exceeded"), server_);
        return Fail(StringPrintf("%s is larger than the %llu bytes the box can take",
                                 request_.file.c_str(),
                                 static_cast<unsigned long long>(request_.limit)));
      }
      result_.data.insert(result_.data.end(), packet + 4, packet + length);
      progressed_ = true;
      if (!Send(Ack(block), server_)) return false;
      expected_++;
      if (progress_) progress_(result_.data.size());
      if (size < block_size_) done_ = true;
      return true;
    }
    case kError: {
      uint16_t code = length >= 4 ? DecodeBigEndian16(packet + 2) : 0;
      std::string message;
      if (length > 4) {
        const char* text = reinterpret_cast<const char*>(packet + 4);
        message.assign(text, strnlen(text, length - 4));
      }
      return Fail(StringPrintf("TFTP error %u from %s: %s", code, Peer().c_str(), message.c_str()));
    }
    default:
      return true;
  }
}

}  // namespace

FetchResult TftpClient::Fetch(const FetchRequest& request,
                              const std::function<void(uint64_t)>& progress) {
  Transfer transfer(request, timing_, progress);
  return transfer.Run();
}
