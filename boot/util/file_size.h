#pragma once

#include <cstdint>
#include <string>

// The result of get_file_size for a file that exists but holds 2 GiB or more,
// whose size does not fit the result. It is negative like the "cannot be read"
// result, so a caller that only tests for a negative size still refuses the
// file and never works with a wrapped size; a caller that names the reason
// tests for this value first and prints FileTooLargeMessage.
constexpr int32_t kFileTooLarge = -2;

// The size in bytes of the file at `path`, from its status (a directory gives
// its status size). -1 when the status cannot be read (missing file, no
// access); kFileTooLarge when the size is 2 GiB or more.
int32_t get_file_size(const char* path);

// The tool's message for a file refused because of kFileTooLarge, with a line end.
std::string FileTooLargeMessage(const std::string& path);
