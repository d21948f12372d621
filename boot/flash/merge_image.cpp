#include "flash/merge_image.h"

#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "coding.h"
#include "flash/flash_layout.h"
#include "util/file_map.h"

namespace {

// A view from x_fmmap, released when it goes out of scope.
class MappedFile {
 public:
  explicit MappedFile(const char* path) { view_ = x_fmmap(path, &size_); }
  ~MappedFile() {
    if (view_ != nullptr) x_munmap(view_, size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool ok() const { return view_ != nullptr; }
  const uint8_t* bytes() const { return static_cast<const uint8_t*>(view_); }
  uint32_t size() const { return size_; }

 private:
  void* view_ = nullptr;
  unsigned size_ = 0;
};

// A name that stays inside the directory it is joined to.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string SplitDirFor(const std::string& image) {
  size_t slash = image.rfind('/');
  if (slash == std::string::npos) return kSplitDirName;
  return image.substr(0, slash + 1) + kSplitDirName;
}

bool IsMergeMagic(const void* bytes) {
  return std::memcmp(bytes, kMergeMagic, sizeof kMergeMagic) == 0;
}

Status ParseMergeTable(const uint8_t* image, uint32_t size, const char* path,
                       const std::string& dir, std::vector<MergeEntry>* entries) {
  entries->clear();
  if (size < kMergeHeaderSize) {
    return Status::Error(StringPrintf(
        "error: merge file(%s) is damaged: %u bytes hold no entry table\n", path, size));
  }
  int32_t count = static_cast<int32_t>(DecodeFixed32(image + 8));
  if (count <= 0) return Status::Ok();
  uint64_t table_end = kMergeHeaderSize + uint64_t{kMergeEntrySize} * static_cast<uint32_t>(count);
  if (table_end > size) {
    return Status::Error(StringPrintf(
        "error: merge file(%s) is damaged: a table of %d entries does not fit in %u bytes\n", path,
        count, size));
  }
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = image + kMergeHeaderSize + kMergeEntrySize * static_cast<size_t>(i);
    const void* nul = std::memchr(record, '\0', kMergeNameBytes);
    if (nul == nullptr) {
      return Status::Error(StringPrintf(
          "error: merge file(%s) entry %d: name is not terminated within 256 bytes\n", path, i));
    }
    MergeEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(record),
                      static_cast<const uint8_t*>(nul) - record);
    entry.offset = DecodeFixed32(record + kMergeNameBytes);
    entry.length = DecodeFixed32(record + kMergeNameBytes + 4);
    if (!IsPlainFileName(entry.name)) {
      return Status::Error(
          StringPrintf("error: merge file(%s) entry %d: \"%s\" is not a plain file name\n", path, i,
                       entry.name.c_str()));
    }
    if (uint64_t{entry.offset} + entry.length > size) {
      return Status::Error(
          StringPrintf("error: merge file(%s) entry %d (%s): offset 0x%x and length 0x%x reach "
                       "beyond its end (0x%x bytes)\n",
                       path, i, entry.name.c_str(), entry.offset, entry.length, size));
    }
    if (!dir.empty() && dir.size() + 1 + entry.name.size() > kMaxSplitPathLength) {
      return Status::Error(StringPrintf(
          "error: merge file(%s) entry %d: path %s/%s would be longer than %zu characters\n", path,
          i, dir.c_str(), entry.name.c_str(), kMaxSplitPathLength));
    }
    entries->push_back(std::move(entry));
  }
  return Status::Ok();
}

Status image_split(const char* image, const char* dir, std::string* first) {
  MappedFile mapped(image);
  if (!mapped.ok()) {
    return Status::Error(
        StringPrintf("error: %s(%d) file(%s) x_fmmap failed\n", "image_split", 578, image));
  }
  if (mapped.size() < sizeof kMergeMagic || !IsMergeMagic(mapped.bytes())) {
    return Status::Error(
        StringPrintf("error: %s(%d) file(%s) is not merge file.\n", "image_split", 609, image));
  }
  std::string directory = dir != nullptr ? dir : std::string(image) + ".split";
  std::vector<MergeEntry> entries;
  Status parsed = ParseMergeTable(mapped.bytes(), mapped.size(), image, directory, &entries);
  if (!parsed.ok()) return parsed;

  mkdir(directory.c_str(), 0777);  // an existing directory is fine
  for (size_t i = 0; i < entries.size(); ++i) {
    const MergeEntry& entry = entries[i];
    std::string path = directory + "/" + entry.name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      return Status::Error(StringPrintf("error: %s(%d) fopen error, errno(%s)\n", "image_split",
                                        598, ErrnoText(errno).c_str()));
    }
    size_t written = std::fwrite(mapped.bytes() + entry.offset, 1, entry.length, file);
    int write_error = written == entry.length ? 0 : errno;
    if (std::fclose(file) != 0 && write_error == 0) write_error = errno;
    // A short file would be flashed as if it were whole.
    if (written != entry.length || write_error != 0) {
      return Status::Error(StringPrintf("error: image_split: writing %s failed, errno(%s)\n",
                                        path.c_str(), ErrnoText(write_error).c_str()));
    }
    if (i == 0) *first = path;
  }
  return Status::Ok();
}

Status rm_split_dir(const char* image, const char* dir) {
  MappedFile mapped(image);
  if (!mapped.ok()) {
    return Status::Error(
        StringPrintf("error: %s(%d) file(%s) x_fmmap failed\n", "rm_split_dir", 626, image));
  }
  std::vector<MergeEntry> entries;
  Status parsed = ParseMergeTable(mapped.bytes(), mapped.size(), image, "", &entries);
  if (!parsed.ok()) return parsed;
  for (const MergeEntry& entry : entries) {
    std::string path = std::string(dir) + "/" + entry.name;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) continue;  // never written: nothing to do
    if (unlink(path.c_str()) != 0) std::printf("warning: remove file(%s) failed\n", path.c_str());
  }
  if (rmdir(dir) != 0) std::printf("warning: remove dir(%s) failed\n", dir);
  return Status::Ok();
}

Status image_pack(const char* conf, const char* output, std::vector<MergeEntry>* packed) {
  packed->clear();
  flash* loaded = nullptr;
  Status status = LoadFlashLayout(conf, nullptr, &loaded);
  if (!status.ok()) return status;
  FlashPtr layout(loaded);
  if (!layout) return Status::Error(StringPrintf("error: layout %s was not loaded\n", conf));

  // The layout first, then each file it names once, in the order of the
  // partitions. The loader formed each path as "<layout's directory>/<name>".
  std::string conf_copy = conf;
  const std::string prefix = std::string(dirname(conf_copy.data())) + "/";
  std::vector<std::string> paths = {conf};
  std::vector<MergeEntry> entries(1);
  entries[0].name = BaseName(conf);
  std::set<std::string> names = {entries[0].name};
  for (int i = 0; i < layout->count; ++i) {
    const char* path = layout->slots[i].file_path;
    if (path == nullptr) continue;
    std::string name = std::string(path).substr(prefix.size());
    if (!IsPlainFileName(name)) {
      return Status::Error(StringPrintf(
          "error: %s names the file %s outside its own directory; a merged image holds plain "
          "file names only\n",
          conf, name.c_str()));
    }
    if (name == entries[0].name) {
      return Status::Error(StringPrintf("error: %s names itself as a partition file\n", conf));
    }
    if (!names.insert(name).second) continue;
    paths.push_back(path);
    MergeEntry entry;
    entry.name = name;
    entries.push_back(entry);
  }

  // Contents follow the table, one file after the other.
  std::string contents;
  uint64_t offset = kMergeHeaderSize + kMergeEntrySize * entries.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string bytes;
    if (!ReadWholeFile(paths[i], &bytes)) {
      return Status::Error(StringPrintf("error: can't read file \"%s\": %s\n", paths[i].c_str(),
                                        ErrnoText(errno).c_str()));
    }
    if (offset + bytes.size() > UINT32_MAX) {
      return Status::Error(StringPrintf("error: %s and its files exceed 4 GiB\n", conf));
    }
    entries[i].offset = static_cast<uint32_t>(offset);
    entries[i].length = static_cast<uint32_t>(bytes.size());
    offset += bytes.size();
    contents += bytes;
  }

  std::string header(kMergeHeaderSize + kMergeEntrySize * entries.size(), '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(header.data());
  std::memcpy(bytes, kMergeMagic, sizeof kMergeMagic);
  EncodeFixed32(bytes + 8, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* record = bytes + kMergeHeaderSize + kMergeEntrySize * i;
    if (entries[i].name.size() >= kMergeNameBytes) {
      return Status::Error(StringPrintf("error: file name %s is longer than %zu characters\n",
                                        entries[i].name.c_str(), kMergeNameBytes - 1));
    }
    std::memcpy(record, entries[i].name.data(), entries[i].name.size());
    EncodeFixed32(record + kMergeNameBytes, entries[i].offset);
    EncodeFixed32(record + kMergeNameBytes + 4, entries[i].length);
  }

  FILE* file = std::fopen(output, "wb");
  if (file == nullptr) {
    return Status::Error(
        StringPrintf("error: can't create file \"%s\": %s\n", output, ErrnoText(errno).c_str()));
  }
  bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                 std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  int error = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::remove(output);  // never leave half an image behind
    return Status::Error(
        StringPrintf("error: writing \"%s\" failed: %s\n", output, ErrnoText(error).c_str()));
  }
  *packed = std::move(entries);
  return Status::Ok();
}
