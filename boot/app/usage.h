#pragma once

#include <string>

// The two version texts, each with its line end (standard output).
extern const char kVersionText[];      // -v
extern const char kLongVersionText[];  // -V

// The usage text, every line with its line end; `machines` is the machine
// list of Boot::GetMachines.
std::string UsageText(const std::string& machines);

// Prints the usage text on standard error.
void boot_usage_detailed(const std::string& machines);
