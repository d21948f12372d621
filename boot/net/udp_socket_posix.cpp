#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "net/udp_socket.h"

namespace {

// The text perror prints for `what` and the current error number.
Status SocketError(const char* what) {
  return Status::Error(StringPrintf("%s: %s\n", what, ErrnoText(errno).c_str()),
                       Status::Stream::kStderr);
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in socket_address{};
  socket_address.sin_family = AF_INET;
  socket_address.sin_addr.s_addr = htonl(address);
  socket_address.sin_port = htons(port);
  return socket_address;
}

UdpReceived ReceiveResult(ssize_t received, size_t capacity) {
  UdpReceived result;
  if (received >= 0) {
    result.kind = UdpReceived::Kind::kDatagram;
    // MSG_TRUNC makes recv report the whole datagram's length.
    result.length =
        static_cast<size_t>(received) < capacity ? static_cast<size_t>(received) : capacity;
  } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
    result.kind = UdpReceived::Kind::kTimeout;
  } else {
    result.kind = UdpReceived::Kind::kError;
    result.error = errno;
  }
  return result;
}

class PosixUdpSocket : public UdpSocket {
 public:
  explicit PosixUdpSocket(int fd) : fd_(fd) {}
  ~PosixUdpSocket() override { close(fd_); }

  int Send(const uint8_t* data, size_t length) override {
    while (send(fd_, data, length, 0) < 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }

  UdpReceived Receive(uint8_t* buffer, size_t capacity) override {
    ssize_t received;
    do {
      received = recv(fd_, buffer, capacity, MSG_TRUNC);
    } while (received < 0 && errno == EINTR);
    return ReceiveResult(received, capacity);
  }

 private:
  int fd_;
};

}  // namespace

std::string UdpPeer::ToString() const {
  in_addr in{};
  in.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &in, text, sizeof text);
  return StringPrintf("%s:%u", text, static_cast<unsigned>(port));
}

Status OpenTransferSocket(const UdpPeer& peer, int timeout_seconds,
                          std::unique_ptr<UdpSocket>* socket_out) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("handler socket");
  auto owned = std::make_unique<PosixUdpSocket>(fd);
  sockaddr_in local = MakeAddress(INADDR_ANY, 0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    return SocketError("handler bind");
  }
  sockaddr_in remote = MakeAddress(peer.address, peer.port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    return SocketError("connect");
  }
  timeval timeout{};
  timeout.tv_sec = timeout_seconds;
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    return SocketError("setsockopt");
  }
  *socket_out = std::move(owned);
  return Status::Ok();
}

UdpListener::~UdpListener() { close(static_cast<int>(handle_)); }

Status UdpListener::Open(uint16_t port, std::unique_ptr<UdpListener>* listener) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("listen socket");
  sockaddr_in local = MakeAddress(INADDR_ANY, port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    Status failed = SocketError("listen bind");
    close(fd);
    return failed;
  }
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  listener->reset(new UdpListener(fd, ntohs(local.sin_port)));
  return Status::Ok();
}

bool UdpListener::WaitReadable(int timeout_ms) {
  pollfd descriptor = {static_cast<int>(handle_), POLLIN, 0};
  return poll(&descriptor, 1, timeout_ms) > 0 && (descriptor.revents & POLLIN) != 0;
}

UdpReceived UdpListener::ReceiveFrom(uint8_t* buffer, size_t capacity, UdpPeer* sender) {
  sockaddr_in from{};
  socklen_t length = sizeof from;
  ssize_t received;
  do {
    received = recvfrom(static_cast<int>(handle_), buffer, capacity, MSG_TRUNC | MSG_DONTWAIT,
                        reinterpret_cast<sockaddr*>(&from), &length);
  } while (received < 0 && errno == EINTR);
  sender->address = ntohl(from.sin_addr.s_addr);
  sender->port = ntohs(from.sin_port);
  return ReceiveResult(received, capacity);
}
