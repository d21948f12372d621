// The shell's USB, OTP and network commands (the serial transfers, flash and
// config commands are in shell.cpp).

#include <arpa/inet.h>

#include <cinttypes>
#include <cstring>
#include <fstream>
#include <iterator>

#include "shell.h"
#include "string_printf.h"
#include "usb_storage.h"
#include "words.h"

namespace {

constexpr uint64_t kProgressStep = 64 * 1024;

bool IsIpv4(const std::string& text) {
  in_addr parsed;
  return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

}  // namespace

void Shell::UsbDown(const std::vector<std::string>& words) {
  const std::string command = "usbdown";
  if (words.size() < 3 || words.size() > 4) {
    Error("usbdown: usage: usbdown <address> <file> [null|yaffs2]");
    return;
  }
  if (options_.usb_dir.empty()) {
    Error("usbdown: no USB storage attached");
    return;
  }
  uint64_t address;
  if (!Address(command, words[1], &address)) return;
  std::string path, error;
  if (!ResolveUsbPath(options_.usb_dir, words[2], &path, &error)) {
    Error("usbdown: " + error);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) {
    Error("usbdown: cannot read '" + words[2] + "'");
    return;
  }
  if (!Range(command, *memory_.flash, "flash", address, bytes.size())) return;
  if (!memory_.flash->Write(static_cast<uint32_t>(address), bytes.data(),
                            static_cast<uint32_t>(bytes.size()), &error)) {
    Error("usbdown: writing failed, the area is incomplete: " + error);
    return;
  }
  Reply(StringPrintf("usbdown: wrote %zu bytes from %s at 0x%08" PRIx64, bytes.size(),
                     words[2].c_str(), address));
}

void Shell::Otp(const std::vector<std::string>& words) {
  const std::string& name = words[0];
  const bool serial_flash = name == "sflash_otp";
  OtpArea& otp = serial_flash ? memory_.sflash_otp : memory_.vk_otp;
  const std::string verb = words.size() > 1 ? words[1] : "";
  if (words.size() == 2 && verb == "status") {
    std::string state = otp.locked ? "locked" : "unlocked";
    if (serial_flash) state += StringPrintf(", region %" PRIu32, otp.region);
    Reply(name + ": " + state);
  } else if (words.size() == 2 && verb == "lock") {
    otp.locked = true;
    Reply(name + ": locked");
  } else if (words.size() == 4 && verb == "read") {
    OtpRead(name, otp, words);
  } else if (words.size() == 4 && verb == "write") {
    OtpWrite(name, otp, words);
  } else if (serial_flash && words.size() == 2 && verb == "erase") {
    std::string error;
    if (otp.locked) {
      Error(name + " erase: the OTP area is locked");
    } else if (!otp.area->Erase(0, otp.area->size(), &error)) {
      Error(name + " erase: " + error);
    } else {
      Reply(name + ": erased");
    }
  } else if (serial_flash && words.size() == 2 && verb == "getregion") {
    Reply(StringPrintf("%s: region %" PRIu32, name.c_str(), otp.region));
  } else if (serial_flash && words.size() == 3 && verb == "setregion") {
    uint64_t region;
    if (!ParseNumber(words[2], 3, &region)) {
      Error(name + " setregion: '" + words[2] + "' is not a region (0 to 3)");
      return;
    }
    otp.region = static_cast<uint32_t>(region);
    Reply(StringPrintf("%s: region %" PRIu32, name.c_str(), otp.region));
  } else if (serial_flash) {
    Error(name + ": usage: " + name +
          " status|lock|erase|getregion|setregion <n>|read <address> <size>|"
          "write <address> <size>");
  } else {
    Error(name + ": usage: " + name + " status|lock|read <address> <size>|write <address> <size>");
  }
}

void Shell::OtpRead(const std::string& name, OtpArea& otp, const std::vector<std::string>& words) {
  const std::string command = name + " read";
  uint64_t address, size;
  if (!AddressAndSize(command, words[2], words[3], *otp.area, "OTP area", &address, &size)) return;
  std::vector<uint8_t> bytes(size);
  std::string error;
  if (!otp.area->Read(static_cast<uint32_t>(address), bytes.data(), static_cast<uint32_t>(size),
                      &error)) {
    Error(command + ": " + error);
    return;
  }
  // Hex lines of 16 bytes, each led by its address.
  for (uint64_t line = 0; line < size; line += 16) {
    std::string text = StringPrintf("0x%03" PRIx64 ":", address + line);
    for (uint64_t i = line; i < size && i < line + 16; i++) text += StringPrintf(" %02x", bytes[i]);
    if (!Reply(text)) return;
  }
}

void Shell::OtpWrite(const std::string& name, OtpArea& otp, const std::vector<std::string>& words) {
  const std::string command = name + " write";
  if (otp.locked) {
    Error(command + ": the OTP area is locked");
    return;
  }
  uint64_t address, size;
  if (!AddressAndSize(command, words[2], words[3], *otp.area, "OTP area", &address, &size)) return;
  Receive receive;
  receive.area = otp.area.get();
  receive.program = true;
  receive.address = static_cast<uint32_t>(address);
  receive.size = static_cast<uint32_t>(size);
  receive.result = StringPrintf("%s: programmed %" PRIu64 " bytes at 0x%03" PRIx64, command.c_str(),
                                size, address);
  BeginReceive(std::move(receive));
}

bool Shell::NetworkFetch(const std::string& command, const std::string& server,
                         const std::string& file, uint64_t limit, FetchResult* result) {
  if (network_ == nullptr) {
    Error(command + ": no network support");
    return false;
  }
  if (!IsIpv4(server)) {
    Error(command + ": '" + server + "' is not an IPv4 address");
    return false;
  }
  if (!Reply(StringPrintf("%s: fetching %s from %s:%u", command.c_str(), file.c_str(),
                          server.c_str(), tftp_port_))) {
    return false;
  }
  FetchRequest request;
  request.server = server;
  request.port = tftp_port_;
  request.file = file;
  request.blksize = options_.tftp_blksize;
  request.limit = limit;
  uint64_t dots = 0;
  *result = network_->Fetch(request, [&](uint64_t bytes) {
    // One dot per 64 KiB, as a live sign on the console.
    while (dots < bytes / kProgressStep) {
      out_.Write(".");
      dots++;
    }
  });
  if (dots > 0) out_.Write("\r\n");
  if (!result->ok) {
    Error(command + ": " + result->error);
    return false;
  }
  log_.Tftp(file, result->data.size());
  return true;
}

void Shell::PartitionDownload(const std::vector<std::string>& words) {
  const std::string command = "partition download";
  if (words.size() < 6 || words.size() > 7 || words[1] != "download") {
    Error(
        "partition: usage: partition download <address> <pc address> \"<file>\" <size> "
        "[null|yaffs2]");
    return;
  }
  uint64_t address;
  if (!Address(command, words[2], &address)) return;
  // The tool announces -1 for a file it could not find; the fetch then fails.
  bool size_known = words[5] != "-1";
  uint64_t size = 0;
  if (size_known && (!Size(command, words[5], &size) ||
                     !Range(command, *memory_.flash, "flash", address, size))) {
    return;
  }
  if (!Range(command, *memory_.flash, "flash", address, 0)) return;
  FetchResult fetched;
  if (!NetworkFetch(command, words[3], words[4], memory_.flash->size() - address, &fetched)) {
    return;
  }
  const std::vector<uint8_t>& data = fetched.data;
  if (size_known && data.size() != size) {
    Error(StringPrintf("%s: received %zu bytes of %s, the line announced %" PRIu64
                       "; flash not written",
                       command.c_str(), data.size(), words[4].c_str(), size));
    return;
  }
  std::string error;
  if (!memory_.flash->Write(static_cast<uint32_t>(address), data.data(),
                            static_cast<uint32_t>(data.size()), &error)) {
    Error(command + ": writing failed, the area is incomplete: " + error);
    return;
  }
  Reply(StringPrintf("%s: wrote %zu bytes at 0x%08" PRIx64, command.c_str(), data.size(), address));
}

void Shell::Bootp(const std::vector<std::string>& words) {
  if (words.size() < 3 || words.size() > 4) {
    Error("bootp: usage: bootp <pc address> <file> [argument]");
    return;
  }
  FetchResult fetched;
  if (!NetworkFetch("bootp", words[1], words[2], options_.ram_size, &fetched)) return;
  uint32_t checksum = 0;
  for (uint8_t byte : fetched.data) checksum += byte;
  Reply(StringPrintf("bootp: loaded %zu bytes of %s, checksum 0x%08" PRIx32, fetched.data.size(),
                     words[2].c_str(), checksum));
}
