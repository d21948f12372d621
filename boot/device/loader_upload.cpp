// The boot ROM handshake and loader upload, and the wait for a text from the
// box that every later exchange uses. The wire format is in
// doc/rom-upload.md.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "coding.h"
#include "device/boot.h"
#include "device/loader_file.h"

namespace {

void Print(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

int Boot::Wait(const char* text, int timeout_seconds) {
  if (timeout_seconds != 0) serial->setTimeouts(timeout_seconds, 0);
  const size_t length = std::strlen(text);
  // The bytes of the partial match as they came (a carriage return matches a
  // line feed but is echoed as itself).
  std::vector<unsigned char> partial;
  while (partial.size() < length) {
    unsigned char byte = 0;
    if (serial->Read(&byte, 1) != 1) {
      if (timeout_seconds != 0) return -1;
      continue;
    }
    const unsigned char compared = byte == '\r' ? '\n' : byte;
    if (compared == static_cast<unsigned char>(text[partial.size()])) {
      partial.push_back(byte);
      continue;
    }
    if (echo) {
      partial.push_back(byte);
      std::fwrite(partial.data(), 1, partial.size(), stdout);
      std::fflush(stdout);
    }
    // The byte that broke the match is not tried as the start of a new one.
    partial.clear();
  }
  return 0;
}

Status Boot::SendData(const uint8_t* image, int length, bool* accepted) {
  *accepted = true;
  if (length < 12) {
    return Status::Error(
        StringPrintf("the loader image has %d bytes, too few to be sent (at least 12).\n", length));
  }
  const bool long_head = (image[0] | image[1] << 8) == 0x3211;
  const bool checksum_after_get = image[2] == 0x01;
  const int head_bytes = std::min(length, long_head ? 8192 : 4096);
  const uint32_t words = static_cast<uint32_t>(head_bytes / 4);

  uint32_t checksum = 0;
  for (int i = 0; i < length; ++i) checksum += image[i];
  uint8_t checksum_bytes[4], length_bytes[4];
  EncodeFixed32(checksum_bytes, checksum);
  EncodeFixed32(length_bytes, static_cast<uint32_t>(length));

  uint8_t frame[5] = {0x59};
  EncodeFixed32(frame + 1, words);
  Status written = WriteToBox(frame, sizeof frame);
  if (written.ok()) {
    // The first four image bytes never go into the head; without the
    // "after GET" flag the head's last 12 bytes carry checksum, length and
    // marker instead of image bytes.
    if (checksum_after_get) {
      written = WriteToBox(image + 4, static_cast<int>(4 * words - 4));
    } else {
      written = WriteToBox(image + 4, static_cast<int>(4 * words - 12));
      if (written.ok()) written = WriteToBox(checksum_bytes, 4);
      if (written.ok()) written = WriteToBox(length_bytes, 4);
    }
  }
  if (written.ok()) written = WriteToBox("boot", 4);
  if (!written.ok()) return written;

  if (Wait("GET", 10) != 0) {
    return Status::Error("BootROM error: wait for \"GET\",please check stb UART receive !\n");
  }
  if (checksum_after_get) {
    Status sent = WriteToBox(checksum_bytes, 4);
    if (sent.ok()) sent = WriteToBox(length_bytes, 4);
    if (!sent.ok()) return sent;
  }

  for (;;) {
    std::printf("\nwrite size %d byte ", length);
    std::fflush(stdout);
    for (int offset = 0; offset < length;) {
      const int chunk = std::min(2048, length - offset);
      Status sent = WriteToBox(image + offset, chunk);
      if (!sent.ok()) return sent;
      offset += chunk;
      Print(".");
    }
    Print(" end\n");

    uint8_t verdict = 0;
    if (serial->Read(&verdict, 1) != 1) return Status::Ok();  // no verdict: go on
    if (verdict == 'O') {
      Print("data transmit ok.\n");
      return Status::Ok();
    }
    if (verdict != 'E') {
      std::printf("buf[0]=%d\n", verdict);
      Print("error, please try agin.\n");
      *accepted = false;
      return Status::Ok();
    }
    Print("data transmit error, try agin ...\n");
  }
}

Status Boot::Loader(const std::string& loader) {
  std::vector<uint8_t> file_image;
  const uint8_t* image = nullptr;
  uint32_t length = 0;
  if (use_boot_file) {
    Status read = ReadLoaderFile(loader, &file_image);
    if (!read.ok()) return read;
    image = file_image.data();
    length = static_cast<uint32_t>(file_image.size());
  } else if (get_boot(loader.c_str(), &image, &length) != 0) {
    return Status::Error(LoaderNotFoundMessage(loader));
  }

  Print("wait ROM request... please power on or restart the board...\n");
  Wait("X", 0);
  bool accepted = false;
  Status sent = SendData(image, static_cast<int>(length), &accepted);
  if (!sent.ok()) return sent;
  file_image.clear();
  file_image.shrink_to_fit();

  echo = true;
  if (Wait("boot> ", 3) != 0) {
    return Status::Error(
        "Before exec the first command, failed to receive \"boot>\" from stb in 3s, will "
        "EXIT_FAILURE\n");
  }
  return Status::Ok();
}
