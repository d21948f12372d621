#include "shell.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstring>

#include "string_printf.h"
#include "words.h"

namespace {

constexpr uint32_t kDumpChunk = 4096;

}  // namespace

Shell::Shell(const ShellOptions& options, BoxMemory& memory, ByteSink& out, Transcript& log,
             FileFetcher* network, Report report)
    : options_(options),
      memory_(memory),
      out_(out),
      log_(log),
      network_(network),
      report_(std::move(report)),
      tftp_port_(options.tftp_port) {}

void Shell::Start() {
  Reply(StringPrintf("\r\nstbsim loader, flash %" PRIu32 " bytes", memory_.flash->size()));
  if (!options_.noise.empty()) out_.Write(options_.noise);
  if (!options_.prompt) {
    report_("loader started without a prompt (--no-prompt); silent until reset");
    state_ = State::kSilent;
    return;
  }
  Prompt();
}

void Shell::Feed(const uint8_t* data, size_t size) {
  size_t at = 0;
  while (at < size) {
    switch (state_) {
      case State::kSilent:
        return;
      case State::kReceive:
        at += TakeReceive(data + at, size - at);
        break;
      case State::kLine: {
        const void* feed = std::memchr(data + at, '\n', size - at);
        size_t end =
            feed != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(feed) - data) : size;
        size_t room = kMaxLine - line_.size();
        if (end - at > room) line_too_long_ = true;
        line_.append(reinterpret_cast<const char*>(data + at), std::min(end - at, room));
        if (feed == nullptr) return;
        at = end + 1;
        std::string line;
        line.swap(line_);
        Line(line);
        line_too_long_ = false;
        break;
      }
    }
  }
}

void Shell::Line(std::string_view line) {
  log_.ShellLine(line);
  if (!Reply(std::string(line))) return;
  if (line_too_long_) {
    Error(StringPrintf("line longer than %zu bytes", kMaxLine));
    Prompt();
    return;
  }
  std::vector<std::string> words;
  std::string error;
  if (!SplitWords(line, &words, &error)) {
    Error(error);
    Prompt();
    return;
  }
  if (!words.empty()) Execute(words);
  // A transfer shows its prompt after "~fin~"; a silent loader shows none.
  if (state_ == State::kLine) Prompt();
}

void Shell::Execute(const std::vector<std::string>& words) {
  const std::string& command = words[0];
  if (command == "serialdown") {
    SerialDown(words);
  } else if (command == "serialdump") {
    SerialDump(words);
  } else if (command == "flash") {
    FlashCommand(words);
  } else if (command == "config") {
    Config(words);
  } else if (command == "usbdown") {
    UsbDown(words);
  } else if (command == "vk_otp" || command == "sflash_otp") {
    Otp(words);
  } else if (command == "partition") {
    PartitionDownload(words);
  } else if (command == "bootp") {
    Bootp(words);
  } else if (command == "help") {
    Reply(
        "commands: serialdown serialdump flash config usbdown vk_otp sflash_otp "
        "partition bootp help");
  } else {
    Reply(command + ": unknown command");
  }
}

bool Shell::Reply(const std::string& text) { return out_.Write(text + "\r\n"); }

bool Shell::Error(const std::string& text) { return Reply("error: " + text); }

bool Shell::Prompt() { return out_.Write(kPrompt); }

bool Shell::Address(const std::string& command, const std::string& word, uint64_t* value) {
  if (ParseNumber(word, UINT32_MAX, value)) return true;
  std::string text = command + ": '" + word + "' is not an address";
  if (!word.empty() && std::isalpha(static_cast<unsigned char>(word[0]))) {
    text += " (partition names are not supported; give the flash address)";
  }
  Error(text);
  return false;
}

bool Shell::Size(const std::string& command, const std::string& word, uint64_t* value) {
  if (ParseNumber(word, UINT32_MAX, value)) return true;
  Error(command + ": '" + word + "' is not a size");
  return false;
}

bool Shell::Range(const std::string& command, const FlashArea& area, const char* area_name,
                  uint64_t address, uint64_t size) {
  if (area.Fits(address, size)) return true;
  Error(StringPrintf("%s: %" PRIu64 " bytes at 0x%08" PRIx64 " do not fit in the %s (%" PRIu32
                     " bytes)",
                     command.c_str(), size, address, area_name, area.size()));
  return false;
}

bool Shell::AddressAndSize(const std::string& command, const std::string& address_word,
                           const std::string& size_word, const FlashArea& area,
                           const char* area_name, uint64_t* address, uint64_t* size) {
  return Address(command, address_word, address) && Size(command, size_word, size) &&
         Range(command, area, area_name, *address, *size);
}

void Shell::SerialDown(const std::vector<std::string>& words) {
  const std::string command = "serialdown";
  if (words.size() < 3 || words.size() > 4 ||
      (words.size() == 4 && words[3] != "null" && words[3] != "yaffs2")) {
    Error("serialdown: usage: serialdown <address> <size> [null|yaffs2]");
    return;
  }
  uint64_t address, size;
  if (!AddressAndSize(command, words[1], words[2], *memory_.flash, "flash", &address, &size)) {
    return;
  }
  Receive receive;
  receive.area = memory_.flash.get();
  receive.address = static_cast<uint32_t>(address);
  receive.size = static_cast<uint32_t>(size);
  receive.result =
      StringPrintf("serialdown: wrote %" PRIu64 " bytes at 0x%08" PRIx64, size, address);
  BeginReceive(std::move(receive));
}

void Shell::SerialDump(const std::vector<std::string>& words) {
  const std::string command = "serialdump";
  if (words.size() != 3) {
    Error("serialdump: usage: serialdump <address> <size>");
    return;
  }
  uint64_t address, size;
  if (!AddressAndSize(command, words[1], words[2], *memory_.flash, "flash", &address, &size)) {
    return;
  }
  if (!options_.send_sta) {
    report_("serialdump answered without ~sta~ (--no-sta)");
    return;
  }
  if (!out_.Write("~sta~")) return;
  uint64_t send = size;
  if (options_.dump_stop_after >= 0) send = std::min<uint64_t>(size, options_.dump_stop_after);
  std::vector<uint8_t> chunk(kDumpChunk);
  std::string read_error;
  for (uint64_t done = 0; done < send;) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kDumpChunk, send - done));
    std::string error;
    if (!memory_.flash->Read(static_cast<uint32_t>(address + done), chunk.data(), n, &error)) {
      // The tool waits for exactly `size` bytes: keep the count, say so after.
      std::fill(chunk.begin(), chunk.begin() + n, 0xFF);
      if (read_error.empty()) read_error = error;
    }
    if (!out_.Write(chunk.data(), n)) return;
    done += n;
  }
  if (send < size) {
    report_(StringPrintf("dump stopped after %" PRIu64 " of %" PRIu64
                         " bytes (--dump-stop-after); silent until reset",
                         send, size));
    state_ = State::kSilent;
    return;
  }
  if (!options_.send_fin) {
    report_("serialdump sent its bytes without ~fin~ (--no-fin); silent until reset");
    state_ = State::kSilent;
    return;
  }
  out_.Write("~fin~\r\n");
  if (!read_error.empty()) {
    Error("serialdump: flash read failed, 0xFF sent instead: " + read_error);
  } else {
    Reply(StringPrintf("serialdump: sent %" PRIu64 " bytes from 0x%08" PRIx64, size, address));
  }
}

void Shell::FlashCommand(const std::vector<std::string>& words) {
  const std::string usage = "flash: usage: flash erase <start> <size> | flash eraseall";
  FlashArea& flash = *memory_.flash;
  std::string error;
  if (words.size() == 4 && words[1] == "erase") {
    const std::string command = "flash erase";
    uint64_t address, size;
    if (!AddressAndSize(command, words[2], words[3], flash, "flash", &address, &size)) return;
    if (!flash.Erase(static_cast<uint32_t>(address), static_cast<uint32_t>(size), &error)) {
      Error("flash erase: " + error);
      return;
    }
    Reply(StringPrintf("flash erase: erased %" PRIu64 " bytes at 0x%08" PRIx64, size, address));
  } else if (words.size() == 2 && words[1] == "eraseall") {
    if (!flash.Erase(0, flash.size(), &error)) {
      Error("flash eraseall: " + error);
      return;
    }
    Reply(StringPrintf("flash eraseall: erased %" PRIu32 " bytes", flash.size()));
  } else {
    Error(usage);
  }
}

void Shell::Config(const std::vector<std::string>& words) {
  if (words.size() == 3 && words[1] == "ip") {
    in_addr parsed;
    if (inet_pton(AF_INET, words[2].c_str(), &parsed) != 1) {
      Error("config ip: '" + words[2] + "' is not an IPv4 address");
      return;
    }
    box_ip_ = words[2];
    Reply("config ip: " + box_ip_);
  } else if (words.size() == 3 && words[1] == "tftpport") {
    uint64_t port;
    if (!ParseNumber(words[2], 65535, &port) || port == 0) {
      Error("config tftpport: '" + words[2] + "' is not a port (1 to 65535)");
      return;
    }
    tftp_port_ = static_cast<uint16_t>(port);
    Reply(StringPrintf("config tftpport: %u", tftp_port_));
  } else {
    Error("config: usage: config ip <address> | config tftpport <port>");
  }
}

void Shell::BeginReceive(Receive receive) {
  if (!options_.send_sta) {
    report_(receive.result.substr(0, receive.result.find(':')) +
            " answered without ~sta~ (--no-sta)");
    return;
  }
  receive_ = std::move(receive);
  if (!out_.Write("~sta~")) return;
  state_ = State::kReceive;
  // Nothing to take: done at once, and the line's own prompt follows.
  if (receive_.size == 0) FinishReceive(false);
}

size_t Shell::TakeReceive(const uint8_t* data, size_t size) {
  uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(size, receive_.size - receive_.done));
  std::string error;
  uint32_t address = receive_.address + receive_.done;
  bool written = receive_.program ? receive_.area->Program(address, data, take, &error)
                                  : receive_.area->Write(address, data, take, &error);
  if (!written && receive_.error.empty()) receive_.error = error;
  receive_.done += take;
  if (receive_.done == receive_.size) FinishReceive(true);
  return take;
}

void Shell::FinishReceive(bool prompt) {
  if (!options_.send_fin) {
    report_(receive_.result.substr(0, receive_.result.find(':')) +
            " took its bytes without ~fin~ (--no-fin); silent until reset");
    state_ = State::kSilent;
    return;
  }
  state_ = State::kLine;
  if (!out_.Write("~fin~\r\n")) return;
  if (!receive_.error.empty()) {
    std::string command = receive_.result.substr(0, receive_.result.find(':'));
    Error(command + ": writing failed, the area is incomplete: " + receive_.error);
  } else {
    Reply(receive_.result);
  }
  if (prompt) Prompt();
}
