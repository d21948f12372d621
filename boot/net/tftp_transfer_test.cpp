#include "net/tftp_transfer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

#include "coding.h"

namespace {

using namespace std::string_literals;

std::string Ack(uint16_t block) {
  return std::string{'\0', '\4', static_cast<char>(block >> 8), static_cast<char>(block & 0xFF)};
}

// A client on the other end of a transfer socket. Every Receive asks `reply`
// what the client answers to the last packet sent (nullopt: silence, which
// the socket reports as a time-out at once). By default the client
// acknowledges every DATA packet.
class FakeClient : public UdpSocket {
 public:
  int Send(const uint8_t* data, size_t length) override {
    sent.emplace_back(reinterpret_cast<const char*>(data), length);
    return send_error;
  }

  UdpReceived Receive(uint8_t* buffer, size_t capacity) override {
    ++receives;
    std::optional<std::string> answer = reply(sent.back());
    UdpReceived result;
    if (!answer) return result;  // kTimeout
    result.kind = UdpReceived::Kind::kDatagram;
    result.length = std::min(capacity, answer->size());
    std::memcpy(buffer, answer->data(), result.length);
    return result;
  }

  // The payloads of the DATA packets sent, in order (resends included).
  std::vector<std::string> DataPayloads() const {
    std::vector<std::string> payloads;
    for (const std::string& packet : sent) {
      if (packet.compare(0, 2, "\0\3"s) == 0) payloads.push_back(packet.substr(4));
    }
    return payloads;
  }

  std::function<std::optional<std::string>(const std::string&)> reply =
      [](const std::string& packet) -> std::optional<std::string> {
    return Ack(DecodeBigEndian16(reinterpret_cast<const uint8_t*>(packet.data()) + 2));
  };
  std::vector<std::string> sent;
  int receives = 0;
  int send_error = 0;
};

class SendFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tftp_transfer_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    out_ = tmpfile();
  }
  void TearDown() override {
    std::fclose(out_);
    std::filesystem::remove_all(dir_);
  }

  std::string MakeFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  TransferResult Send(const std::string& path, const std::string& mode, int32_t block_size) {
    tftp_packet_t request;
    request.opcode = kTftpRrq;
    request.file_name = path;
    request.mode = mode;
    request.block_size = block_size;
    return send_file(request, &client_, out_);
  }

  std::string Output() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, out_)) > 0) text.append(buffer, got);
    return text;
  }

  std::string dir_;
  std::FILE* out_ = nullptr;
  FakeClient client_;
};

TEST_F(SendFileTest, CutsOctetFilesIntoBlocksEndingWithAShortOne) {
  struct Case {
    size_t size;
    int32_t block_size;
    std::vector<size_t> blocks;
  } cases[] = {
      {0, 512, {0}},
      {1, 512, {1}},
      {512, 512, {512, 0}},  // a multiple of the block size ends with an empty block
      {1300, 512, {512, 512, 276}},
      {2048, 1024, {1024, 1024, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    client_.sent.clear();
    std::string bytes(c.size, '\0');
    for (size_t i = 0; i < c.size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    TransferResult result = Send(MakeFile("f.bin", bytes), "octet", c.block_size);
    EXPECT_EQ(result.kind, TransferResult::Kind::kComplete);
    std::vector<std::string> payloads = client_.DataPayloads();
    ASSERT_EQ(payloads.size(), c.blocks.size());
    std::string joined;
    for (size_t i = 0; i < payloads.size(); ++i) {
      EXPECT_EQ(payloads[i].size(), c.blocks[i]);
      EXPECT_EQ(client_.sent[i].substr(0, 4),
                "\0\3"s + static_cast<char>(0) + static_cast<char>(i + 1));
      joined += payloads[i];
    }
    EXPECT_EQ(joined, bytes);
  }
}

TEST_F(SendFileTest, NetasciiOf512LineFeedsFillsTwoBlocksAndAnEmptyThird) {
  ASSERT_EQ(Send(MakeFile("lf.txt", std::string(512, '\n')), "NETASCII", 512).kind,
            TransferResult::Kind::kComplete);
  std::vector<std::string> payloads = client_.DataPayloads();
  ASSERT_EQ(payloads.size(), 3u);
  std::string pairs;
  for (int i = 0; i < 256; ++i) pairs += "\r\n";
  EXPECT_EQ(payloads[0], pairs);
  EXPECT_EQ(payloads[1], pairs);
  EXPECT_EQ(payloads[2], "");
}

TEST_F(SendFileTest, NetasciiCarriesOverflowIntoTheNextBlocks) {
  // Random text dense in line feeds at small block sizes: the blocks joined
  // are the converted file, and every block but the last is full.
  std::mt19937 random(7);
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "ab\n\r\n"[random() % 5];
  std::vector<uint8_t> expected(text.begin(), text.end());
  atona(&expected);
  for (int32_t block_size : {8, 9, 512}) {
    SCOPED_TRACE(block_size);
    client_.sent.clear();
    ASSERT_EQ(Send(MakeFile("t.txt", text), "netascii", block_size).kind,
              TransferResult::Kind::kComplete);
    std::vector<std::string> payloads = client_.DataPayloads();
    std::string joined;
    for (size_t i = 0; i < payloads.size(); ++i) {
      if (i + 1 < payloads.size()) {
        EXPECT_EQ(payloads[i].size(), size_t(block_size));
      }
      joined += payloads[i];
    }
    EXPECT_LT(payloads.back().size(), size_t(block_size));
    EXPECT_EQ(joined, std::string(expected.begin(), expected.end()));
  }
}

TEST_F(SendFileTest, LostAcksAreAnsweredByResendsThenTheTransferTimesOut) {
  // The ACK of block 1 gets lost twice, then the client goes silent for good
  // at block 2: eight resends, announced 8 down to 1, then a time-out.
  int block1_silences = 0;
  client_.reply = [&](const std::string& packet) -> std::optional<std::string> {
    uint16_t block = DecodeBigEndian16(reinterpret_cast<const uint8_t*>(packet.data()) + 2);
    if (block == 1 && block1_silences < 2) {
      ++block1_silences;
      return std::nullopt;
    }
    if (block == 2) return std::nullopt;
    return Ack(block);
  };
  TransferResult result = Send(MakeFile("f.bin", std::string(600, 'x')), "octet", 512);
  EXPECT_EQ(result.kind, TransferResult::Kind::kTimedOut);
  std::vector<std::string> payloads = client_.DataPayloads();
  ASSERT_EQ(payloads.size(), 3u + 9u);  // block 1 three times, block 2 nine times
  EXPECT_EQ(client_.sent[0], client_.sent[2]);
  EXPECT_EQ(client_.sent[3], client_.sent[11]);
  EXPECT_EQ(Output(),
            "retrying 8 more times.\nretrying 7 more times.\n"
            "retrying 8 more times.\nretrying 7 more times.\nretrying 6 more times.\n"
            "retrying 5 more times.\nretrying 4 more times.\nretrying 3 more times.\n"
            "retrying 2 more times.\nretrying 1 more times.\n");
}

TEST_F(SendFileTest, AnythingButTheAckOfTheBlockMakesItGoOutAgainUncounted) {
  // Twenty wrong answers in a row would exhaust eight counted retries; they
  // are not counted, and the transfer completes.
  int wrong = 0;
  client_.reply = [&](const std::string& packet) -> std::optional<std::string> {
    uint16_t block = DecodeBigEndian16(reinterpret_cast<const uint8_t*>(packet.data()) + 2);
    if (block == 2 && wrong < 20) {
      ++wrong;
      static const std::string answers[] = {Ack(1), "\0\5\0\0stop\0"s, "\0\4"s, "junk"};
      return answers[wrong % 4];
    }
    return Ack(block);
  };
  EXPECT_EQ(Send(MakeFile("f.bin", std::string(1000, 'x')), "octet", 512).kind,
            TransferResult::Kind::kComplete);
  EXPECT_EQ(client_.DataPayloads().size(), 2u + 20u);
  EXPECT_EQ(Output(), "");
}

TEST_F(SendFileTest, BlockNumbersWrapSoFilesBeyond65535BlocksComplete) {
  const size_t blocks = 70000;
  std::string bytes(blocks * 8 + 3, 'z');
  ASSERT_EQ(Send(MakeFile("big.bin", bytes), "octet", 8).kind, TransferResult::Kind::kComplete);
  ASSERT_EQ(client_.sent.size(), blocks + 1);
  EXPECT_EQ(client_.sent[65534].substr(0, 4), "\0\3\xff\xff"s);  // block 65535
  EXPECT_EQ(client_.sent[65535].substr(0, 4), "\0\3\0\0"s);      // block 65536
  EXPECT_EQ(client_.sent.back().size(), 4u + 3u);
}

TEST_F(SendFileTest, AFileThatCannotBeOpenedGetsAnErrorPacket) {
  struct Case {
    std::string path;
    std::string packet;
  } cases[] = {
      {dir_ + "/missing.bin", "\0\5\0\1No such file or directory\0"s},
      {dir_, "\0\5\0"s + static_cast<char>(100 + EISDIR) + "Is a directory\0"s},
  };
  for (const Case& c : cases) {
    client_.sent.clear();
    EXPECT_EQ(Send(c.path, "octet", 512).kind, TransferResult::Kind::kFileError);
    ASSERT_EQ(client_.sent.size(), 1u);
    EXPECT_EQ(client_.sent[0], c.packet);
  }
  EXPECT_EQ(Output(), "No Found file: " + dir_ + "/missing.bin\nNo Found file: " + dir_ + "\n");
}

TEST_F(SendFileTest, AVanishedClientCountsLikeATimeOut) {
  client_.send_error = ECONNREFUSED;
  EXPECT_EQ(Send(MakeFile("f.bin", "abc"), "octet", 512).kind, TransferResult::Kind::kTimedOut);
  EXPECT_EQ(client_.sent.size(), 9u);
  EXPECT_EQ(client_.receives, 0);
}

TEST(SendOackTest, SendsTheOptionsAndTakesAnyReply) {
  FakeClient client;
  std::string options = BlockSizeOption(1024);
  EXPECT_EQ(options,
            "blksize\0"
            "1024"s);
  client.reply = [](const std::string&) { return std::optional<std::string>("whatever"); };
  EXPECT_EQ(send_oack(options.data(), uint32_t(options.size()), &client).kind,
            TransferResult::Kind::kComplete);
  ASSERT_EQ(client.sent.size(), 1u);
  EXPECT_EQ(client.sent[0],
            "\0\6blksize\0"
            "1024"s);

  // No reply: no retry.
  client.reply = [](const std::string&) { return std::optional<std::string>(); };
  EXPECT_EQ(send_oack(options.data(), uint32_t(options.size()), &client).kind,
            TransferResult::Kind::kTimedOut);
  EXPECT_EQ(client.sent.size(), 2u);

  client.send_error = EPERM;
  TransferResult failed = send_oack(options.data(), uint32_t(options.size()), &client);
  EXPECT_EQ(failed.kind, TransferResult::Kind::kSendFailed);
  EXPECT_EQ(failed.error, EPERM);
}

}  // namespace
