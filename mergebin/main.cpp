// mergebin: packs a flash layout file and the files it names into one merged
// image, lists a merged image's entries, and prints a layout as boot loads it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "flash/flash_layout.h"
#include "flash/merge_image.h"
#include "util/file_map.h"

namespace {

constexpr const char* kUsage =
    "Usage: mergebin pack <layout.conf> -o <merged image>\n"
    "       mergebin list <merged image>\n"
    "       mergebin info <layout.conf | merged image>\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 1;
}

int Fail(const Status& status) {
  std::fflush(stdout);
  std::fputs(status.message().c_str(),
             status.stream() == Status::Stream::kStderr ? stderr : stdout);
  return 1;
}

void PrintEntries(const std::string& image, const std::vector<MergeEntry>& entries) {
  std::printf("%s: %zu entries\n", image.c_str(), entries.size());
  std::printf("%3s  %-32s  %10s  %10s\n", "#", "NAME", "OFFSET", "LENGTH");
  for (size_t i = 0; i < entries.size(); ++i) {
    std::printf("%3zu  %-32s  0x%08x  %10u\n", i, entries[i].name.c_str(), entries[i].offset,
                entries[i].length);
  }
}

int Pack(const char* conf, const char* output) {
  std::vector<MergeEntry> entries;
  Status packed = image_pack(conf, output, &entries);
  if (!packed.ok()) return Fail(packed);
  PrintEntries(output, entries);
  return 0;
}

int List(const char* image) {
  unsigned size = 0;
  void* view = x_fmmap(image, &size);
  if (view == nullptr) return 1;  // x_fmmap has said why
  const auto* bytes = static_cast<const uint8_t*>(view);
  Status status = Status::Ok();
  std::vector<MergeEntry> entries;
  if (size < sizeof kMergeMagic || !IsMergeMagic(bytes)) {
    status = Status::Error(StringPrintf("error: %s is not a merged image\n", image));
  } else {
    status = ParseMergeTable(bytes, size, image, "", &entries);
  }
  x_munmap(view, size);
  if (!status.ok()) return Fail(status);
  PrintEntries(image, entries);
  return 0;
}

bool StartsWithMagic(const char* path) {
  char magic[sizeof kMergeMagic];
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  bool merged = std::fread(magic, 1, sizeof magic, file) == sizeof magic && IsMergeMagic(magic);
  std::fclose(file);
  return merged;
}

int Info(const char* path) {
  std::string conf = path;
  std::string scratch;
  if (StartsWithMagic(path)) {
    char pattern[] = "/tmp/mergebin.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      std::printf("error: can't create a scratch directory: %s\n", ErrnoText(errno).c_str());
      return 1;
    }
    scratch = pattern;
    conf.clear();
    Status split = image_split(path, scratch.c_str(), &conf);
    if (split.ok() && conf.empty()) {
      split = Status::Error(StringPrintf("error: merge file(%s) holds no files\n", path));
    }
    if (!split.ok()) {
      static_cast<void>(rm_split_dir(path, scratch.c_str()));
      return Fail(split);
    }
  }
  flash* loaded = nullptr;
  Status status = LoadFlashLayout(conf.c_str(), nullptr, &loaded);
  FlashPtr layout(loaded);
  if (status.ok() && layout) flash_printf(layout.get());
  if (!scratch.empty()) {
    Status removed = rm_split_dir(path, scratch.c_str());
    if (status.ok()) status = removed;
  }
  if (!status.ok()) return Fail(status);
  return layout ? 0 : 1;  // a misaligned MINIFS partition: its message is printed
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "pack") == 0 && std::strcmp(argv[3], "-o") == 0) {
    return Pack(argv[2], argv[4]);
  }
  if (argc == 3 && std::strcmp(argv[1], "list") == 0) return List(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
  return Usage();
}
