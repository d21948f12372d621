#include "flash/merge_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "flash/flash_layout.h"

namespace {

std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

// A table entry as raw bytes: the name padded with NULs to 256 bytes.
std::string RawEntry(const std::string& name, uint32_t offset, uint32_t length) {
  std::string record = name;
  record.resize(kMergeNameBytes, '\0');
  return record + Le32(offset) + Le32(length);
}

struct File {
  std::string name;
  std::string bytes;
};

// A well-formed merged image: the contents follow the table in order.
std::string MergedImage(const std::vector<File>& files) {
  std::string table, contents;
  uint32_t offset = kMergeHeaderSize + kMergeEntrySize * files.size();
  for (const File& file : files) {
    table += RawEntry(file.name, offset + contents.size(), file.bytes.size());
    contents += file.bytes;
  }
  return std::string("mergebin", 8) + Le32(files.size()) + table + contents;
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

class MergeImageTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetFlashLayoutState();
    char pattern[] = "/tmp/merge_image_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    ResetFlashLayoutState();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // Runs image_split with standard output captured into output_.
  Status Split(const std::string& image, const char* dir, std::string* first) {
    testing::internal::CaptureStdout();
    Status status = image_split(image.c_str(), dir, first);
    output_ = testing::internal::GetCapturedStdout();
    return status;
  }
  Status Remove(const std::string& image, const std::string& dir) {
    testing::internal::CaptureStdout();
    Status status = rm_split_dir(image.c_str(), dir.c_str());
    output_ = testing::internal::GetCapturedStdout();
    return status;
  }

  std::string dir_;
  std::string output_;
};

TEST_F(MergeImageTest, SplitWritesEachEntryAndNamesTheFirst) {
  std::vector<File> files = {{"layout.conf", "flash_size 1M\n"},
                             {"kernel.bin", std::string("\0\1\2kernel\xff", 10)},
                             {"rootfs.img", std::string(70000, 'r')}};
  std::string image = Write("all.bin", MergedImage(files));
  std::string out = Path("out");
  std::string first;
  ASSERT_TRUE(Split(image, out.c_str(), &first).ok());
  EXPECT_EQ(output_, "");
  EXPECT_EQ(first, out + "/layout.conf");
  for (const File& file : files) EXPECT_EQ(Read(out + "/" + file.name), file.bytes) << file.name;

  // Into an existing directory, over files of the same names; without a
  // directory, into "<image>.split".
  Write("out/kernel.bin", "old and longer than the new one");
  ASSERT_TRUE(Split(image, out.c_str(), &first).ok());
  EXPECT_EQ(Read(out + "/kernel.bin"), files[1].bytes);
  ASSERT_TRUE(Split(image, nullptr, &first).ok());
  EXPECT_EQ(first, image + ".split/layout.conf");
  EXPECT_EQ(Read(image + ".split/rootfs.img"), files[2].bytes);

  EXPECT_TRUE(Remove(image, out).ok());
  EXPECT_EQ(output_, "");
  EXPECT_FALSE(Exists(out));
}

TEST_F(MergeImageTest, OverlappingEntriesEachGetTheirOwnCopy) {
  std::string contents = "0123456789";
  std::string table = RawEntry("a", 12 + 3 * 264, 10) + RawEntry("b", 12 + 3 * 264 + 2, 5) +
                      RawEntry("c", 12 + 3 * 264, 0);
  std::string image = Write("all.bin", std::string("mergebin", 8) + Le32(3) + table + contents);
  std::string first;
  ASSERT_TRUE(Split(image, Path("out").c_str(), &first).ok());
  EXPECT_EQ(Read(Path("out/a")), contents);
  EXPECT_EQ(Read(Path("out/b")), "23456");
  EXPECT_EQ(Read(Path("out/c")), "");
}

TEST_F(MergeImageTest, NoEntriesWritesNothing) {
  std::string image = Write("all.bin", std::string("mergebin", 8) + Le32(0));
  std::string first = "untouched";
  ASSERT_TRUE(Split(image, Path("out").c_str(), &first).ok());
  EXPECT_EQ(first, "untouched");
  image = Write("neg.bin", std::string("mergebin", 8) + Le32(0xFFFFFFFF));
  ASSERT_TRUE(Split(image, Path("out").c_str(), &first).ok());
  EXPECT_EQ(first, "untouched");
}

TEST_F(MergeImageTest, ImageThatIsNotMergedOrCannotBeRead) {
  std::string first;
  std::string other = Write("other.bin", "mergebix" + Le32(1) + RawEntry("a", 0, 0));
  Status status = Split(other, Path("out").c_str(), &first);
  EXPECT_EQ(status.message(), "error: image_split(609) file(" + other + ") is not merge file.\n");
  EXPECT_FALSE(Exists(Path("out")));

  std::string missing = Path("missing.bin");
  status = Split(missing, Path("out").c_str(), &first);
  EXPECT_EQ(output_, std::string(std::strerror(ENOENT)) + ": " + missing + "\n");
  EXPECT_EQ(status.message(), "error: image_split(578) file(" + missing + ") x_fmmap failed\n");
  status = Remove(missing, Path("out"));
  EXPECT_EQ(status.message(), "error: rm_split_dir(626) file(" + missing + ") x_fmmap failed\n");

  // A directory that cannot be made leaves the files uncreatable.
  std::string image = Write("all.bin", MergedImage({{"a.conf", "x"}}));
  status = Split(image, Path("no/such/dir").c_str(), &first);
  EXPECT_EQ(status.message(), "error: image_split(598) fopen error, errno(" +
                                  std::string(std::strerror(ENOENT)) + ")\n");
}

TEST_F(MergeImageTest, UntrustedTablesAreRefusedBeforeAnythingIsWritten) {
  const std::string magic("mergebin", 8);
  const uint32_t table1 = 12 + 264;  // the end of a one-entry table
  std::string long_name(255, 'n');
  struct Case {
    std::string image;
    std::string message;  // after "error: merge file(<image>)"
  } cases[] = {
      {magic + Le32(1) + RawEntry("/tmp/victim", table1, 1) + "x",
       " entry 0: \"/tmp/victim\" is not a plain file name\n"},
      {MergedImage({{"a.conf", "a"}, {"../victim", "x"}}),
       " entry 1: \"../victim\" is not a plain file name\n"},
      {MergedImage({{"..", "x"}}), " entry 0: \"..\" is not a plain file name\n"},
      {MergedImage({{".", "x"}}), " entry 0: \".\" is not a plain file name\n"},
      {MergedImage({{"", "x"}}), " entry 0: \"\" is not a plain file name\n"},
      {MergedImage({{"sub\\victim", "x"}}), " entry 0: \"sub\\victim\" is not a plain file name\n"},
      {MergedImage({{"line\nfeed", "x"}}), " entry 0: \"line\nfeed\" is not a plain file name\n"},
      {magic + Le32(1) + std::string(256, 'n') + Le32(table1) + Le32(0),
       " entry 0: name is not terminated within 256 bytes\n"},
      {magic + Le32(1) + RawEntry("a", table1, 2) + "x",
       " entry 0 (a): offset 0x114 and length 0x2 reach beyond its end (0x115 bytes)\n"},
      {magic + Le32(1) + RawEntry("a", 0xFFFFFFFF, 2) + "x",  // no 32-bit wrap
       " entry 0 (a): offset 0xffffffff and length 0x2 reach beyond its end (0x115 bytes)\n"},
      {magic + Le32(2) + RawEntry("a", table1, 0),
       " is damaged: a table of 2 entries does not fit in 276 bytes\n"},
      {magic + Le32(0x7FFFFFFF) + RawEntry("a", table1, 0),
       " is damaged: a table of 2147483647 entries does not fit in 276 bytes\n"},
      {magic + std::string("\1\0", 2), " is damaged: 10 bytes hold no entry table\n"},
      {MergedImage({{long_name.substr(0, 254 - Path("out/").size() + 1), "x"}}),
       " entry 0: path " + Path("out/") + long_name.substr(0, 254 - Path("out/").size() + 1) +
           " would be longer than 254 characters\n"},
  };
  for (const Case& c : cases) {
    std::string image = Write("all.bin", c.image);
    std::string first;
    Status status = Split(image, Path("out").c_str(), &first);
    EXPECT_EQ(status.message(), "error: merge file(" + image + ")" + c.message);
    EXPECT_EQ(first, "");
    EXPECT_FALSE(Exists(Path("out"))) << c.message;
    EXPECT_FALSE(Exists(Path("victim")));
    // rm_split_dir deletes nothing there either.
    Write("victim", "keep");
    static_cast<void>(Remove(image, Path("out")));
    EXPECT_EQ(Read(Path("victim")), "keep");
    std::remove(Path("victim").c_str());
  }
}

TEST_F(MergeImageTest, RemoveAfterAPartialSplit) {
  std::string image =
      Write("all.bin", MergedImage({{"a.conf", "a"}, {"b.bin", "b"}, {"c.bin", "c"}}));
  std::string out = Path("out");
  ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
  Write("out/a.conf", "a");
  Write("out/c.bin", "c");
  ASSERT_TRUE(Remove(image, out).ok());
  EXPECT_EQ(output_, "");
  EXPECT_FALSE(Exists(out));

  // Files the image does not list stay, and so does the directory.
  ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
  Write("out/b.bin", "b");
  Write("out/mine.txt", "keep");
  ASSERT_TRUE(Remove(image, out).ok());
  EXPECT_EQ(output_, "warning: remove dir(" + out + ") failed\n");
  EXPECT_FALSE(Exists(out + "/b.bin"));
  EXPECT_EQ(Read(out + "/mine.txt"), "keep");
}

TEST(SplitDirFor, ReplacesTheLastPathPart) {
  EXPECT_EQ(SplitDirFor("fw/v2/all.bin"), "fw/v2/tmp.boot_split_dir");
  EXPECT_EQ(SplitDirFor("/all.bin"), "/tmp.boot_split_dir");
  EXPECT_EQ(SplitDirFor("all.bin"), "tmp.boot_split_dir");
  EXPECT_EQ(SplitDirFor("fw\\all.bin"), "tmp.boot_split_dir");  // only "/" separates
}

TEST_F(MergeImageTest, PackPutsTheLayoutFirstAndEachFileOnce) {
  std::string conf = Write("board.conf",
                           "flash_size 0x40000\n"
                           "boot boot.bin false raw ro 0 0 0\n"
                           "table NULL false raw ro 0 0 0x10000\n"
                           "kernel kernel.bin false raw ro 0 0 0x20000\n"
                           "spare boot.bin false raw ro 0 0 0x30000\n");
  Write("boot.bin", "BOOT");
  Write("table.bin", std::string(300, 't'));
  Write("kernel.bin", std::string("\0kernel", 7));
  std::vector<MergeEntry> packed;
  testing::internal::CaptureStdout();
  Status status = image_pack(conf.c_str(), Path("all.bin").c_str(), &packed);
  testing::internal::GetCapturedStdout();
  ASSERT_TRUE(status.ok()) << status.message();

  std::string image = Read(Path("all.bin"));
  std::vector<MergeEntry> entries;
  ASSERT_TRUE(ParseMergeTable(reinterpret_cast<const uint8_t*>(image.data()), image.size(),
                              "all.bin", "", &entries)
                  .ok());
  std::vector<std::string> names;
  for (const MergeEntry& entry : entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"board.conf", "boot.bin", "table.bin", "kernel.bin"}));
  ASSERT_EQ(packed.size(), entries.size());
  EXPECT_EQ(entries[0].offset, 12u + 4 * 264);
  for (const MergeEntry& entry : entries) {
    EXPECT_EQ(image.substr(entry.offset, entry.length), Read(Path(entry.name))) << entry.name;
  }

  std::string first;
  ASSERT_TRUE(Split(Path("all.bin"), Path("out").c_str(), &first).ok());
  EXPECT_EQ(Read(first), Read(conf));
}

TEST_F(MergeImageTest, PackRefusesWhatASplitCouldNotRebuild) {
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0777), 0);
  Write("sub/k.bin", "k");
  std::string conf = Write("board.conf", "flash_size 1M\nk sub/k.bin\n");
  std::vector<MergeEntry> packed;
  testing::internal::CaptureStdout();
  Status status = image_pack(conf.c_str(), Path("all.bin").c_str(), &packed);
  EXPECT_EQ(status.message(), "error: " + conf +
                                  " names the file sub/k.bin outside its own directory; a merged "
                                  "image holds plain file names only\n");

  conf = Write("board.conf", "flash_size 1M\nk missing.bin\n");
  status = image_pack(conf.c_str(), Path("all.bin").c_str(), &packed);
  EXPECT_EQ(status.message(), "error: can't read file \"" + Path("missing.bin") +
                                  "\": " + std::strerror(ENOENT) + "\n");

  conf = Write("board.conf", "flash_size 1M\nk board.conf\n");
  status = image_pack(conf.c_str(), Path("all.bin").c_str(), &packed);
  EXPECT_EQ(status.message(), "error: " + conf + " names itself as a partition file\n");

  // A layout that does not load is not packed either.
  conf = Write("board.conf", "flash_size 1M\n");
  status = image_pack(conf.c_str(), Path("all.bin").c_str(), &packed);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(status.message(), "error: no partition line in \"" + conf + "\"\n");
  EXPECT_FALSE(Exists(Path("all.bin")));
}

}  // namespace
