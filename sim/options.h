#pragma once

#include <cstdint>
#include <string>

#include "box.h"

// stbsim's command line.
struct SimOptions {
  std::string flash_path;          // --flash; empty: flash in memory
  uint32_t flash_size = 8u << 20;  // --flash-size
  int baud = 0;                    // --baud; 0: as fast as the terminal goes
  std::string link;                // --link
  std::string log;                 // --log
  bool once = false;               // --once
  BoxOptions box;
};

enum class ParseOutcome { kRun, kHelp, kError };

// Reads argv (options as "--name value" or "--name=value"). kError sets
// `error` to a one-line message naming the option.
ParseOutcome ParseOptions(int argc, const char* const* argv, SimOptions* options,
                          std::string* error);

// The text of --help.
std::string HelpText();

// Expands \n, \r, \t, \\ and \xNN in an option's text (--noise).
std::string ExpandEscapes(const std::string& text);
