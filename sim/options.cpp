#include "options.h"

#include <cstring>

#include "hex_digit.h"
#include "words.h"

namespace {

bool NumberOption(const std::string& name, const std::string& value, uint64_t min, uint64_t max,
                  uint64_t* out, std::string* error) {
  if (!ParseNumber(value, max, out) || *out < min) {
    *error = "option " + name + ": '" + value + "' is not a number from " + std::to_string(min) +
             " to " + std::to_string(max);
    return false;
  }
  return true;
}

}  // namespace

std::string ExpandEscapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x': {
        int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
          out += static_cast<char>(high * 16 + low);
          i += 2;
        } else {
          out += "\\x";
        }
        break;
      }
      default:
        out += '\\';
        out += c;
    }
  }
  return out;
}

ParseOutcome ParseOptions(int argc, const char* const* argv, SimOptions* options,
                          std::string* error) {
  RomOptions& rom = options->box.rom;
  ShellOptions& shell = options->box.shell;
  for (int i = 1; i < argc; i++) {
    std::string name = argv[i];
    std::string value;
    bool has_value = false;
    size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      has_value = true;
    }
    auto take_value = [&]() -> bool {
      if (has_value) return true;
      if (i + 1 >= argc) {
        *error = "option " + name + " needs a value";
        return false;
      }
      value = argv[++i];
      has_value = true;
      return true;
    };
    auto no_value = [&]() -> bool {
      if (!has_value) return true;
      *error = "option " + name + " takes no value";
      return false;
    };
    uint64_t number = 0;
    if (name == "--help" || name == "-h") {
      return ParseOutcome::kHelp;
    } else if (name == "--flash") {
      if (!take_value()) return ParseOutcome::kError;
      if (value.empty()) {
        *error = "option --flash needs a file name";
        return ParseOutcome::kError;
      }
      options->flash_path = value;
    } else if (name == "--flash-size") {
      if (!take_value() || !NumberOption(name, value, 1, 1u << 30, &number, error)) {
        return ParseOutcome::kError;
      }
      options->flash_size = static_cast<uint32_t>(number);
    } else if (name == "--baud") {
      if (!take_value() || !NumberOption(name, value, 0, 100000000, &number, error)) {
        return ParseOutcome::kError;
      }
      options->baud = static_cast<int>(number);
    } else if (name == "--link") {
      if (!take_value()) return ParseOutcome::kError;
      options->link = value;
    } else if (name == "--log") {
      if (!take_value()) return ParseOutcome::kError;
      options->log = value;
    } else if (name == "--usb") {
      if (!take_value()) return ParseOutcome::kError;
      shell.usb_dir = value;
    } else if (name == "--blksize") {
      if (!take_value() || !NumberOption(name, value, 8, 65464, &number, error)) {
        return ParseOutcome::kError;
      }
      shell.tftp_blksize = static_cast<uint32_t>(number);
    } else if (name == "--once") {
      if (!no_value()) return ParseOutcome::kError;
      options->once = true;
    } else if (name == "--rom-errors") {
      if (!take_value() || !NumberOption(name, value, 0, 1000000, &number, error)) {
        return ParseOutcome::kError;
      }
      rom.forced_error_passes = static_cast<int>(number);
    } else if (name == "--verdict") {
      if (!take_value()) return ParseOutcome::kError;
      if (value.size() == 1 && (value[0] < '0' || value[0] > '9')) {
        rom.verdict = static_cast<uint8_t>(value[0]);
      } else if (NumberOption(name, value, 0, 255, &number, error)) {
        rom.verdict = static_cast<uint8_t>(number);
      } else {
        return ParseOutcome::kError;
      }
    } else if (name == "--rom-variant") {
      if (!take_value()) return ParseOutcome::kError;
      if (value == "A" || value == "a") {
        rom.variant = RomVariant::kA;
      } else if (value == "B" || value == "b") {
        rom.variant = RomVariant::kB;
      } else if (value == "auto") {
        rom.variant = RomVariant::kAuto;
      } else {
        *error = "option --rom-variant: '" + value + "' is not A, B or auto";
        return ParseOutcome::kError;
      }
    } else if (name == "--no-get") {
      if (!no_value()) return ParseOutcome::kError;
      rom.send_get = false;
    } else if (name == "--no-prompt") {
      if (!no_value()) return ParseOutcome::kError;
      shell.prompt = false;
    } else if (name == "--no-sta") {
      if (!no_value()) return ParseOutcome::kError;
      shell.send_sta = false;
    } else if (name == "--no-fin") {
      if (!no_value()) return ParseOutcome::kError;
      shell.send_fin = false;
    } else if (name == "--dump-stop-after") {
      if (!take_value() || !NumberOption(name, value, 0, UINT32_MAX, &number, error)) {
        return ParseOutcome::kError;
      }
      shell.dump_stop_after = static_cast<int64_t>(number);
    } else if (name == "--noise") {
      if (!take_value()) return ParseOutcome::kError;
      shell.noise = ExpandEscapes(value);
    } else {
      *error = "unknown option '" + std::string(argv[i]) + "'";
      return ParseOutcome::kError;
    }
  }
  return ParseOutcome::kRun;
}

std::string HelpText() {
  return R"(Usage: stbsim [options]

A simulated set-top box on a pseudo-terminal, for the boot tool: its boot ROM
takes a loader upload, its loader shell serves the tool's commands, and its
flash lives in a file. The first line on standard output is the terminal's
path; give it to the tool with -d. See doc/stbsim.md.

Box:
  --flash FILE         keep the flash in FILE (created, extended with 0xFF to
                       the flash size; a larger file is refused). The OTP
                       areas live in FILE.vk_otp and FILE.sflash_otp, 4096
                       bytes each. Without --flash everything is in memory.
  --flash-size N       flash size in bytes (default 8388608 = 8 MiB; 0x...
                       and 0... accepted as in C)
  --baud N             pace both directions to N/10 bytes per second, as a
                       real 8N1 line at N baud does (default: unpaced)
  --link PATH          also make a symbolic link PATH to the terminal
                       (replaces a stale link; removed at exit)
  --log FILE           append a transcript to FILE: "rom head ...",
                       "rom verdict C", "shell LINE", "tftp FILE BYTES"
  --usb DIR            DIR plays the USB stick that usbdown reads from
  --blksize N          the TFTP client asks for N-byte blocks (8 to 65464);
                       default: no option, 512-byte blocks
  --rom-variant V      upload framing the ROM expects: A, B or auto
                       (default auto: told apart by the bytes after GET)
  --once               exit when the tool closes the port, instead of
                       resetting the box for another run

Faults, for tests:
  --rom-errors K       answer "E" to the first K good image passes, then "O"
                       (counted again after every reset)
  --verdict BYTE       answer BYTE instead of "O" to a good pass: a number
                       (0x41, 65) or one character
  --no-get             never answer the head with "GET"
  --no-prompt          after the upload, print the banner but never "boot> "
  --no-sta             answer transfer lines without "~sta~"
  --no-fin             end transfers without "~fin~", then fall silent
  --dump-stop-after N  a serialdump sends only N bytes, then nothing more
  --noise TEXT         print TEXT before the first prompt (\n, \r, \t, \\,
                       \xNN are expanded)

  --help               this text

The box ends cleanly on SIGTERM or SIGINT: it flushes the flash files and
removes the link.
)";
}
