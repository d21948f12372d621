// The POSIX port against a real pseudo-terminal: this test holds the master
// side and plays the box.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "serial/serial.h"

namespace {

using Clock = std::chrono::steady_clock;

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
  }
  ~PseudoTerminal() {
    if (master_ >= 0) close(master_);
  }
  const std::string& path() const { return path_; }

  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads `count` bytes, waiting at most 10 s in all.
  std::string Receive(size_t count) {
    std::string bytes;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    char buffer[65536];
    while (bytes.size() < count && Clock::now() < deadline) {
      pollfd poller = {master_, POLLIN, 0};
      if (poll(&poller, 1, 100) <= 0) continue;
      ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n <= 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
  }

 private:
  int master_ = -1;
  std::string path_;
};

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class SerialPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(box_.path().empty());
    Status opened = port_->Open(box_.path().c_str());
    ASSERT_TRUE(opened.ok()) << opened.message();
    ASSERT_TRUE(port_->Config(115200, 8, 1, 'N'));
  }

  PseudoTerminal box_;
  std::unique_ptr<Serial> port_ = CreatePlatformSerial();
};

TEST_F(SerialPosixTest, ReadFollowsTheTimeOutRule) {
  char buffer[16] = {};

  // n bytes in: back at once, long before the 15 s of the first configuration.
  box_.Send("abcd");
  auto start = Clock::now();
  ASSERT_EQ(port_->Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_LT(MillisecondsSince(start), 5000);

  // Fewer bytes than asked: what arrived, after 10 ms a byte (read time-out 0).
  ASSERT_TRUE(port_->setTimeouts(0, 0));
  box_.Send("xy");
  start = Clock::now();
  ASSERT_EQ(port_->Read(buffer, 10), 2);
  EXPECT_EQ(std::string(buffer, 2), "xy");
  EXPECT_GE(MillisecondsSince(start), 100);

  // Nothing: 0 after 10 ms + 1 s.
  ASSERT_TRUE(port_->setTimeouts(1, 0));
  start = Clock::now();
  EXPECT_EQ(port_->Read(buffer, 1), 0);
  long waited = MillisecondsSince(start);
  EXPECT_GE(waited, 1010);
  EXPECT_LT(waited, 3000);
}

TEST_F(SerialPosixTest, BlockReadCollectsBurstsAndReadsNothingForZero) {
  ASSERT_TRUE(port_->setTimeouts(0, 0));  // each Read gives up quickly between bursts
  const std::string data = std::string(300, 'a') + std::string(300, 'b') + std::string(400, 'c');
  std::thread box([&] {
    box_.Send(data.substr(0, 300));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    box_.Send(data.substr(300, 300));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    box_.Send(data.substr(600));
  });
  std::string received(1000, '\0');
  EXPECT_EQ(port_->BlockRead(received.data(), 1000), 1000);
  box.join();
  EXPECT_EQ(received, data);

  box_.Send("z");
  char byte = 0;
  EXPECT_EQ(port_->BlockRead(&byte, 0), 0);
  ASSERT_EQ(port_->Read(&byte, 1), 1);
  EXPECT_EQ(byte, 'z');
}

TEST_F(SerialPosixTest, PassesEveryByteValueUnchangedBothWays) {
  const std::string bytes = AllByteValues();  // CR, LF, XON, XOFF, ^C, DEL, ...
  box_.Send(bytes);
  std::string received(bytes.size(), '\0');
  EXPECT_EQ(port_->BlockRead(received.data(), static_cast<int>(received.size())), 256);
  EXPECT_EQ(received, bytes);

  EXPECT_EQ(port_->Write(bytes.data(), static_cast<int>(bytes.size())), 256);
  EXPECT_EQ(box_.Receive(bytes.size()), bytes);
}

TEST_F(SerialPosixTest, WriteHandsOverLargeBuffersCompletely) {
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  std::string received;
  std::thread box([&] { received = box_.Receive(bytes.size()); });
  EXPECT_EQ(port_->Write(bytes.data(), static_cast<int>(bytes.size())), 300000);
  box.join();
  EXPECT_EQ(received, bytes);
}

TEST_F(SerialPosixTest, APortInUseIsRefusedUntilReleased) {
  std::unique_ptr<Serial> second = CreatePlatformSerial();
  Status refused = second->Open(box_.path().c_str());
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.message(), "open serial " + box_.path() + " failed, please check.\n");

  port_.reset();
  Status opened = second->Open(box_.path().c_str());
  EXPECT_TRUE(opened.ok()) << opened.message();
  EXPECT_STREQ(second->port_name(), box_.path().c_str());
}

TEST(SerialPosix, OpenFailuresNameThePortAsGiven) {
  std::unique_ptr<Serial> port = CreatePlatformSerial();
  Status missing = port->Open("ttyKAVRIN_MISSING");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(), "open serial ttyKAVRIN_MISSING failed, please check.\n");

  Status bad_name = port->Open("com3/x");
  ASSERT_FALSE(bad_name.ok());
  EXPECT_EQ(bad_name.message(), "error: open serial dev name is com3/x\n");

  // Something that opens but is no terminal takes no line settings.
  ASSERT_TRUE(port->Open("/dev/null").ok());
  EXPECT_FALSE(port->Config(115200, 8, 1, 'N'));
}

}  // namespace
