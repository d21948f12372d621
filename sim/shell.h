#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_sink.h"
#include "file_fetcher.h"
#include "flash.h"
#include "transcript.h"

struct ShellOptions {
  bool prompt = true;             // false: no prompt after the upload (a hung loader)
  bool send_sta = true;           // false: transfer lines get no "~sta~"
  bool send_fin = true;           // false: a transfer ends without "~fin~", then silence
  int64_t dump_stop_after = -1;   // >= 0: a dump sends this many bytes, then silence
  std::string noise;              // printed before the first prompt
  std::string usb_dir;            // the USB stick's content; empty: none attached
  uint32_t tftp_blksize = 0;      // block size the TFTP client asks for; 0: none
  uint32_t ram_size = 64u << 20;  // the most bytes bootp loads
  uint16_t tftp_port = 2000;      // until "config tftpport" says otherwise
};

// The loader's shell: takes lines ending in a line feed, echoes each one with
// "\r\n", replies in text lines ending "\r\n" and shows the prompt "boot> ".
// Transfer lines exchange raw bytes between "~sta~" and "~fin~". Errors are
// reply lines beginning "error: " and never end the shell.
//
// Not thread-safe. The memory, sink, transcript and fetcher outlive the shell;
// `network` may be null (no network: partition download and bootp fail).
class Shell {
 public:
  using Report = std::function<void(const std::string&)>;

  Shell(const ShellOptions& options, BoxMemory& memory, ByteSink& out, Transcript& log,
        FileFetcher* network, Report report);

  // The loader starts: banner, noise, first prompt.
  void Start();
  // Bytes from the tool: lines, or the raw bytes of a transfer.
  void Feed(const uint8_t* data, size_t size);
  // A fault made the loader stop answering; it stays so until reset.
  bool Silent() const { return state_ == State::kSilent; }

  static constexpr size_t kMaxLine = 1024;
  static constexpr const char* kPrompt = "boot> ";

 private:
  enum class State { kLine, kReceive, kSilent };

  // An incoming transfer in progress.
  struct Receive {
    FlashArea* area = nullptr;
    bool program = false;  // OTP: AND into the area
    uint32_t address = 0;
    uint32_t size = 0;
    uint32_t done = 0;
    std::string result;  // the line after "~fin~" when all went well
    std::string error;   // the first write failure
  };

  void Line(std::string_view line);
  void Execute(const std::vector<std::string>& words);

  // Replies; false once the tool is gone.
  bool Reply(const std::string& text);
  bool Error(const std::string& text);
  bool Prompt();

  // Argument helpers: each replies with an error line and returns false when
  // the word does not fit.
  bool Address(const std::string& command, const std::string& word, uint64_t* value);
  bool Size(const std::string& command, const std::string& word, uint64_t* value);
  bool Range(const std::string& command, const FlashArea& area, const char* area_name,
             uint64_t address, uint64_t size);
  // Address, Size and Range at once: the "<address> <size>" words of a command
  // on `area`.
  bool AddressAndSize(const std::string& command, const std::string& address_word,
                      const std::string& size_word, const FlashArea& area, const char* area_name,
                      uint64_t* address, uint64_t* size);

  void SerialDown(const std::vector<std::string>& words);
  void SerialDump(const std::vector<std::string>& words);
  void FlashCommand(const std::vector<std::string>& words);
  void Config(const std::vector<std::string>& words);
  void UsbDown(const std::vector<std::string>& words);
  void Otp(const std::vector<std::string>& words);
  void OtpRead(const std::string& name, OtpArea& otp, const std::vector<std::string>& words);
  void OtpWrite(const std::string& name, OtpArea& otp, const std::vector<std::string>& words);
  void PartitionDownload(const std::vector<std::string>& words);
  void Bootp(const std::vector<std::string>& words);
  bool NetworkFetch(const std::string& command, const std::string& server, const std::string& file,
                    uint64_t limit, FetchResult* result);

  void BeginReceive(Receive receive);
  size_t TakeReceive(const uint8_t* data, size_t size);
  void FinishReceive(bool prompt);

  ShellOptions options_;
  BoxMemory& memory_;
  ByteSink& out_;
  Transcript& log_;
  FileFetcher* network_;
  Report report_;

  State state_ = State::kLine;
  std::string line_;
  bool line_too_long_ = false;
  Receive receive_;
  std::string box_ip_;  // "config ip"
  uint16_t tftp_port_;
};
