// Translation of one tool command into the line sent to the loader's shell.
// The network rows (netdown, download, run, boot words) and load_conf_down
// live in files of their own.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cmdline/cmdline.h"
#include "device/boot.h"
#include "util/file_size.h"

namespace {

constexpr size_t kMaxCommandLength = 511;   // the shell line buffer holds 512 bytes
constexpr size_t kMaxFileNameLength = 499;  // the transfer's file name holds 500

bool Equal(const char* word, const char* text) { return std::strcmp(word, text) == 0; }

Status CheckFileName(const char* file) {
  size_t length = std::strlen(file);
  if (length <= kMaxFileNameLength) return Status::Ok();
  return Status::Error(
      StringPrintf("error: file name of %zu characters is too long (at most %zu): %s\n", length,
                   kMaxFileNameLength, file));
}

// A serial send of `file`: it must exist; its size goes into the line.
Status PrepareSend(const char* file) {
  Status name = CheckFileName(file);
  if (!name.ok()) return name;
  g_boot_info.file_name = file;
  g_boot_info.size = get_file_size(file);
  if (g_boot_info.size == kFileTooLarge) return Status::Error(FileTooLargeMessage(file));
  if (g_boot_info.size < 0) {
    return Status::Error(StringPrintf("file %s not find, please check.\n", file));
  }
  return Status::Ok();
}

// serialdown <address> <file> [yaffs2]
Status TranslateSerialDown(const std::string& command, int argc, char** argv, TransferMode* mode,
                           std::optional<std::string>* line) {
  if (argc < 3) {
    *line = command;
    return Status::Ok();
  }
  Status prepared = PrepareSend(argv[2]);
  if (!prepared.ok()) return prepared;
  std::string translated = StringPrintf("serialdown %s %d", argv[1], g_boot_info.size);
  if (argc == 4) translated += StringPrintf(" %s", argv[3]);
  *line = translated;
  *mode = TransferMode::kSerialSend;
  return Status::Ok();
}

// serialdump <address> <length> <file>; the length is read as strtol with base 0
// reads it and sent in decimal.
Status TranslateSerialDump(const std::string& command, int argc, char** argv, TransferMode* mode,
                           std::optional<std::string>* line) {
  if (argc < 4) {
    *line = command;
    return Status::Ok();
  }
  Status name = CheckFileName(argv[3]);
  if (!name.ok()) return name;
  errno = 0;
  long length = std::strtol(argv[2], nullptr, 0);
  // A negative or wrapped length would allocate nonsense and ask the box for
  // something else than the operator wrote.
  if (errno == ERANGE || length < 0 || length > INT32_MAX) {
    return Status::Error(StringPrintf(
        "error: serialdump length %s is out of range (0 to %d bytes).\n", argv[2], INT32_MAX));
  }
  g_boot_info.file_name = argv[3];
  g_boot_info.size = static_cast<int32_t>(length);
  *line = StringPrintf("serialdump %s %d", argv[1], g_boot_info.size);
  *mode = TransferMode::kSerialReceive;
  return Status::Ok();
}

// vk_otp and sflash_otp: "<name> write <address> <file>" is a serial send,
// the other recognised forms are rebuilt from their words, the rest passes
// unchanged.
Status TranslateOtp(const std::string& command, int argc, char** argv, TransferMode* mode,
                    std::optional<std::string>* line) {
  const char* name = argv[0];
  const bool sflash = Equal(name, "sflash_otp");
  *line = command;
  if (argc == 2) {
    const char* word = argv[1];
    if (Equal(word, "status") || Equal(word, "lock") ||
        (sflash && (Equal(word, "erase") || Equal(word, "getregion")))) {
      *line = StringPrintf("%s %s", name, word);
    }
  } else if (argc == 3 && sflash && Equal(argv[1], "setregion")) {
    *line = StringPrintf("%s %s %s", name, argv[1], argv[2]);
  } else if (argc == 4 && Equal(argv[1], "read")) {
    *line = StringPrintf("%s read %s %s", name, argv[2], argv[3]);
  } else if (argc == 4 && Equal(argv[1], "write")) {
    Status prepared = PrepareSend(argv[3]);
    if (!prepared.ok()) return prepared;
    *line = StringPrintf("%s write %s %d", name, argv[2], g_boot_info.size);
    *mode = TransferMode::kSerialSend;
  }
  return Status::Ok();
}

// Anything else: the words joined again, each followed by a blank.
void JoinWords(int argc, char** argv, std::optional<std::string>* line) {
  char* joined = argv2str(argc, argv);
  if (joined == nullptr) return;  // out of memory: untranslatable
  *line = joined;
  std::free(joined);
}

}  // namespace

Status Boot::cmd_parser(const std::string& command, TransferMode* mode,
                        std::optional<std::string>* line) {
  line->reset();
  if (command.size() > kMaxCommandLength) {
    return Status::Error(
        StringPrintf("error: command of %zu characters is too long (at most %zu): %.60s...\n",
                     command.size(), kMaxCommandLength, command.c_str()));
  }
  int argc = 0;
  char** argv = nullptr;
  const char* reason = nullptr;
  if (str2argv(command.c_str(), &argc, &argv, &reason) != 0) return Status::Ok();
  if (argc == 0) {
    // Blanks only, as after a final "; ": nothing to do.
    argv_free(&argc, &argv);
    *mode = TransferMode::kDone;
    return Status::Ok();
  }

  Status status = Status::Ok();
  const char* name = argv[0];
  if (Equal(name, "netdown") || Equal(name, "download")) {
    status = TranslateNetworkDownload(argc, argv, line);
  } else if (Equal(name, "run") || std::strncmp(name, "boot", 4) == 0) {
    status = TranslateBootp(argc, argv, line);
  } else if (Equal(name, "serialdown")) {
    status = TranslateSerialDown(command, argc, argv, mode, line);
  } else if (Equal(name, "serialdump")) {
    status = TranslateSerialDump(command, argc, argv, mode, line);
  } else if (Equal(name, "vk_otp") || Equal(name, "sflash_otp")) {
    status = TranslateOtp(command, argc, argv, mode, line);
  } else if (Equal(name, "load_conf_down")) {
    if (argc >= 3) {
      status = TranslateLoadConfDown(argc, argv, mode, line);
    } else {
      *line = command;
    }
  } else {
    JoinWords(argc, argv, line);
  }
  argv_free(&argc, &argv);
  return status;
}
