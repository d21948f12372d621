#pragma once

// Merged images: one file that carries a flash layout file and every file it
// names (see doc/merged-image.md). image_split unpacks one into a directory,
// rm_split_dir removes what it unpacked, image_pack makes one.
//
// A merged image is untrusted input. Before anything is written its table is
// checked as a whole: it must fit in the file, every entry must lie inside the
// file, and every name must be a plain file name (no "/" or "\", not "." or
// "..", NUL-terminated within its 256 bytes) whose path in the directory has at
// most 254 characters. A table that fails any check refuses the whole image,
// so nothing is ever written or deleted outside the directory.

#include <cstdint>
#include <string>
#include <vector>

#include "util/status.h"

constexpr char kMergeMagic[8] = {'m', 'e', 'r', 'g', 'e', 'b', 'i', 'n'};
constexpr size_t kMergeHeaderSize = 12;      // magic and entry count
constexpr size_t kMergeEntrySize = 264;      // name, offset, length
constexpr size_t kMergeNameBytes = 256;      // name and its NUL
constexpr size_t kMaxSplitPathLength = 254;  // as the layout reader allows

// The directory that load_conf_down splits an image into: the image's
// directory (only "/" separates) with tmp.boot_split_dir as the last part.
constexpr const char* kSplitDirName = "tmp.boot_split_dir";
std::string SplitDirFor(const std::string& image);

struct MergeEntry {
  std::string name;
  uint32_t offset = 0;  // from the start of the image
  uint32_t length = 0;
};

// True when `bytes` (at least 8) begin with the magic.
bool IsMergeMagic(const void* bytes);

// Reads and checks the table of the merged image held in `image` (`size`
// bytes), named `path` in messages. `dir` is the directory the entries would
// be written into, for the path-length check (empty: no check).
Status ParseMergeTable(const uint8_t* image, uint32_t size, const char* path,
                       const std::string& dir, std::vector<MergeEntry>* entries);

// Unpacks the merged image `image` into `dir` (null: "<image>.split"), and
// sets *first to the path of the first unpacked file (the layout). An image
// with no entries writes nothing and leaves *first as it was. Fails, with the
// message to print, when the image cannot be read, is not a merged image, is
// damaged or untrusted (nothing written then), or a file cannot be created
// (files already written stay).
Status image_split(const char* image, const char* dir, std::string* first);

// Deletes from `dir` every file the merged image lists, then the directory.
// Warnings for what cannot be removed are printed and do not fail; it fails
// only when the image cannot be read or its table is damaged (then nothing is
// deleted).
Status rm_split_dir(const char* image, const char* dir);

// Packs the layout file `conf` and every file its partition lines name into
// the merged image `output`, the layout first. The layout is loaded (and so
// checked) first; it must name its files by plain names, and every file must
// be readable. `packed` receives the entries written.
Status image_pack(const char* conf, const char* output, std::vector<MergeEntry>* packed);
