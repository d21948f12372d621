#include "flash/flash_layout.h"

#include <libgen.h>
#include <strings.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "coding.h"
#include "util/file_map.h"
#include "util/number.h"
#include "util/text.h"

namespace {

constexpr table_format kFormat1 = {1, 0xAABCDEFA, 0x200, 12};
constexpr table_format kFormat2 = {2, 0xDD1C2BFA, 0x400, 24};

constexpr int kLineBytes = 1023;  // fgets reads at most 1022 characters a piece
constexpr size_t kMaxPathLength = 254;
constexpr size_t kMaxKeyFileLength = 99;
constexpr uint32_t kAlignment = 0x10000;

// Constant-initialised, so the exported functions work even when called before
// the executable's own constructors have run.
bool g_key_file_message_shown = false;

bool IsAuto(const char* word) { return std::strcmp(word, "auto") == 0; }

uint8_t ParseType(const char* word) {
  static constexpr struct {
    const char* name;
    uint8_t code;
  } kTypes[] = {
      {"RAW", kTypeRaw},       {"CRAMFS", kTypeCramfs}, {"ROMFS", kTypeRomfs},
      {"JFFS2", kTypeJffs2},   {"YAFFS2", kTypeYaffs2}, {"YAFFS", kTypeYaffs2},
      {"MINIFS", kTypeMinifs}, {"RAMFS", kTypeRamfs},   {"HIDE", kTypeHide},
  };
  for (const auto& type : kTypes) {
    if (strcasecmp(word, type.name) == 0) return type.code;
  }
  return kTypeRaw;
}

// Words of a line separated by blanks and tabs.
std::vector<std::string> SplitWords(const char* line) {
  std::vector<std::string> words;
  const char* p = line;
  while (*p != '\0') {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    const char* begin = p;
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    words.emplace_back(begin, p);
  }
  return words;
}

std::string DirectoryOf(const char* path) {
  std::string copy = path;
  return dirname(copy.data());
}

// The extend-info block of one partition, kept until the images are built.
struct ExtendInfo {
  bool present = false;
  std::array<uint8_t, kExtendInfoSize> bytes{};
};

class LayoutLoader {
 public:
  LayoutLoader(const char* conf, std::string basedir) : conf_(conf), basedir_(std::move(basedir)) {}

  Status Load(FlashPtr* result);

 private:
  Status ReadFile(FILE* file);
  Status KeyLine(const char* key, const std::vector<std::string>& words);
  Status PartitionLine(const std::vector<std::string>& words);
  Status FormPath(const std::string& name, std::string* path) const;
  Status ResolveAuto(bool* minifs_misaligned);
  Status CheckSizes();
  Status CheckFiles();
  Status BuildImages();
  Status Fail(const std::string& message) const {
    return Status::Error(message + StringPrintf("please check the config of %s\n\n", conf_));
  }

  const char* conf_;
  std::string basedir_;
  int line_number_ = 0;
  flash* layout_ = nullptr;
  std::array<uint32_t, kFlashSlots> written_size_{};  // size field, kAuto for "auto"
  std::array<ExtendInfo, kFlashSlots> extend_{};
  std::string key_file_;
  bool key_file_given_ = false;
};

Status LayoutLoader::Load(FlashPtr* result) {
  FILE* file = std::fopen(conf_, "r");
  if (file == nullptr) {
    return Status::Error(StringPrintf("error: can't open file \"%s\"!\n", conf_));
  }
  FlashPtr layout(static_cast<flash*>(std::calloc(1, sizeof(flash))));
  if (!layout) {
    std::fclose(file);
    return Status::Error("error: out of memory\n");
  }
  layout_ = layout.get();
  Status read = ReadFile(file);
  std::fclose(file);
  if (!read.ok()) return read;
  std::printf("\n");

  if (layout_->count == 0) {
    return Status::Error(StringPrintf("error: no partition line in \"%s\"\n", conf_));
  }
  bool minifs_misaligned = false;
  Status status = ResolveAuto(&minifs_misaligned);
  if (!status.ok()) return status;
  if (minifs_misaligned) {
    std::printf("minifs start address must be aligned 64K\n");
    result->reset();
    return Status::Ok();
  }
  status = CheckSizes();
  if (status.ok()) status = CheckFiles();
  if (!status.ok()) return status;

  layout_->magic = table_sect.magic;
  layout_->count8 = static_cast<uint8_t>(layout_->count);
  flash_sort(layout_);
  status = BuildImages();
  if (!status.ok()) return status;
  *result = std::move(layout);
  return Status::Ok();
}

Status LayoutLoader::ReadFile(FILE* file) {
  static constexpr const char* kKeys[] = {"flash_size",    "block_size",   "table_enable",
                                          "write_protect", "crc32",        "zlibmode",
                                          "key_file",      "table_version"};
  char buffer[kLineBytes];
  bool line_ended = true;
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
    // A piece of an overlong line counts as a line of its own but keeps the
    // line number of the line it came from.
    if (line_ended) ++line_number_;
    line_ended = std::strchr(buffer, '\n') != nullptr;
    char* line = trim(buffer);
    if (line[0] == '\0' || line[0] == '#') continue;
    const char* key = nullptr;
    for (const char* candidate : kKeys) {
      if (strncasecmp(line, candidate, std::strlen(candidate)) == 0) {
        key = candidate;
        break;
      }
    }
    Status status =
        key != nullptr ? KeyLine(key, SplitWords(line)) : PartitionLine(SplitWords(line));
    if (!status.ok()) return status;
  }
  return Status::Ok();
}

Status LayoutLoader::KeyLine(const char* key, const std::vector<std::string>& words) {
  if (words.size() < 2) {
    return Status::Error(StringPrintf("error: %s:%d: %s has no value\n", conf_, line_number_, key));
  }
  const char* value = words[1].c_str();
  auto number = [value] { return static_cast<uint32_t>(str2int(value)); };
  if (std::strcmp(key, "flash_size") == 0) {
    layout_->flash_size = number();
  } else if (std::strcmp(key, "block_size") == 0) {
    layout_->block_size = number();
  } else if (std::strcmp(key, "table_enable") == 0) {
    layout_->table_enable = str2bool(value);
  } else if (std::strcmp(key, "write_protect") == 0) {
    layout_->write_protect = str2bool(value);
  } else if (std::strcmp(key, "crc32") == 0) {
    layout_->crc32_enable = str2bool(value);
  } else if (std::strcmp(key, "zlibmode") == 0) {
    layout_->zlib_mode = str2bool(value);
  } else if (std::strcmp(key, "key_file") == 0) {
    // A longer name would be cut and name another file.
    if (words[1].size() > kMaxKeyFileLength) {
      return Status::Error(
          StringPrintf("error: %s:%d: key_file name is longer than %zu characters\n", conf_,
                       line_number_, kMaxKeyFileLength));
    }
    key_file_ = words[1];
    key_file_given_ = true;
  } else {  // table_version
    layout_->table_version = static_cast<int32_t>(str2int(value));
    SelectTableFormat(layout_->table_version);
  }
  return Status::Ok();
}

Status LayoutLoader::FormPath(const std::string& name, std::string* path) const {
  *path = basedir_ + "/" + name;
  // A cut path would silently name another file.
  if (path->size() > kMaxPathLength) {
    return Status::Error(StringPrintf("error: %s:%d: path %s is longer than %zu characters\n",
                                      conf_, line_number_, path->c_str(), kMaxPathLength));
  }
  return Status::Ok();
}

Status LayoutLoader::PartitionLine(const std::vector<std::string>& words) {
  auto word = [&words](size_t position) -> const char* {
    return position <= words.size() ? words[position - 1].c_str() : nullptr;
  };
  if (layout_->count >= kFlashSlots) {
    return Status::Error(
        StringPrintf("No more than %d the number of partitions.\n", table_sect.max_partitions));
  }
  int index = layout_->count;
  partition_slot& slot = layout_->slots[index];
  partition_entry& entry = layout_->entries[index];
  slot.entry = &entry;
  std::strncpy(entry.name, word(1), sizeof entry.name - 1);
  bool is_table = strcasecmp(entry.name, "table") == 0;

  std::string file_name;
  if (const char* file = word(2)) {
    if (strcasecmp(file, "NULL") != 0) {
      file_name = file;
    } else if (is_table) {
      file_name = "table.bin";
    }
  }
  if (const char* option = word(3)) entry.option_flag = str2bool(option);
  if (const char* type = word(4)) entry.type = ParseType(type);
  if (const char* mode = word(5))
    entry.mode = strcasecmp(mode, "rw") == 0 ? kModeReadWrite : kModeReadOnly;
  if (const char* update = word(6)) entry.update = static_cast<uint8_t>(str2int(update));
  if (const char* version = word(7)) entry.version = static_cast<uint16_t>(str2int(version));
  if (const char* start = word(8))
    entry.start = IsAuto(start) ? kAuto : static_cast<uint32_t>(str2int(start));
  if (const char* size = word(9))
    written_size_[index] = IsAuto(size) ? kAuto : static_cast<uint32_t>(str2int(size));
  uint32_t extend_flag = 0;
  if (const char* extend = word(10)) extend_flag = static_cast<uint32_t>(str2int(extend));
  if (const char* reserved = word(11); reserved != nullptr && table_sect.version == 2) {
    entry.reserved_size = IsAuto(reserved) ? kAuto : static_cast<uint32_t>(str2int(reserved));
  }

  if (!file_name.empty()) {
    std::string path;
    Status formed = FormPath(file_name, &path);
    if (!formed.ok()) return formed;
    slot.file_path = strdup(path.c_str());
    unsigned size = 0;
    // On failure x_fmmap's message is the only trace: the partition has no image.
    if (void* view = x_fmmap(path.c_str(), &size)) {
      slot.image = static_cast<uint8_t*>(std::malloc(size));
      if (slot.image == nullptr) {
        x_munmap(view, size);
        return Status::Error(StringPrintf("error: out of memory for %s\n", path.c_str()));
      }
      std::memcpy(slot.image, view, size);
      entry.file_size = size;
      x_munmap(view, size);
    }
  }

  if (extend_flag != 0) {
    if (entry.mode != kModeReadOnly) {
      std::printf("warning: extend_flag is not 0 when partition mode is not ro, please check\n");
    } else {
      ExtendInfo& extend = extend_[index];
      extend.present = true;
      uint8_t* block = extend.bytes.data();
      std::memset(block, 0xFF, kExtendInfoSize);
      EncodeFixed32(block, entry.file_size);
      std::memcpy(block + 264, "extd", 4);
      uint32_t flags = 0xFFFFFFFF;
      if (slot.image != nullptr) {
        if (extend_flag & 1) {
          flags &= ~1u;
          EncodeFixed32(block + 260, 0);
        }
        if (extend_flag & 2) {
          std::string key_path;
          Status formed = FormPath(key_file_given_ ? key_file_ : "key.pri", &key_path);
          if (!formed.ok()) return formed;
          if (!g_key_file_message_shown) {
            g_key_file_message_shown = true;
            if (key_file_given_) {
              std::printf("signature key file name is %s\n", key_path.c_str());
            } else {
              std::printf("it is not indicates signature key file, use default %s\n",
                          key_path.c_str());
            }
          }
          flags &= ~2u;
        }
      } else {
        std::printf("%s:%d buf is NULL.\n", "flash_load_conf", 420);
      }
      EncodeFixed32(block + 268, flags);
    }
  }

  ++layout_->count;
  if (layout_->count > table_sect.max_partitions) {
    return Status::Error(
        StringPrintf("No more than %d the number of partitions.\n", table_sect.max_partitions));
  }
  return Status::Ok();
}

Status LayoutLoader::ResolveAuto(bool* minifs_misaligned) {
  for (int i = 0; i < layout_->count; ++i) {
    partition_entry& entry = layout_->entries[i];
    if (written_size_[i] == kAuto) written_size_[i] = entry.file_size;
    if (entry.reserved_size == kAuto) entry.reserved_size = 0;
    if (i == 0) {
      if (entry.start == kAuto) entry.start = 0;
      continue;
    }
    const partition_entry& previous = layout_->entries[i - 1];
    if (entry.start == kAuto) {
      uint32_t end = previous.start + written_size_[i - 1];
      entry.start = (end + kAlignment - 1) & ~(kAlignment - 1);
    }
    if (strcasecmp(entry.name, "table") == 0) {
      layout_->table_enable = 1;
      layout_->table_address = entry.start;
    }
    if (entry.type == kTypeMinifs && entry.start % kAlignment != 0) {
      *minifs_misaligned = true;
      return Status::Ok();
    }
  }
  // Each size is taken from the next start: a partition listed out of order
  // would get a wrapped size.
  for (int i = 1; i < layout_->count; ++i) {
    const partition_entry& previous = layout_->entries[i - 1];
    const partition_entry& entry = layout_->entries[i];
    if (entry.start < previous.start) {
      return Fail(StringPrintf(
          "error: partition %s (START = 0x%x) is listed after partition %s (START = 0x%x); "
          "partitions must be listed in ascending order of start address\n",
          entry.name, entry.start, previous.name, previous.start));
    }
  }
  return Status::Ok();
}

Status LayoutLoader::CheckSizes() {
  uint32_t sum = 0;
  for (int i = 0; i < layout_->count; ++i) {
    partition_entry& entry = layout_->entries[i];
    bool last = i + 1 == layout_->count;
    uint32_t end = last ? layout_->flash_size : layout_->entries[i + 1].start;
    entry.total_size = end - entry.start;
    sum += entry.total_size;
    if (sum > layout_->flash_size) {
      return Status::Error(
          StringPrintf("Total partition size is %d, out flash size %d, please check.\n",
                       static_cast<int>(sum), static_cast<int>(layout_->flash_size)));
    }
    // The last size wraps when the last partition starts beyond the flash,
    // and the wrapped sum can slip under the flash size.
    if (last && entry.start > layout_->flash_size) {
      return Fail(StringPrintf("error: partition %s (START = 0x%x) is beyond the flash size 0x%x\n",
                               entry.name, entry.start, layout_->flash_size));
    }
    if (entry.total_size < entry.reserved_size) {
      return Fail(StringPrintf("error: partition %s (RESERVED size = 0x%x) > (TOTAL size = 0x%x)\n",
                               entry.name, entry.reserved_size, entry.total_size));
    }
    entry.part_size = entry.total_size - entry.reserved_size;
    layout_->slots[i].checked = 1;
  }
  return Status::Ok();
}

Status LayoutLoader::CheckFiles() {
  for (int i = 0; i < layout_->count; ++i) {
    const partition_entry& entry = layout_->entries[i];
    if (entry.file_size > entry.part_size) {
      return Fail(StringPrintf("error: partition %s (FILE size = 0x%x) > (PART size = 0x%x)\n",
                               entry.name, entry.file_size, entry.part_size));
    }
    // The extend-info block is written over the last bytes of the image: it
    // must neither run off the image's front nor overwrite the file.
    bool gets_image = !layout_->zlib_mode || layout_->slots[i].image != nullptr;
    if (!extend_[i].present || !gets_image) continue;
    if (entry.part_size < kExtendInfoSize) {
      return Fail(StringPrintf(
          "error: partition %s (PART size = 0x%x) has no room for its extend info (0x%x bytes)\n",
          entry.name, entry.part_size, kExtendInfoSize));
    }
    if (entry.file_size > entry.part_size - kExtendInfoSize) {
      return Fail(StringPrintf(
          "error: partition %s (FILE size = 0x%x) overlaps its extend info at 0x%x "
          "(PART size = 0x%x)\n",
          entry.name, entry.file_size, entry.part_size - kExtendInfoSize, entry.part_size));
    }
  }
  return Status::Ok();
}

Status LayoutLoader::BuildImages() {
  for (int i = 0; i < layout_->count; ++i) {
    partition_slot& slot = layout_->slots[i];
    partition_entry& entry = *slot.entry;
    entry.index = static_cast<uint8_t>(i);
    if (layout_->zlib_mode && slot.image == nullptr) continue;
    // At least one byte, so that an empty partition still has an image.
    size_t bytes = entry.part_size > 0 ? entry.part_size : 1;
    auto* image = static_cast<uint8_t*>(std::realloc(slot.image, bytes));
    if (image == nullptr) {
      return Status::Error(StringPrintf("error: out of memory for partition %s (0x%x bytes)\n",
                                        entry.name, entry.part_size));
    }
    slot.image = image;
    std::memset(image + entry.file_size, 0xFF, entry.part_size - entry.file_size);
  }
  layout_->partition_version = kPartitionVersion;
  for (int i = 0; i < layout_->count; ++i) {
    partition_slot& slot = layout_->slots[i];
    const ExtendInfo& extend = extend_[slot.entry - layout_->entries];
    if (!extend.present || slot.image == nullptr) continue;
    std::memcpy(slot.image + slot.entry->part_size - kExtendInfoSize, extend.bytes.data(),
                kExtendInfoSize);
    std::printf("write entend_info to partition[%s]\n", slot.entry->name);
  }
  return Status::Ok();
}

}  // namespace

table_format table_sect = kFormat1;

void SelectTableFormat(int version) { table_sect = version == 2 ? kFormat2 : kFormat1; }

void ResetFlashLayoutState() {
  table_sect = kFormat1;
  g_key_file_message_shown = false;
}

bool str2bool(const char* s) { return s != nullptr && strcasecmp(s, "true") == 0; }

int flash_compr(const partition_slot* a, const partition_slot* b) {
  return static_cast<int32_t>(a->entry->start - b->entry->start);
}

void flash_sort(flash* layout) {
  // Insertion sort: stable, and at most 24 slots.
  for (int i = 1; i < layout->count; ++i) {
    partition_slot moving = layout->slots[i];
    int j = i;
    for (; j > 0 && flash_compr(&layout->slots[j - 1], &moving) > 0; --j) {
      layout->slots[j] = layout->slots[j - 1];
    }
    layout->slots[j] = moving;
  }
}

Status LoadFlashLayout(const char* conf, const char* basedir, flash** layout) {
  *layout = nullptr;
  LayoutLoader loader(conf, basedir != nullptr ? basedir : DirectoryOf(conf));
  FlashPtr loaded;
  Status status = loader.Load(&loaded);
  if (status.ok()) *layout = loaded.release();
  return status;
}

extern "C" flash* flash_load_conf(const char* conf, char* basedir) {
  flash* layout = nullptr;
  Status status = LoadFlashLayout(conf, basedir, &layout);
  if (!status.ok()) {
    std::fputs(status.message().c_str(),
               status.stream() == Status::Stream::kStderr ? stderr : stdout);
    std::fflush(stdout);
    std::exit(1);
  }
  return layout;
}

extern "C" int flash_free(flash* layout) {
  if (layout == nullptr) return 0;
  for (partition_slot& slot : layout->slots) {
    std::free(slot.image);
    std::free(slot.file_path);
  }
  std::free(layout);
  return 0;
}
