#include "net/tftp_packet.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TftpPacketPtr Parse(const std::string& bytes) {
  return TftpPacketPtr(parse_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

using namespace std::string_literals;

TEST(ParseBufferTest, ReadsRequests) {
  struct Case {
    std::string datagram;
    uint16_t opcode;
    std::string file_name;
    std::string mode;
    int32_t block_size;
  } cases[] = {
      {"\0\1app.bin\0octet\0"s, kTftpRrq, "app.bin", "octet", 512},
      {"\0\2up.bin\0NetAscii\0"s, kTftpWrq, "up.bin", "NetAscii", 512},
      // Option names ignore case; the value is read the way atoi reads it.
      {"\0\1f\0octet\0BLKSIZE\0"
       "1024\0"s,
       kTftpRrq, "f", "octet", 1024},
      {"\0\1f\0octet\0tsize\0"
       "0\0blksize\0 +1428x\0"s,
       kTftpRrq, "f", "octet", 1428},
      // The first blksize wins; no range is enforced at this level.
      {"\0\1f\0octet\0blksize\0"
       "0\0blksize\0"
       "99\0"s,
       kTftpRrq, "f", "octet", 0},
      {"\0\1f\0octet\0blksize\0"
       "100000\0"s,
       kTftpRrq, "f", "octet", 100000},
      // Missing NULs at the end of the datagram cut the strings there.
      {"\0\1f\0oct"s, kTftpRrq, "f", "oct", 512},
      {"\0\1name-only"s, kTftpRrq, "name-only", "", 512},
      {"\0\1f\0octet\0blksize"s, kTftpRrq, "f", "octet", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file_name + "/" + c.mode);
    TftpPacketPtr packet = Parse(c.datagram);
    EXPECT_EQ(packet->opcode, c.opcode);
    EXPECT_EQ(packet->file_name, c.file_name);
    EXPECT_EQ(packet->mode, c.mode);
    EXPECT_EQ(packet->block_size, c.block_size);
  }
}

TEST(ParseBufferTest, ReadsDataAndAcksAndMarksEverythingElseInvalid) {
  TftpPacketPtr data = Parse("\0\3\x12\x34payload"s);
  EXPECT_EQ(data->opcode, kTftpData);
  EXPECT_EQ(data->block, 0x1234u);
  EXPECT_EQ(Text(data->data), "payload");

  TftpPacketPtr ack = Parse("\0\4\xff\xfe"s);
  EXPECT_EQ(ack->opcode, kTftpAck);
  EXPECT_EQ(ack->block, 0xfffeu);

  for (const std::string& bad :
       {""s, "\0"s, "\0\4\0"s, "\0\5\0\1oops\0"s, "\0\6blksize\0"s, "\0\0"s, "\1\1f\0octet\0"s}) {
    EXPECT_EQ(Parse(bad)->opcode, kTftpInvalid) << testing::PrintToString(bad);
  }
}

TEST(PreparePacketTest, EncodesTheServersPackets) {
  tftp_packet_t oack;
  oack.opcode = kTftpOack;
  std::string options =
      "blksize\0"
      "512"s;
  oack.options = options.data();
  oack.options_length = static_cast<uint32_t>(options.size());
  // The option value is not NUL-terminated: 13 bytes for 512.
  EXPECT_EQ(Text(prepare_packet(oack)),
            "\0\6blksize\0"
            "512"s);
  EXPECT_EQ(prepare_packet(oack).size(), 13u);

  tftp_packet_t error;
  error.opcode = kTftpError;
  error.error_code = 4;
  error.message = "invalid mode";
  EXPECT_EQ(Text(prepare_packet(error)), "\0\5\0\4invalid mode\0"s);

  tftp_packet_t data;
  data.opcode = kTftpData;
  data.block = 0x10002;  // only the low 16 bits travel
  data.data = {'x', 'y'};
  EXPECT_EQ(Text(prepare_packet(data)), "\0\3\0\2xy"s);

  tftp_packet_t ack;
  ack.opcode = kTftpAck;
  ack.block = 7;
  EXPECT_EQ(Text(prepare_packet(ack)), "\0\4\0\7"s);

  for (uint16_t opcode : {0, 1, 2, 7, 0xFFFF}) {
    tftp_packet_t other;
    other.opcode = opcode;
    EXPECT_TRUE(prepare_packet(other).empty()) << opcode;
  }
}

TEST(AtonaTest, PutsACarriageReturnBeforeEveryLineFeedOnly) {
  std::vector<uint8_t> buffer = {'a', '\n', '\r', '\n', '\r', 'b', '\n'};
  atona(&buffer);
  EXPECT_EQ(Text(buffer), "a\r\n\r\r\n\rb\r\n");
  std::vector<uint8_t> empty;
  atona(&empty);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
