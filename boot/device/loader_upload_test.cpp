#include <gtest/gtest.h>

#include <string>

#include "coding.h"
#include "device/boot.h"
#include "serial/test_fake_serial.h"

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string LittleEndian32(uint32_t value) {
  std::string bytes;
  PutFixed32(&bytes, value);
  return bytes;
}

// An image of `length` bytes that starts with `start` and goes on with a pattern.
std::string Image(size_t length, const std::string& start) {
  std::string image(length, '\0');
  for (size_t i = 0; i < length; ++i) image[i] = static_cast<char>(i * 13 + 5);
  image.replace(0, start.size(), start);
  return image;
}

uint32_t Checksum(const std::string& image) {
  uint32_t sum = 0;
  for (unsigned char byte : image) sum += byte;
  return sum;
}

class UploadTest : public ::testing::Test {
 protected:
  UploadTest() {
    auto port = std::make_unique<FakeSerial>();
    port_ = port.get();
    boot_.SetSerial(std::move(port));
  }

  // Runs SendData on `image` and returns what went to standard output.
  std::string Send(const std::string& image, bool* accepted, Status* status) {
    CaptureStdout();
    *status = boot_.SendData(reinterpret_cast<const uint8_t*>(image.data()),
                             static_cast<int>(image.size()), accepted);
    return GetCapturedStdout();
  }

  Boot boot_;
  FakeSerial* port_;
};

TEST_F(UploadTest, WaitMatchesEchoesAndTimesOut) {
  const struct {
    const char* input;
    const char* text;
    bool echo;
    int result;
    const char* printed;
  } cases[] = {
      {"boo!boot> ", "boot> ", true, 0, "boo!"},
      // The second "b" breaks the match and is not retried as a new start.
      {"bboot> boot> ", "boot> ", true, 0, "bboot> "},
      // A carriage return is echoed as it came.
      {"ok\r\n~sta~rest", "~sta~", true, 0, "ok\r\n"},
      {"noise X", "X", false, 0, ""},
      {"~st", "~sta~", true, -1, ""},
      {"partial ~st", "~sta~", true, -1, "partial "},
  };
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    port->Feed(c.input);
    boot_.echo = c.echo;
    CaptureStdout();
    int result = boot_.Wait(c.text, 3);
    EXPECT_EQ(GetCapturedStdout(), c.printed) << c.input;
    EXPECT_EQ(result, c.result) << c.input;
    EXPECT_EQ(port->read_timeouts, std::vector<int>{3}) << c.input;
  }
}

TEST_F(UploadTest, WaitWithoutTimeOutReadsThroughSilence) {
  port_->FeedSilence();
  port_->Feed("ab");
  port_->FeedSilence();
  port_->FeedSilence();
  port_->Feed("X");
  boot_.echo = false;
  EXPECT_EQ(boot_.Wait("X", 0), 0);
  EXPECT_TRUE(port_->read_timeouts.empty());  // the port's time-outs stay as they are
  EXPECT_EQ(port_->empty_reads, 3);
}

TEST_F(UploadTest, BuiltInImageGoesInTheHeadWithChecksumLengthAndMarker) {
  const std::string image = Image(93570, "\xAA\x55\xAA\x55");
  port_->Feed("GETO");
  bool accepted = false;
  Status status = Status::Ok();
  std::string printed = Send(image, &accepted, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_TRUE(accepted);

  const std::string frame("\x59\x00\x04\x00\x00", 5);
  const std::string head = image.substr(4, 4084) + LittleEndian32(Checksum(image)) +
                           std::string("\x82\x6D\x01\x00", 4) + "boot";
  ASSERT_EQ(head.size(), 4096u);
  EXPECT_EQ(port_->written, frame + head + image);
  // One write per 2048 bytes of the image, after frame, head part, checksum,
  // length and marker.
  ASSERT_EQ(port_->writes.size(), 5u + 46u);
  EXPECT_EQ(port_->writes.back().size(), 1410u);
  EXPECT_EQ(printed,
            "\nwrite size 93570 byte " + std::string(46, '.') + " end\ndata transmit ok.\n");
  EXPECT_EQ(port_->read_timeouts, std::vector<int>{10});
}

TEST_F(UploadTest, HeadSizesAndVariants) {
  const struct {
    std::string start;
    size_t length;
    uint32_t words;
    bool after_get;
  } cases[] = {
      {"\x11\x32\x01", 5000, 1250, true},   // long head, checksum after "GET"
      {"\x11\x32\x00", 9000, 2048, false},  // long head, capped at 8192 bytes
      {"\xAA\x55\x01", 5000, 1024, true},   // short head, checksum after "GET"
      {"\xAA\x55\xAA", 1000, 250, false},   // the head covers the whole image
      {"\xAA\x55\xAA", 1003, 250, false},   // the remainder after whole words is dropped
  };
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    const std::string image = Image(c.length, std::string(c.start.data(), 3));
    port->Feed("GETO");
    bool accepted = false;
    Status status = Status::Ok();
    Send(image, &accepted, &status);
    ASSERT_TRUE(status.ok()) << status.message();

    const std::string checksum = LittleEndian32(Checksum(image));
    const std::string length = LittleEndian32(static_cast<uint32_t>(c.length));
    std::string expected = "\x59" + LittleEndian32(c.words);
    if (c.after_get) {
      expected += image.substr(4, 4 * c.words - 4) + "boot" + checksum + length;
    } else {
      expected += image.substr(4, 4 * c.words - 12) + checksum + length + "boot";
    }
    expected += image;
    EXPECT_EQ(port->written, expected) << c.length << " bytes, words " << c.words;
  }
}

TEST_F(UploadTest, VerdictsDecideTheOutcome) {
  const std::string image = Image(3000, "\xAA\x55\xAA\x55");
  const std::string pass = "\nwrite size 3000 byte .. end\n";
  const struct {
    const char* verdicts;  // what the ROM sends after "GET"; empty: nothing
    bool accepted;
    std::string printed;
  } cases[] = {
      {"O", true, pass + "data transmit ok.\n"},
      {"EEO", true,
       pass + "data transmit error, try agin ...\n" + pass + "data transmit error, try agin ...\n" +
           pass + "data transmit ok.\n"},
      {"A", false, pass + "buf[0]=65\nerror, please try agin.\n"},
      {"\xC8", false, pass + "buf[0]=200\nerror, please try agin.\n"},
      {"", true, pass},
  };
  for (const auto& c : cases) {
    FakeSerial* port = new FakeSerial;
    boot_.SetSerial(std::unique_ptr<Serial>(port));
    port->Feed(std::string("GET") + c.verdicts);
    bool accepted = !c.accepted;
    Status status = Status::Ok();
    std::string printed = Send(image, &accepted, &status);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(accepted, c.accepted) << c.verdicts;
    EXPECT_EQ(printed, c.printed) << c.verdicts;
  }
}

TEST_F(UploadTest, NoGetEndsTheRun) {
  port_->Feed("XXXX");  // other bytes keep the wait going, then silence
  boot_.echo = false;   // as during the upload
  bool accepted = false;
  Status status = Status::Ok();
  EXPECT_EQ(Send(Image(5000, "\xAA"), &accepted, &status), "");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "BootROM error: wait for \"GET\",please check stb UART receive !\n");
  EXPECT_EQ(port_->written.size(), 5u + 4096u);  // nothing after the head
}

TEST_F(UploadTest, LoaderUploadsTheMachineImageAndWaitsForThePrompt) {
  const uint8_t* image = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(boot_.get_boot("vk7301", &image, &length), 0);
  port_->Feed("rom noise X");
  port_->on_write = [&](const std::string&) {
    // The ROM answers once the head is complete, the loader once the image is in.
    if (port_->written.size() == 5 + 4096) port_->Feed("GET");
    if (port_->written.size() == 5 + 4096 + length) port_->Feed("O\r\nloader 1.0\r\nboot> ");
  };
  boot_.echo = false;
  CaptureStdout();
  Status status = boot_.Loader("vk7301");
  std::string printed = GetCapturedStdout();
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_TRUE(boot_.echo);
  EXPECT_EQ(printed,
            "wait ROM request... please power on or restart the board...\n"
            "\nwrite size 93570 byte " +
                std::string(46, '.') + " end\ndata transmit ok.\n\r\nloader 1.0\r\n");
  EXPECT_EQ(port_->read_timeouts, (std::vector<int>{10, 3}));
  EXPECT_FALSE(port_->input_left());
}

TEST_F(UploadTest, LoaderFailures) {
  CaptureStdout();
  Status unknown = boot_.Loader("VK7301");
  GetCapturedStdout();
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.message(),
            "can't find file VK7301, please check whether it really exists or not.\n");
  EXPECT_TRUE(port_->written.empty());

  port_->Feed("XGETO");  // then silence instead of the prompt
  CaptureStdout();
  Status no_prompt = boot_.Loader("vk7300");
  GetCapturedStdout();
  ASSERT_FALSE(no_prompt.ok());
  EXPECT_EQ(no_prompt.message(),
            "Before exec the first command, failed to receive \"boot>\" from stb in 3s, will "
            "EXIT_FAILURE\n");
}

}  // namespace
