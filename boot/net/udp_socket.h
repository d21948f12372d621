#pragma once

// UDP over IPv4 for the TFTP server. A transfer talks to its client through
// the small `UdpSocket` interface, so that the protocol code can be driven by
// a fake in tests; the listening socket and the real transfer sockets are
// platform code (udp_socket_posix.cpp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "util/status.h"

// A client's address and port, both in host byte order.
struct UdpPeer {
  uint32_t address = 0;
  uint16_t port = 0;

  // "a.b.c.d:port", for messages.
  std::string ToString() const;
};

// What one wait for a datagram brought.
struct UdpReceived {
  enum class Kind { kDatagram, kTimeout, kError };
  Kind kind = Kind::kTimeout;
  size_t length = 0;  // bytes stored (a longer datagram is cut to the buffer)
  int error = 0;      // the error number for kError
};

// A datagram socket connected to one peer. Used by one thread at a time.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;
  // Sends one datagram to the peer: 0, or the error number.
  virtual int Send(const uint8_t* data, size_t length) = 0;
  // Waits for one datagram from the peer, at most as long as the socket's
  // receive time-out.
  virtual UdpReceived Receive(uint8_t* buffer, size_t capacity) = 0;
};

// Opens a socket bound to any local address and a port the system chooses,
// connected to `peer`, whose receives time out after `timeout_seconds`.
// Failures carry the failing step ("handler socket", "handler bind",
// "connect", "setsockopt") and the system's text, as perror prints them.
Status OpenTransferSocket(const UdpPeer& peer, int timeout_seconds,
                          std::unique_ptr<UdpSocket>* socket);

// The server's listening socket, bound to any local address. Owned by the
// server thread once the server runs.
class UdpListener {
 public:
  ~UdpListener();
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  // Binds to `port` (0: the system chooses). Failures carry "listen socket"
  // or "listen bind" and the system's text, as perror prints them.
  static Status Open(uint16_t port, std::unique_ptr<UdpListener>* listener);

  // The port actually bound.
  uint16_t port() const { return port_; }
  // True when a datagram is waiting; waits at most `timeout_ms`.
  bool WaitReadable(int timeout_ms);
  // Takes one datagram (cut to `capacity`) and its sender; does not wait
  // when none is there.
  UdpReceived ReceiveFrom(uint8_t* buffer, size_t capacity, UdpPeer* sender);

 private:
  UdpListener(intptr_t handle, uint16_t port) : handle_(handle), port_(port) {}

  intptr_t handle_;
  uint16_t port_;
};
