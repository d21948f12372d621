#include "net/tftp_packet.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "coding.h"

namespace {

// The NUL-terminated string starting at `offset`, cut at the end of the
// datagram when its NUL is missing. Moves `offset` past the NUL.
std::string NextString(const uint8_t* buffer, size_t length, size_t* offset) {
  size_t start = *offset;
  size_t end = start;
  while (end < length && buffer[end] != 0) ++end;
  *offset = end + 1;
  return std::string(reinterpret_cast<const char*>(buffer + start), end - start);
}

void ParseRequest(const uint8_t* buffer, size_t length, tftp_packet_t* packet) {
  size_t offset = 2;
  packet->file_name = NextString(buffer, length, &offset);
  packet->mode = offset < length ? NextString(buffer, length, &offset) : std::string();
  // Options come as name/value pairs; only blksize is looked at, and the
  // first one found wins.
  while (offset < length) {
    std::string name = NextString(buffer, length, &offset);
    if (strcasecmp(name.c_str(), "blksize") == 0) {
      std::string value = offset < length ? NextString(buffer, length, &offset) : std::string();
      packet->block_size = std::atoi(value.c_str());
      break;
    }
  }
}

void Append16(std::vector<uint8_t>* out, uint16_t value) {
  uint8_t bytes[2];
  EncodeBigEndian16(bytes, value);
  out->insert(out->end(), bytes, bytes + 2);
}

}  // namespace

tftp_packet_t* parse_buffer(const uint8_t* buffer, size_t length) {
  auto* packet = new tftp_packet_t;
  if (length < 2) return packet;
  uint16_t opcode = DecodeBigEndian16(buffer);
  switch (opcode) {
    case kTftpRrq:
    case kTftpWrq:
      packet->opcode = opcode;
      ParseRequest(buffer, length, packet);
      break;
    case kTftpData:
      if (length < 4) break;
      packet->opcode = opcode;
      packet->block = DecodeBigEndian16(buffer + 2);
      packet->data.assign(buffer + 4, buffer + length);
      break;
    case kTftpAck:
      if (length < 4) break;
      packet->opcode = opcode;
      packet->block = DecodeBigEndian16(buffer + 2);
      break;
    default:
      break;
  }
  return packet;
}

void packet_free(tftp_packet_t* packet) { delete packet; }

std::vector<uint8_t> prepare_packet(const tftp_packet_t& packet) {
  std::vector<uint8_t> out;
  switch (packet.opcode) {
    case kTftpData:
      out.reserve(4 + packet.data.size());
      Append16(&out, kTftpData);
      Append16(&out, static_cast<uint16_t>(packet.block));
      out.insert(out.end(), packet.data.begin(), packet.data.end());
      break;
    case kTftpAck:
      Append16(&out, kTftpAck);
      Append16(&out, static_cast<uint16_t>(packet.block));
      break;
    case kTftpError: {
      Append16(&out, kTftpError);
      Append16(&out, packet.error_code);
      const char* message = packet.message ? packet.message : "";
      out.insert(out.end(), message, message + std::strlen(message) + 1);  // with its NUL
      break;
    }
    case kTftpOack:
      Append16(&out, kTftpOack);
      // The option bytes go out as given: the server's value has no NUL.
      if (packet.options) {
        out.insert(out.end(), packet.options, packet.options + packet.options_length);
      }
      break;
    default:
      break;
  }
  return out;
}

size_t NetasciiExpand(const uint8_t* in, size_t length, uint8_t* out) {
  uint8_t* start = out;
  for (size_t i = 0; i < length; ++i) {
    if (in[i] == '\n') *out++ = '\r';
    *out++ = in[i];
  }
  return static_cast<size_t>(out - start);
}

void atona(std::vector<uint8_t>* buffer) {
  std::vector<uint8_t> converted(buffer->size() * 2);
  converted.resize(NetasciiExpand(buffer->data(), buffer->size(), converted.data()));
  buffer->swap(converted);
}
