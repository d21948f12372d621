#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/status.h"

// The fewest bytes a loader can have: the ROM's head carries the image from
// byte 4 up to 12 bytes before the end of the head, so a shorter image has no
// head at all.
constexpr size_t kMinimumLoaderLength = 12;

// Reads the loader file given with -b (Boot::Loader, when use_boot_file is
// set) into `image`, replacing its content; `image` then owns the bytes until
// the caller drops them. The whole file is read; nothing in it is checked.
//
// Failures carry the text to print on standard output (exit code 1):
//   cannot be opened:  "can't find file <path>, please check whether it really exists or not.\n"
//   read error (also a directory): "error: cannot read loader file <path>: <reason>\n"
//   under 12 bytes:    "error: loader file <path> has <n> bytes, a loader has at least 12.\n"
//   2 GiB or more:     "error: loader file <path> is 2 GiB or larger, too large for a loader.\n"
// On failure `image` is left empty.
//
//   std::vector<uint8_t> image;
//   Status read = ReadLoaderFile(loader, &image);
//   if (!read.ok()) return read;
//   ... SendData(image.data(), static_cast<int>(image.size()), &accepted) ...
Status ReadLoaderFile(const std::string& path, std::vector<uint8_t>* image);

// The message for a machine name that is not in the table (also an empty
// name), the same one as for a loader file that cannot be opened.
std::string LoaderNotFoundMessage(const std::string& name);
