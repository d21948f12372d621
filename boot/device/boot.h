#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/tftpd_param.h"
#include "serial/serial.h"
#include "util/status.h"

// What follows a shell line on the serial line.
enum class TransferMode : uint8_t {
  kPlain = 0,          // nothing: a plain shell command
  kSerialSend = 1,     // g_boot_info.size bytes of g_boot_info.file_name go to the box
  kSerialReceive = 2,  // g_boot_info.size bytes come from the box into g_boot_info.file_name
  kDone = 3,           // the command has already been carried out; send nothing more
};

// The pending serial transfer, filled by Boot::cmd_parser, read by RunOneCommand.
struct boot_info {
  std::string file_name;  // at most 499 characters
  int32_t size = 0;
};
extern boot_info g_boot_info;

// One run with one box: the open port, how the loader is named, whether
// unmatched box output is echoed, and the TFTP server's parameters. There is
// one per process, used by the main thread only.
class Boot {
 public:
  Boot();
  ~Boot();  // stops the TFTP server
  Boot(const Boot&) = delete;
  Boot& operator=(const Boot&) = delete;

  // Chooses, opens and configures the port (115200 8N1). `device` null probes.
  Status SetSerial(const char* device);
  // Uses an already built port, for tests.
  void SetSerial(std::unique_ptr<Serial> port) { serial = std::move(port); }

  // Machine table lookup: 0 with the image and its length, -1 when not found.
  int get_boot(const char* machine, const uint8_t** image, uint32_t* length);
  // The names of all machines separated by "|".
  static std::string GetMachines();

  // Waits for `text` from the box; 0 when it arrived, -1 after `timeout_seconds`
  // of silence (0: no time-out). Unmatched bytes are echoed when `echo` is set.
  int Wait(const char* text, int timeout_seconds);
  // Uploads an image in the ROM's framing. `accepted` is false when the ROM
  // answered an unexpected verdict byte. Fails when "GET" never comes.
  Status SendData(const uint8_t* image, int length, bool* accepted);
  // Waits for the ROM, uploads the loader named `loader` and waits for the prompt.
  Status Loader(const std::string& loader);

  // Translates one tool command into the shell line to send. `line` is empty
  // when the command cannot be translated ("parse command error" follows).
  Status cmd_parser(const std::string& command, TransferMode* mode,
                    std::optional<std::string>* line);
  // Runs every command of `text` (separated by ';').
  Status Command(const std::string& text, int wait);
  // Translates and executes one tool command; with `wait` 1 it returns after
  // the prompt has been seen again.
  Status RunOneCommand(const std::string& command, int wait);
  // Tells the loader its address and the TFTP port.
  Status NetConfig();

  // True once a failure that lets the run go on (short read of a file to send,
  // short write of a dump, failed allocation) has happened: the run then ends
  // with exit code 1 although every command ran.
  bool had_soft_failure() const { return soft_failure_; }

  std::unique_ptr<Serial> serial;
  bool use_boot_file = false;
  bool echo = true;
  tftpd_param tftpd;

 private:
  // Rows of the translation table kept in files of their own.
  Status TranslateNetworkDownload(int argc, char** argv, std::optional<std::string>* line);
  Status TranslateBootp(int argc, char** argv, std::optional<std::string>* line);
  Status TranslateLoadConfDown(int argc, char** argv, TransferMode* mode,
                               std::optional<std::string>* line);

  // Writes all `count` bytes to the port; a port that takes fewer (unplugged,
  // broken) fails the run rather than losing data silently.
  Status WriteToBox(const void* bytes, int count);
  // Executes the serial send (mode 1) and receive (mode 2) of a shell line.
  Status SendFile(const std::string& line, int wait);
  Status ReceiveFile(const std::string& line, int wait);
  // Sends a shell line, with a line feed unless it ends in one.
  Status SendLine(const std::string& line);

  bool soft_failure_ = false;
  friend class BootTestPeer;
};
