#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The simulator's transcript (--log FILE): one line per fact that crossed the
// wire, appended and flushed line by line so that a test can read it while
// the simulator still runs. Lines:
//   rom head words=<W> variant=<A|B> checksum=0x<8 hex> length=<L>
//   rom verdict <C>
//   shell <line>
//   tftp <file> <bytes>
// A disabled transcript (no file) ignores everything.
class Transcript {
 public:
  Transcript() = default;
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Opens `path` for appending. False with `error` set when it cannot.
  bool Open(const std::string& path, std::string* error);
  // Writes to an already open stream, which the caller keeps owning (tests).
  void Attach(FILE* stream) {
    stream_ = stream;
    owned_ = false;
  }

  void RomHead(uint32_t words, char variant, uint32_t checksum, uint32_t length);
  // The verdict byte as a character; bytes outside printable ASCII as \xNN.
  void RomVerdict(uint8_t verdict);
  // The line exactly as received without its line feed; a carriage return is
  // written as the two characters \r so that the transcript stays one line per
  // entry.
  void ShellLine(std::string_view line);
  void Tftp(std::string_view file, uint64_t bytes);

 private:
  void Line(const std::string& text);

  FILE* stream_ = nullptr;
  bool owned_ = false;
};
