#include "transcript.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

Transcript::~Transcript() {
  if (owned_ && stream_ != nullptr) std::fclose(stream_);
}

bool Transcript::Open(const std::string& path, std::string* error) {
  FILE* stream = std::fopen(path.c_str(), "a");
  if (stream == nullptr) {
    *error = "cannot open log file " + path + ": " + std::strerror(errno);
    return false;
  }
  stream_ = stream;
  owned_ = true;
  return true;
}

void Transcript::RomHead(uint32_t words, char variant, uint32_t checksum, uint32_t length) {
  char text[128];
  std::snprintf(text, sizeof text,
                "rom head words=%" PRIu32 " variant=%c checksum=0x%08" PRIx32 " length=%" PRIu32,
                words, variant, checksum, length);
  Line(text);
}

void Transcript::RomVerdict(uint8_t verdict) {
  char text[32];
  if (verdict >= 0x21 && verdict < 0x7F) {
    std::snprintf(text, sizeof text, "rom verdict %c", verdict);
  } else {
    std::snprintf(text, sizeof text, "rom verdict \\x%02x", verdict);
  }
  Line(text);
}

void Transcript::ShellLine(std::string_view line) {
  std::string text = "shell ";
  for (char c : line) {
    if (c == '\r') {
      text += "\\r";
    } else {
      text += c;
    }
  }
  Line(text);
}

void Transcript::Tftp(std::string_view file, uint64_t bytes) {
  Line("tftp " + std::string(file) + " " + std::to_string(bytes));
}

void Transcript::Line(const std::string& text) {
  if (stream_ == nullptr) return;
  std::fputs(text.c_str(), stream_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}
