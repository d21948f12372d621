// load_conf_down: lays out a whole flash from a layout file or a merged
// image, with one erase and one download command per partition, each executed
// through RunOneCommand as if the operator had written it.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "cmdline/cmdline.h"
#include "device/boot.h"
#include "flash/flash_layout.h"
#include "flash/merge_image.h"

namespace {

// Removes the files a merged image was split into, on every way out.
class SplitDirectory {
 public:
  SplitDirectory(std::string image, std::string dir)
      : image_(std::move(image)), dir_(std::move(dir)) {}
  ~SplitDirectory() {
    if (!removed_) Status ignored = rm_split_dir(image_.c_str(), dir_.c_str());
  }
  SplitDirectory(const SplitDirectory&) = delete;
  SplitDirectory& operator=(const SplitDirectory&) = delete;

  Status Remove() {
    removed_ = true;
    return rm_split_dir(image_.c_str(), dir_.c_str());
  }

 private:
  std::string image_;
  std::string dir_;
  bool removed_ = false;
};

// The download line of a partition, as the operator would write it.
std::string DownloadLine(const char* method, const partition_slot& slot) {
  return StringPrintf("%s 0x%x \"%s\" %s\n", method, slot.entry->start, slot.file_path,
                      slot.entry->type == kTypeYaffs2 ? "yaffs2" : "");
}

// Whether the download line hands the file path on intact: a path with a
// double quote, or ending in a backslash, would be split differently. Checked
// for every partition before the first erase.
bool CarriesPath(const std::string& line, const char* path) {
  int argc = 0;
  char** argv = nullptr;
  const char* reason = nullptr;
  if (str2argv(line.c_str(), &argc, &argv, &reason) != 0) return false;
  bool intact = argc >= 3 && std::strcmp(argv[2], path) == 0;
  argv_free(&argc, &argv);
  return intact;
}

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

Status Boot::TranslateLoadConfDown(int argc, char** argv, TransferMode* mode,
                                   std::optional<std::string>* line) {
  const char* source = argv[1];
  const char* method = argv[2];
  line->reset();

  FILE* file = std::fopen(source, "rb");
  if (file == nullptr) {
    std::printf("error: fopen file(%s) failed\n", source);
    return Status::Ok();
  }
  char magic[sizeof kMergeMagic];
  size_t read = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  if (read < sizeof magic) {
    std::printf("error: fread file(%s) len(%d) failed\n", source, static_cast<int>(sizeof magic));
    return Status::Ok();
  }
  const bool merged = IsMergeMagic(magic);

  flash* loaded = nullptr;
  std::unique_ptr<SplitDirectory> split;
  if (std::strcmp(method, "usbdown") == 0) {
    if (merged) {
      std::printf("error: can't support 'load_conf_down <merge bin name> usbdown <usb_bin_path>'");
      return Status::Ok();
    }
    // The files are on the box's USB stick: the layout's names below the
    // given path there.
    Status status = LoadFlashLayout(source, argc > 3 ? argv[3] : "", &loaded);
    if (!status.ok()) return status;
  } else {
    std::string conf_name = source;
    if (merged) {
      std::string dir = SplitDirFor(source);
      conf_name.clear();
      Status status = image_split(source, dir.c_str(), &conf_name);
      // A refused image created nothing; after a failed write, what was
      // written goes again.
      struct stat created;
      if (status.ok() || stat(dir.c_str(), &created) == 0) {
        split = std::make_unique<SplitDirectory>(source, dir);
      }
      if (!status.ok()) return status;
      if (conf_name.empty()) {
        return Status::Error(StringPrintf("error: merge file(%s) holds no files\n", source));
      }
    }
    std::printf("conf_file_name:%s\n", conf_name.c_str());
    Status status = LoadFlashLayout(conf_name.c_str(), nullptr, &loaded);
    if (!status.ok()) return status;
  }
  FlashPtr layout(loaded);
  if (!layout) {
    std::printf("error: entry is null\n");
    return Status::Ok();
  }

  for (int i = 0; i < layout->count; ++i) {
    const partition_slot& slot = layout->slots[i];
    if (slot.image == nullptr || slot.file_path == nullptr) continue;
    if (!CarriesPath(DownloadLine(method, slot), slot.file_path)) {
      return Status::Error(StringPrintf(
          "error: partition %s: file path %s cannot be passed on in a command line; nothing was "
          "erased\n",
          slot.entry->name, slot.file_path));
    }
  }

  for (int i = 0; i < layout->count; ++i) {
    const partition_slot& slot = layout->slots[i];
    if (slot.image == nullptr) continue;  // zlib mode: a partition without its file
    std::string erase =
        StringPrintf("flash erase 0x%x 0x%x\n", slot.entry->start, slot.entry->part_size);
    Print(erase);
    Status status = RunOneCommand(erase, 1);
    if (!status.ok()) return status;
    if (slot.file_path == nullptr) continue;
    std::string download = DownloadLine(method, slot);
    Print(download);
    status = RunOneCommand(download, 1);
    if (!status.ok()) return status;
  }

  if (split) {
    Status removed = split->Remove();
    if (!removed.ok()) return removed;
  }
  // Every partition is done: nothing more goes to the box, no prompt is awaited.
  *mode = TransferMode::kDone;
  *line = std::string();
  return Status::Ok();
}
