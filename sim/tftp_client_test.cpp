#include "tftp_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "coding.h"

namespace {

using std::chrono::milliseconds;

// A UDP endpoint on 127.0.0.1 that plays the PC's server, one packet at a
// time, from a script running in its own thread. Every wait is bounded.
class Endpoint {
 public:
  Endpoint() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Endpoint() { close(fd_); }
  uint16_t port() const { return port_; }

  // The next datagram, or "" after 5 s; `peer_` becomes its sender.
  std::string Receive(int timeout_ms = 5000) {
    pollfd poller = {fd_, POLLIN, 0};
    if (poll(&poller, 1, timeout_ms) <= 0) return "";
    char buffer[70000];
    socklen_t length = sizeof peer_;
    ssize_t n =
        recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer_), &length);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
  }
  void SendTo(const std::string& packet, const sockaddr_in& to) {
    sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  void Reply(const std::string& packet) { SendTo(packet, peer_); }
  const sockaddr_in& peer() const { return peer_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  sockaddr_in peer_ = {};
};

std::string Op(uint16_t opcode, uint16_t number) {
  uint8_t bytes[4];
  EncodeBigEndian16(bytes, opcode);
  EncodeBigEndian16(bytes + 2, number);
  return std::string(reinterpret_cast<char*>(bytes), 4);
}
std::string Data(uint16_t block, const std::string& bytes) { return Op(3, block) + bytes; }
std::string Ack(uint16_t block) { return Op(4, block); }
std::string Oack(const std::string& value) {
  return std::string("\0\6blksize\0", 10) + value;  // no NUL after the value
}

std::string FileBytes(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; i++) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

FetchRequest Request(uint16_t port, uint32_t blksize = 0, uint64_t limit = 1 << 30) {
  FetchRequest request;
  request.server = "127.0.0.1";
  request.port = port;
  request.file = "app.bin";
  request.blksize = blksize;
  request.limit = limit;
  return request;
}

// Serves `file` lock-step from a transfer endpoint of its own, as the boot
// tool's server does: an OACK for the request, then DATA blocks whose
// numbers are the low 16 bits of the counter. Records problems in `failure`.
void Serve(Endpoint& listen, const std::string& file, const std::string& oack_value,
           uint32_t block_size, std::string* rrq, std::string* failure) {
  *rrq = listen.Receive();
  Endpoint transfer;
  transfer.SendTo(Oack(oack_value), listen.peer());
  if (transfer.Receive() != Ack(0)) {
    *failure = "no ACK 0 for the OACK";
    return;
  }
  for (uint32_t counter = 1;; counter++) {
    size_t offset = size_t{counter - 1} * block_size;
    std::string block = file.substr(std::min(offset, file.size()), block_size);
    transfer.Reply(Data(static_cast<uint16_t>(counter), block));
    if (transfer.Receive() != Ack(static_cast<uint16_t>(counter))) {
      *failure = "wrong ACK for block " + std::to_string(counter);
      return;
    }
    if (block.size() < block_size) return;
  }
}

TEST(TftpClientTest, AsksForTheBlockSizeAndTakesAnOackWithoutTrailingNul) {
  Endpoint server;
  const std::string file = FileBytes(2500);
  std::string rrq, failure;
  std::thread script(Serve, std::ref(server), file, "1024", 1024, &rrq, &failure);
  uint64_t last_progress = 0;
  FetchResult result = TftpClient().Fetch(Request(server.port(), 1024),
                                          [&](uint64_t bytes) { last_progress = bytes; });
  script.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(rrq, std::string("\0\1app.bin\0octet\0blksize\0"
                             "1024\0",
                             29));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(std::string(result.data.begin(), result.data.end()), file);
  EXPECT_EQ(last_progress, 2500u);
}

TEST(TftpClientTest, DefaultBlockSizeAndAFileEndingOnABlockBoundary) {
  Endpoint server;
  const std::string file = FileBytes(1024);
  std::string rrq, failure;
  std::thread script(Serve, std::ref(server), file, "512", 512, &rrq, &failure);
  FetchResult result = TftpClient().Fetch(Request(server.port()), nullptr);
  script.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(rrq, std::string("\0\1app.bin\0octet\0", 16));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.data.size(), 1024u);
}

TEST(TftpClientTest, BlockNumbersWrapAt65536) {
  Endpoint server;
  const std::string file = FileBytes(65540 * 8 + 3);  // 65541 blocks of 8 bytes
  std::string rrq, failure;
  std::thread script(Serve, std::ref(server), file, "8", 8, &rrq, &failure);
  FetchResult result = TftpClient().Fetch(Request(server.port(), 8), nullptr);
  script.join();
  EXPECT_EQ(failure, "");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(std::string(result.data.begin(), result.data.end()) == file);
}

TEST(TftpClientTest, ServerWithoutOptionsDuplicatesAndStrangers) {
  Endpoint server;
  std::string failure;
  std::thread script([&] {
    server.Receive();
    Endpoint transfer;
    Endpoint stranger;
    transfer.SendTo(Data(1, std::string(512, 'a')), server.peer());  // no OACK
    if (transfer.Receive() != Ack(1)) failure += "ack 1;";
    transfer.Reply(Data(1, std::string(512, 'a')));  // a duplicate is acknowledged again
    if (transfer.Receive() != Ack(1)) failure += "re-ack 1;";
    stranger.SendTo(Data(2, "zz"), server.peer());  // not the server's transfer port
    std::string refused = stranger.Receive();
    if (refused.substr(0, 4) != Op(5, 5)) failure += "no ERROR 5 for the stranger;";
    transfer.Reply(Data(2, "bc"));
    if (transfer.Receive() != Ack(2)) failure += "ack 2;";
  });
  FetchResult result = TftpClient().Fetch(Request(server.port()), nullptr);
  script.join();
  EXPECT_EQ(failure, "");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(std::string(result.data.begin(), result.data.end()), std::string(512, 'a') + "bc");
}

TEST(TftpClientTest, Failures) {
  {
    Endpoint server;
    std::thread script([&] {
      server.Receive();
      Endpoint transfer;
      transfer.SendTo(std::string("\0\5\0\1No such file or directory\0", 31), server.peer());
    });
    FetchResult result = TftpClient().Fetch(Request(server.port()), nullptr);
    script.join();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "TFTP error 1 from 127.0.0.1:" + std::to_string(server.port()) +
                                ": No such file or directory");
  }
  {
    // Too big for the box: the server hears ERROR 3.
    Endpoint server;
    std::string answer;
    std::thread script([&] {
      server.Receive();
      Endpoint transfer;
      transfer.SendTo(Oack("512"), server.peer());
      transfer.Receive();
      transfer.Reply(Data(1, std::string(512, 'x')));
      transfer.Receive();
      transfer.Reply(Data(2, std::string(512, 'x')));
      answer = transfer.Receive();
    });
    FetchResult result = TftpClient().Fetch(Request(server.port(), 0, 1000), nullptr);
    script.join();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "app.bin is larger than the 1000 bytes the box can take");
    EXPECT_EQ(answer.substr(0, 4), Op(5, 3));
  }
  {
    // Silence: the request is sent again, then the fetch gives up.
    Endpoint server;
    int requests = 0;
    std::thread script([&] {
      while (!server.Receive(300).empty()) requests++;
    });
    FetchResult result =
        TftpClient({milliseconds(20), 3, milliseconds(100)}).Fetch(Request(server.port()), nullptr);
    script.join();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "no answer from 127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(requests, 4);
  }
  {
    // A server that stops in the middle: the client waits for its resends,
    // within a limit.
    Endpoint server;
    std::thread script([&] {
      server.Receive();
      Endpoint transfer;
      transfer.SendTo(Oack("512"), server.peer());
      transfer.Receive();
      transfer.Reply(Data(1, std::string(512, 'x')));
      transfer.Receive();
    });
    FetchResult result =
        TftpClient({milliseconds(20), 3, milliseconds(100)}).Fetch(Request(server.port()), nullptr);
    script.join();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "the transfer from 127.0.0.1:" + std::to_string(server.port()) +
                                " stalled after 512 bytes");
  }
}

}  // namespace
