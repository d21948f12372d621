#include "net/tftp_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/tftp_packet.h"

namespace {

using namespace std::string_literals;

// A TFTP client made of a raw UDP socket on 127.0.0.1. Every wait is bounded.
class RawClient {
 public:
  RawClient() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = Address(0);
    bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t length = sizeof local;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
    port_ = ntohs(local.sin_port);
  }
  ~RawClient() { close(fd_); }

  void SendTo(uint16_t port, const std::string& bytes) {
    sockaddr_in to = Address(port);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }

  // The next datagram and the port it came from, or nullopt after `limit`.
  std::optional<std::string> Receive(std::chrono::milliseconds limit, uint16_t* from = nullptr) {
    pollfd descriptor = {fd_, POLLIN, 0};
    if (poll(&descriptor, 1, static_cast<int>(limit.count())) <= 0) return std::nullopt;
    char buffer[70000];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t got =
        recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (got < 0) return std::nullopt;
    if (from) *from = ntohs(sender.sin_port);
    return std::string(buffer, static_cast<size_t>(got));
  }

  uint16_t port() const { return port_; }

 private:
  static sockaddr_in Address(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }

  int fd_;
  uint16_t port_ = 0;
};

std::string Request(uint16_t opcode, const std::string& name, const std::string& mode,
                    const std::string& options = "") {
  return std::string{'\0', static_cast<char>(opcode)} + name + '\0' + mode + '\0' + options;
}

std::string Ack(uint16_t block) {
  return std::string{'\0', '\4', static_cast<char>(block >> 8), static_cast<char>(block & 0xFF)};
}

constexpr auto kReplyLimit = std::chrono::milliseconds(3000);

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

class TftpServerTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tftp_server_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    param_.port = 0;  // any free port: tests must not clash with a real run on 2000
    Status started = tftpd_start(&param_);
    ASSERT_TRUE(started.ok()) << started.message();
    ASSERT_NE(param_.port, 0);
  }
  void TearDown() override {
    tftpd_stop(&param_);
    EXPECT_EQ(param_.thread, nullptr);
    tftp_forget_files();
    std::filesystem::remove_all(dir_);
  }

  // A file of this run (registered, as the translation of a netdown does).
  std::string BoxFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    tftp_allow_file(path);
    return path;
  }

  uint16_t port() const { return static_cast<uint16_t>(param_.port); }

  // A whole read transfer, acknowledging the OACK and every block: the DATA
  // payloads, with the OACK in `oack`. Fails the test on anything unexpected.
  std::vector<std::string> Fetch(RawClient& client, const std::string& name,
                                 const std::string& mode, const std::string& options,
                                 std::string* oack,
                                 std::chrono::milliseconds first_reply_limit = kReplyLimit) {
    std::vector<std::string> payloads;
    client.SendTo(port(), Request(kTftpRrq, name, mode, options));
    uint16_t transfer_port = 0;
    std::optional<std::string> reply = client.Receive(first_reply_limit, &transfer_port);
    EXPECT_TRUE(reply.has_value());
    if (!reply) return payloads;
    EXPECT_NE(transfer_port, port());  // each transfer has a socket of its own
    *oack = *reply;
    // The announced block size: the digits after "\0\6blksize\0".
    const size_t block_size = oack->size() > 10 ? std::stoul(oack->substr(10)) : 512;
    client.SendTo(transfer_port, Ack(0));
    for (uint16_t block = 1;; ++block) {
      reply = client.Receive(kReplyLimit);
      EXPECT_TRUE(reply.has_value()) << "block " << block;
      if (!reply) return payloads;
      EXPECT_EQ(reply->substr(0, 4), "\0\3"s + char(block >> 8) + char(block & 0xFF));
      payloads.push_back(reply->substr(4));
      client.SendTo(transfer_port, Ack(block));
      if (payloads.size() > 1000) return payloads;  // the test's own bound
      if (payloads.back().size() < block_size) return payloads;
    }
  }

  std::string dir_;
  tftpd_param param_;
};

TEST_F(TftpServerTest, AnswersEveryReadRequestWithAnOackThenLockStepData) {
  struct Case {
    std::string name;
    std::string bytes;
    std::string mode;
    std::string options;
    std::string oack;
    std::vector<size_t> blocks;
  } cases[] = {
      {"plain.bin",
       std::string(600, 'p'),
       "octet",
       "",
       "\0\6blksize\0"
       "512"s,
       {512, 88}},
      {"empty.bin",
       "",
       "octet",
       "",
       "\0\6blksize\0"
       "512"s,
       {0}},
      {"exact.bin",
       std::string(512, 'e'),
       "OcTeT",
       "",
       "\0\6blksize\0"
       "512"s,
       {512, 0}},
      {"big.bin",
       std::string(2000, 'b'),
       "octet",
       "BLKSIZE\0"
       "1024\0"s,
       "\0\6blksize\0"
       "1024"s,
       {1024, 976}},
      // Out-of-range block sizes are taken as the nearest bound, and announced.
      {"tiny.bin",
       std::string(10, 't'),
       "octet",
       "blksize\0"
       "0\0"s,
       "\0\6blksize\0"
       "8"s,
       {8, 2}},
      {"huge.bin",
       std::string(10, 'h'),
       "octet",
       "blksize\0"
       "100000\0"s,
       "\0\6blksize\0"
       "65464"s,
       {10}},
      {"lines.txt",
       std::string(512, '\n'),
       "netascii",
       "",
       "\0\6blksize\0"
       "512"s,
       {512, 512, 0}},
  };
  RawClient client;
  int descriptors = OpenDescriptors();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = BoxFile(c.name, c.bytes);
    std::string oack;
    std::vector<std::string> payloads = Fetch(client, path, c.mode, c.options, &oack);
    EXPECT_EQ(oack, c.oack);
    ASSERT_EQ(payloads.size(), c.blocks.size());
    std::string joined;
    for (size_t i = 0; i < payloads.size(); ++i) {
      EXPECT_EQ(payloads[i].size(), c.blocks[i]);
      joined += payloads[i];
    }
    if (c.mode == "netascii") {
      EXPECT_EQ(joined.substr(0, 4), "\r\n\r\n");
    } else {
      EXPECT_EQ(joined, c.bytes);
    }
  }
  // The transfer socket and the file are closed once the last ACK is in.
  auto deadline = std::chrono::steady_clock::now() + kReplyLimit;
  while (OpenDescriptors() != descriptors && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(TftpServerTest, RefusesBadRequestsAndKeepsServing) {
  std::string good = BoxFile("good.bin", "fine");
  std::string missing = dir_ + "/missing.bin";
  tftp_allow_file(missing);
  RawClient client;
  testing::internal::CaptureStdout();

  // A missing file: OACK, then ERROR 1 with the system's text.
  client.SendTo(port(), Request(kTftpRrq, missing, "octet"));
  uint16_t transfer_port = 0;
  EXPECT_EQ(client.Receive(kReplyLimit, &transfer_port),
            "\0\6blksize\0"
            "512"s);
  client.SendTo(transfer_port, Ack(0));
  EXPECT_EQ(client.Receive(kReplyLimit), "\0\5\0\1No such file or directory\0"s);

  // Files nobody named to the box: ERROR 2 at once.
  for (const std::string& name : {"/etc/passwd"s, "../etc/passwd"s, "a/../../x"s}) {
    client.SendTo(port(), Request(kTftpRrq, name, "octet"));
    EXPECT_EQ(client.Receive(kReplyLimit), "\0\5\0\2Permission denied\0"s) << name;
  }

  // A bad mode: ERROR 4.
  client.SendTo(port(), Request(kTftpRrq, good, "mail"));
  EXPECT_EQ(client.Receive(kReplyLimit), "\0\5\0\4invalid mode\0"s);

  // A write request and datagrams that are no requests get no answer.
  client.SendTo(port(), Request(kTftpWrq, "upload.bin", "octet"));
  client.SendTo(port(), Ack(1));
  client.SendTo(port(), "x"s);
  EXPECT_EQ(client.Receive(std::chrono::milliseconds(500)), std::nullopt);

  // The server still serves.
  std::string oack;
  std::vector<std::string> payloads = Fetch(client, good, "octet", "", &oack);
  ASSERT_EQ(payloads.size(), 1u);
  EXPECT_EQ(payloads[0], "fine");

  std::string from = StringPrintf("127.0.0.1:%u", client.port());
  std::string expected =
      "No Found file: " + missing + "\n" + "tftp: refused to serve /etc/passwd to " + from +
      ": not a file of this run\n" + "tftp: refused to serve ../etc/passwd to " + from +
      ": not a file of this run\n" + "tftp: refused to serve a/../../x to " + from +
      ": not a file of this run\n" +
      StringPrintf("mail==netascii?%d\nmail==octet?%d\n", strcasecmp("mail", "netascii"),
                   strcasecmp("mail", "octet")) +
      "tftp: refused the request of " + from + " for " + good + ": invalid mode\n" +
      "tftp: ignored a datagram from " + from + " that is not a request\n" +
      "tftp: ignored a datagram from " + from + " that is not a request\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

TEST_F(TftpServerTest, ALostAckIsAnsweredByAResendAfterFiveSeconds) {
  std::string path = BoxFile("slow.bin", std::string(700, 's'));
  RawClient client;
  testing::internal::CaptureStdout();
  client.SendTo(port(), Request(kTftpRrq, path, "octet"));
  uint16_t transfer_port = 0;
  ASSERT_TRUE(client.Receive(kReplyLimit, &transfer_port));
  client.SendTo(transfer_port, Ack(0));
  std::optional<std::string> first = client.Receive(kReplyLimit);
  ASSERT_TRUE(first);
  // No ACK: the same block comes again once the 5 s time-out has passed.
  auto start = std::chrono::steady_clock::now();
  std::optional<std::string> again = client.Receive(std::chrono::milliseconds(8000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));
  EXPECT_EQ(again, first);
  client.SendTo(transfer_port, Ack(1));
  std::optional<std::string> last = client.Receive(kReplyLimit);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->size(), 4u + 188u);
  client.SendTo(transfer_port, Ack(2));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "retrying 8 more times.\n");
}

TEST_F(TftpServerTest, AStrayClientThatGoesSilentOnlyCostsALine) {
  // A relative name inside the working directory is served to anyone, but
  // its failure does not end the run.
  std::string previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::ofstream("local.bin") << "local";
  RawClient client;
  testing::internal::CaptureStdout();
  client.SendTo(port(), Request(kTftpRrq, "local.bin", "octet"));
  EXPECT_EQ(client.Receive(kReplyLimit),
            "\0\6blksize\0"
            "512"s);
  // ... and never answered. The next request waits in the listening socket
  // until the server has given up on this one (5 s), and is then served.
  std::string oack;
  std::vector<std::string> payloads =
      Fetch(client, "local.bin", "octet", "", &oack, std::chrono::milliseconds(9000));
  std::filesystem::current_path(previous);
  ASSERT_EQ(payloads.size(), 1u);
  EXPECT_EQ(payloads[0], "local");
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      StringPrintf("tftp: gave up sending local.bin to 127.0.0.1:%u: no reply\n", client.port()));
}

TEST(TftpServerDeathTest, ASilentBoxEndsTheRunWithTimeoutExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  char pattern[] = "/tmp/tftp_server_death.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string path = std::string(pattern) + "/app.bin";
  std::ofstream(path) << "app";
  EXPECT_EXIT(
      {
        dup2(2, 1);  // so that the stdout line can be matched
        tftp_allow_file(path);
        tftpd_param param;
        param.port = 0;
        if (!tftpd_start(&param).ok()) std::exit(3);
        RawClient client;
        client.SendTo(static_cast<uint16_t>(param.port), Request(kTftpRrq, path, "octet"));
        // The OACK goes unanswered: the server thread ends the process.
        client.Receive(std::chrono::milliseconds(20000));
        std::this_thread::sleep_for(std::chrono::milliseconds(20000));
        std::exit(4);
      },
      testing::ExitedWithCode(1), "timeout exit\n");
  std::filesystem::remove_all(pattern);
}

TEST(StartTftpServerTest, ATakenPortFailsOnlyARunThatNeedsTheServer) {
  tftpd_param holder;
  holder.port = 0;
  ASSERT_TRUE(tftpd_start(&holder).ok());

  tftpd_param needed;
  needed.port = holder.port;
  Status failed = StartTftpServer(&needed, true);
  EXPECT_EQ(failed.message(), "listen bind: Address already in use\n");
  EXPECT_EQ(failed.stream(), Status::Stream::kStderr);
  EXPECT_EQ(needed.thread, nullptr);

  tftpd_param optional;
  optional.port = holder.port;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(StartTftpServer(&optional, false).ok());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            StringPrintf("Warning: no TFTP server on port %d (listen bind: Address already in "
                         "use); this run has no network download and goes on.\n",
                         holder.port));
  EXPECT_EQ(optional.thread, nullptr);
  tftpd_stop(&optional);  // harmless without a server
  tftpd_stop(&holder);
}

TEST(CommandsNeedTftpServerTest, LooksForNetworkDownloads) {
  struct Case {
    std::string text;
    bool needed;
  } cases[] = {
      {"", false},
      {" serialdown 0 app.bin", false},
      {"serialdown 0 bootloader.bin; flash eraseall", false},
      {"serialdump 0 100 netdown.bin", false},
      {"netdown 0 app.bin", true},
      {"flash erase 0 0x100;  download 0 app.bin", true},
      {"run app.bin", true},
      {"boot app.bin", true},
      {"bootp app.bin", true},
      {"'netdown' 0 x", true},
      {"load_conf_down parts.conf serialdown", false},
      {"load_conf_down parts.conf netdown", true},
      {"load_conf_down merged.bin usbdown /usb", false},
      {"usbdown 0 app.bin", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandsNeedTftpServer(c.text), c.needed) << c.text;
  }
}

TEST(TftpMayServeTest, ServesRegisteredFilesAndRelativeNamesInsideTheWorkingDirectory) {
  char pattern[] = "/tmp/tftp_may_serve.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string root = pattern;
  std::filesystem::create_directories(root + "/work/sub");
  std::ofstream(root + "/work/sub/in.bin") << "in";
  std::ofstream(root + "/outside.bin") << "out";
  std::filesystem::create_symlink(root + "/outside.bin", root + "/work/link.bin");
  std::string previous = std::filesystem::current_path();
  std::filesystem::current_path(root + "/work");
  tftp_allow_file(root + "/outside.bin");

  struct Case {
    std::string name;
    bool served;
  } cases[] = {
      {"sub/in.bin", true},
      {"./sub/../sub/in.bin", true},
      {"missing.bin", true},          // served as far as the policy goes: ERROR 1 follows
      {root + "/outside.bin", true},  // registered
      {"../outside.bin", false},
      {"sub/../../outside.bin", false},
      {root + "/work/sub/in.bin", false},  // absolute and not registered
      {"link.bin", false},                 // a symbolic link leading out
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(tftp_may_serve(c.name), c.served) << c.name;
  EXPECT_TRUE(tftp_file_registered(root + "/outside.bin"));
  EXPECT_FALSE(tftp_file_registered("sub/in.bin"));

  std::filesystem::current_path(previous);
  tftp_forget_files();
  std::filesystem::remove_all(root);
}

}  // namespace
