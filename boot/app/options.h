#pragma once

#include <optional>
#include <string>

#include "util/status.h"

// The most characters a command text may have (the rest of its 1024-byte
// buffer is the terminating NUL). A longer one is refused, never cut.
constexpr size_t kMaxCommandLength = 1023;
// The most characters of a PC or box address.
constexpr size_t kMaxAddressLength = 31;

// What a boot command line asks for.
struct BootOptions {
  enum class Action {
    kRun,          // run the box
    kUsage,        // -h: the usage text, exit code 0
    kVersion,      // -v
    kLongVersion,  // -V
  };
  Action action = Action::kRun;
  std::string loader;                 // -m machine name or -b file; the last one given
  bool use_boot_file = false;         // set by the first -b, never cleared
  std::optional<std::string> device;  // -d
  std::string command;                // -c, then " " + each operand
  std::optional<std::string> pc_ip;   // -p or -e, the last one given
  std::optional<std::string> stb_ip;  // -s
};

// Parses the command line `argv[0..argc-1]`, options first: parsing stops at
// the first operand (or after "--"), and every word from there on is appended
// to the command text. -h, -v and -V end the parsing at once.
//
// A failure carries the whole text to print on standard error: for no
// arguments the usage text; for an unknown option or a missing value the
// diagnostic ("<argv[0]>: unknown option -- x" or "<argv[0]>: option requires
// an argument -- x") and the usage text; for a command text over 1023
// characters or an address over 31 a message saying so. The run then ends with
// exit code 1. Uses getopt, so it is for the main thread only.
Status ParseOptions(int argc, char** argv, BootOptions* options);
