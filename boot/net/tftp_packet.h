#pragma once

// TFTP packets in parsed form, their decoding from received datagrams and
// their encoding for sending, and the netascii conversion of file data.
// The wire format, quirks included, is written down in doc/tftp.md.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TftpOpcode : uint16_t {
  kTftpRrq = 1,
  kTftpWrq = 2,
  kTftpData = 3,
  kTftpAck = 4,
  kTftpError = 5,
  kTftpOack = 6,
  kTftpInvalid = 0xFFFF,  // a received packet whose opcode is not 1 to 4
};

// Default and bounds of the block size. 65464 is the largest block that
// still fits one IPv4 datagram; 8 is the smallest that RFC 2348 allows.
constexpr int32_t kTftpDefaultBlockSize = 512;
constexpr int32_t kTftpMinBlockSize = 8;
constexpr int32_t kTftpMaxBlockSize = 65464;

// One packet. Which fields mean something depends on the opcode:
// RRQ/WRQ file_name, mode, block_size; DATA block, data; ACK block;
// ERROR error_code, message; OACK options.
struct tftp_packet_t {
  uint16_t opcode = kTftpInvalid;

  std::string file_name;                       // RRQ, WRQ
  std::string mode;                            // RRQ, WRQ: as sent, case kept
  int32_t block_size = kTftpDefaultBlockSize;  // RRQ, WRQ: `blksize` as atoi reads it

  uint32_t block = 0;         // DATA, ACK: block number (16 bits on the wire)
  std::vector<uint8_t> data;  // DATA

  uint16_t error_code = 0;        // ERROR
  const char* message = nullptr;  // ERROR: not owned

  const char* options = nullptr;  // OACK: option bytes, not owned
  uint32_t options_length = 0;    // OACK
};

// Decodes a received datagram into a new packet, to be released with
// packet_free. Never fails: an unknown opcode or a truncated DATA/ACK gives
// opcode kTftpInvalid.
tftp_packet_t* parse_buffer(const uint8_t* buffer, size_t length);
void packet_free(tftp_packet_t* packet);

struct TftpPacketDeleter {
  void operator()(tftp_packet_t* packet) const { packet_free(packet); }
};
using TftpPacketPtr = std::unique_ptr<tftp_packet_t, TftpPacketDeleter>;

// Encodes a DATA, ACK, ERROR or OACK packet; empty for any other opcode.
std::vector<uint8_t> prepare_packet(const tftp_packet_t& packet);

// Netascii conversion of outgoing data: every line feed gets a carriage
// return in front; all other bytes (carriage returns included) are copied.
void atona(std::vector<uint8_t>* buffer);
// The same conversion without allocating: writes to `out` (room for
// 2 * length bytes) and returns the number of bytes written.
size_t NetasciiExpand(const uint8_t* in, size_t length, uint8_t* out);
