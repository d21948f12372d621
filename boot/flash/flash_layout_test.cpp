#include "flash/flash_layout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "coding.h"

namespace {

std::string Pattern(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
  return bytes;
}

class FlashLayoutTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetFlashLayoutState();
    char pattern[] = "/tmp/flash_layout_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    conf_ = dir_ + "/board.conf";
  }
  void TearDown() override {
    ResetFlashLayoutState();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Loads `text` as dir/board.conf; the output printed on the way goes to
  // output_, the record to layout_.
  Status Load(const std::string& text, const char* basedir = nullptr) {
    Write("board.conf", text);
    testing::internal::CaptureStdout();
    flash* loaded = nullptr;
    Status status = LoadFlashLayout(conf_.c_str(), basedir, &loaded);
    output_ = testing::internal::GetCapturedStdout();
    layout_.reset(loaded);
    return status;
  }

  // The message of a load that must fail.
  std::string Error(const std::string& text) {
    Status status = Load(text);
    EXPECT_FALSE(status.ok()) << text;
    EXPECT_EQ(layout_, nullptr);
    return status.message();
  }

  const partition_entry& Entry(int slot) const { return *layout_->slots[slot].entry; }
  std::string Image(int slot) const {
    const partition_slot& s = layout_->slots[slot];
    return s.image ? std::string(reinterpret_cast<const char*>(s.image), s.entry->part_size) : "";
  }
  std::string Please() const { return "please check the config of " + conf_ + "\n\n"; }

  std::string dir_;
  std::string conf_;
  std::string output_;
  FlashPtr layout_;
};

TEST_F(FlashLayoutTest, GlobalKeys) {
  struct Case {
    std::string text;
    uint32_t flash_size;
    uint32_t block_size;
    int table_enable;
    int write_protect;
    int crc32;
    int zlib;
  } cases[] = {
      {"flash_size 0x800000\n", 0x800000, 0, 0, 0, 0, 0},
      {"flash_size 8M\n", 0x800000, 0, 0, 0, 0, 0},
      {"FLASH_SIZE\t8m # comment words are ignored\n", 0x800000, 0, 0, 0, 0, 0},
      {"flash_size = 8M\n", 0, 0, 0, 0, 0, 0},                      // "=" is the value
      {"flash_size 1M\nflash_size 8M\n", 0x800000, 0, 0, 0, 0, 0},  // the last one wins
      {"flash_size 8M\nblock_size 64k\ntable_enable TRUE\nwrite_protect true\ncrc32 True\n"
       "zlibmode tRuE\n",
       0x800000, 0x10000, 1, 1, 1, 1},
      {"flash_size 8M\ntable_enable 1\nwrite_protect yes\nzlibmode on\n", 0x800000, 0, 0, 0, 0, 0},
      // Keys are matched by prefix: this is the key crc32 with the value "true".
      {"flash_size 8M\ncrc32part true\n", 0x800000, 0, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    // flash_size 0 needs a partition that fits in it.
    ASSERT_TRUE(Load(c.text + "boot NULL RAW ro 0 0 0 0\n").ok()) << c.text;
    EXPECT_EQ(layout_->flash_size, c.flash_size) << c.text;
    EXPECT_EQ(layout_->block_size, c.block_size) << c.text;
    EXPECT_EQ(layout_->table_enable, c.table_enable) << c.text;
    EXPECT_EQ(layout_->write_protect, c.write_protect) << c.text;
    EXPECT_EQ(layout_->crc32_enable, c.crc32) << c.text;
    EXPECT_EQ(layout_->zlib_mode, c.zlib) << c.text;
    EXPECT_EQ(layout_->count, 1) << c.text;
    EXPECT_EQ(layout_->partition_version, kPartitionVersion);
    EXPECT_EQ(layout_->magic, 0xAABCDEFAu);
  }
}

TEST_F(FlashLayoutTest, PartitionFields) {
  Write("k.bin", "kernel");
  ASSERT_TRUE(Load("flash_size 1M\n"
                   "# name file option type mode update version start size extend\n"
                   "bootloader NULL true cramfs RW 0x1FF 0x12345 0 64k 0\n"
                   "\n"
                   "kernel k.bin false YAFFS rw 7 3 0x10000\n"
                   "fs NULL x ramfs x 0 0 0x20000 auto\n"
                   "\t  misc NULL false hide ro 0 0 0x30000 0 0 ignored words\n")
                  .ok())
      << output_;
  ASSERT_EQ(layout_->count, 4);
  const partition_entry& boot = layout_->entries[0];
  EXPECT_STREQ(boot.name, "bootloa");  // 7 characters kept
  EXPECT_EQ(boot.option_flag, 1);
  EXPECT_EQ(boot.type, kTypeCramfs);
  EXPECT_EQ(boot.mode, kModeReadWrite);
  EXPECT_EQ(boot.update, 0xFF);     // low 8 bits
  EXPECT_EQ(boot.version, 0x2345);  // low 16 bits
  EXPECT_EQ(layout_->slots[0].file_path, nullptr);
  const partition_entry& kernel = layout_->entries[1];
  EXPECT_STREQ(layout_->slots[1].file_path, (dir_ + "/k.bin").c_str());
  EXPECT_EQ(kernel.type, kTypeYaffs2);
  EXPECT_EQ(kernel.mode, kModeReadWrite);
  EXPECT_EQ(kernel.file_size, 6u);
  EXPECT_EQ(kernel.start, 0x10000u);
  EXPECT_EQ(kernel.update, 7);
  EXPECT_EQ(kernel.version, 3);
  EXPECT_EQ(layout_->entries[2].type, kTypeRamfs);
  EXPECT_EQ(layout_->entries[2].mode, kModeReadOnly);  // "x" leaves ro
  EXPECT_EQ(layout_->entries[2].option_flag, 0);
  EXPECT_EQ(layout_->entries[3].type, kTypeHide);
  EXPECT_EQ(layout_->entries[3].total_size, 0xD0000u);
}

TEST_F(FlashLayoutTest, TypeWords) {
  struct Case {
    const char* word;
    uint8_t code;
  } cases[] = {{"RAW", kTypeRaw},       {"romfs", kTypeRomfs},   {"CramFS", kTypeCramfs},
               {"jffs2", kTypeJffs2},   {"YAFFS2", kTypeYaffs2}, {"yaffs", kTypeYaffs2},
               {"MiniFS", kTypeMinifs}, {"ramfs", kTypeRamfs},   {"HIDE", kTypeHide},
               {"ext4", kTypeRaw},      {"yaffs3", kTypeRaw}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Load(std::string("flash_size 1M\np NULL false ") + c.word + "\n").ok());
    EXPECT_EQ(layout_->entries[0].type, c.code) << c.word;
  }
}

TEST_F(FlashLayoutTest, AutoPlacement) {
  std::string a = Pattern(0x12345, 1), b = Pattern(0x10000, 2), c = Pattern(0x100, 3);
  Write("a.bin", a);
  Write("b.bin", b);
  Write("c.bin", c);
  ASSERT_TRUE(Load("flash_size 1M\n"
                   "a a.bin false raw ro 0 0 auto auto\n"
                   "b b.bin false raw ro 0 0 auto auto\n"
                   "c c.bin false raw ro 0 0 auto auto\n")
                  .ok())
      << output_;
  EXPECT_EQ(output_, "\n");
  uint32_t starts[] = {0, 0x20000, 0x30000};
  uint32_t totals[] = {0x20000, 0x10000, 0xD0000};  // the last reaches the end of the flash
  std::string files[] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Entry(i).start, starts[i]);
    EXPECT_EQ(Entry(i).total_size, totals[i]);
    EXPECT_EQ(Entry(i).part_size, totals[i]);
    EXPECT_EQ(Entry(i).reserved_size, 0u);
    EXPECT_EQ(Entry(i).index, i);
    EXPECT_EQ(layout_->slots[i].checked, 1);
    EXPECT_EQ(Image(i), files[i] + std::string(totals[i] - files[i].size(), '\xff'));
  }
}

TEST_F(FlashLayoutTest, WrittenSizeOnlyPlacesTheNextAutoPartition) {
  ASSERT_TRUE(Load("flash_size 1M\n"
                   "a NULL false raw ro 0 0 0x1000 0x8000\n"
                   "b NULL false raw ro 0 0 auto 0x10001\n"
                   "c NULL false raw ro 0 0 auto\n")
                  .ok());
  EXPECT_EQ(Entry(1).start, 0x10000u);  // 0x9000 rounded up to 64 KiB
  EXPECT_EQ(Entry(2).start, 0x30000u);  // 0x20001 rounded up
  EXPECT_EQ(Entry(0).total_size, 0xF000u);
  EXPECT_EQ(Entry(2).total_size, 0xD0000u);
}

// n partition lines, 64 KiB apart.
std::string Partitions(int n, const std::string& tail = "") {
  std::string text;
  for (int i = 0; i < n; ++i) {
    text += "p" + std::to_string(i) + " NULL false raw ro 0 0 " + std::to_string(i * 0x10000) +
            " 0 0" + tail + "\n";
  }
  return text;
}

TEST_F(FlashLayoutTest, TableFormatSwitchAndPartitionLimits) {
  ASSERT_TRUE(Load("flash_size 2M\n" + Partitions(12)).ok());
  EXPECT_EQ(Error("flash_size 2M\n" + Partitions(13)),
            "No more than 12 the number of partitions.\n");

  ASSERT_TRUE(Load("flash_size 2M\ntable_version 2\n" + Partitions(24)).ok());
  EXPECT_EQ(layout_->count8, 24);
  EXPECT_EQ(layout_->magic, 0xDD1C2BFAu);
  EXPECT_EQ(layout_->table_version, 2);
  EXPECT_EQ(table_sect.table_size, 0x400u);
  EXPECT_EQ(Error("flash_size 2M\ntable_version 2\n" + Partitions(25)),
            "No more than 24 the number of partitions.\n");

  // The format stays for the rest of the process, until another table_version.
  ASSERT_TRUE(Load("flash_size 2M\n" + Partitions(13)).ok());
  EXPECT_EQ(layout_->magic, 0xDD1C2BFAu);
  EXPECT_EQ(layout_->table_version, 0);
  EXPECT_EQ(Error("flash_size 2M\ntable_version 7\n" + Partitions(13)),
            "No more than 12 the number of partitions.\n");
  EXPECT_EQ(table_sect.magic, 0xAABCDEFAu);
}

TEST_F(FlashLayoutTest, ReservedSizeIsReadUnderFormat2Only) {
  // The table_version line takes effect for the lines after it.
  ASSERT_TRUE(Load("flash_size 0x40000\n"
                   "a NULL false raw ro 0 0 0 0 0 0x1000\n"
                   "table_version 2\n"
                   "b NULL false raw ro 0 0 0x10000 0 0 0x2000\n"
                   "c NULL false raw ro 0 0 0x20000 0 0 auto\n"
                   "d NULL false raw ro 0 0 0x30000 0 0 0x10000\n")
                  .ok())
      << output_;
  EXPECT_EQ(Entry(0).reserved_size, 0u);
  EXPECT_EQ(Entry(0).part_size, 0x10000u);
  EXPECT_EQ(Entry(1).reserved_size, 0x2000u);
  EXPECT_EQ(Entry(1).part_size, 0xE000u);
  EXPECT_EQ(Entry(2).reserved_size, 0u);
  EXPECT_EQ(Entry(3).part_size, 0u);  // all reserved: an empty image
  EXPECT_EQ(Image(1), std::string(0xE000, '\xff'));
}

TEST_F(FlashLayoutTest, SizeErrors) {
  std::string over = Write("over.bin", Pattern(0x10001, 1));
  Write("small.bin", "four");
  Write("big.bin", Pattern(0xF00, 2));
  std::string long_name(250, 'n');
  struct Case {
    std::string text;
    std::string message;  // without the "please check" line when it has none
    bool please_check;
  } cases[] = {
      {"flash_size 0x20000\na NULL false raw ro 0 0 0\nb NULL false raw ro 0 0 0x30000\n",
       "Total partition size is 196608, out flash size 131072, please check.\n", false},
      // The size of a single partition beyond the flash wraps.
      {"flash_size 0x20000\na NULL false raw ro 0 0 0x30000\n",
       "Total partition size is -65536, out flash size 131072, please check.\n", false},
      {"flash_size 0x20000\na NULL false raw ro 0 0 0\n",  // no error: sums up to the flash
       "", false},
      {"table_version 2\nflash_size 0x20000\na NULL false raw ro 0 0 0 0 0 0x30000\n",
       "error: partition a (RESERVED size = 0x30000) > (TOTAL size = 0x20000)\n", true},
      {"flash_size 0x20000\na over.bin false raw ro 0 0 0\nb NULL false raw ro 0 0 0x10000\n",
       "error: partition a (FILE size = 0x10001) > (PART size = 0x10000)\n", true},
      {"flash_size 1M\na NULL false raw ro 0 0 0x20000\nb NULL false raw ro 0 0 0x10000\n",
       "error: partition b (START = 0x10000) is listed after partition a (START = 0x20000); "
       "partitions must be listed in ascending order of start address\n",
       true},
      // A line without a start field starts at 0.
      {"flash_size 1M\na NULL false raw ro 0 0 0x20000\nb NULL\n",
       "error: partition b (START = 0x0) is listed after partition a (START = 0x20000); "
       "partitions must be listed in ascending order of start address\n",
       true},
      // The wrapped size of the last partition slips under the flash size.
      {"flash_size 0x20000\na NULL false raw ro 0 0 0x10000\nb NULL false raw ro 0 0 0x28000\n",
       "error: partition b (START = 0x28000) is beyond the flash size 0x20000\n", true},
      {"flash_size 0x100\na small.bin false raw ro 0 0 0 0 1\n",
       "error: partition a (PART size = 0x100) has no room for its extend info (0x110 bytes)\n",
       true},
      {"flash_size 0x1000\na big.bin false raw ro 0 0 0 0 1\n",
       "error: partition a (FILE size = 0xf00) overlaps its extend info at 0xef0 (PART size = "
       "0x1000)\n",
       true},
  };
  for (const Case& c : cases) {
    Status status = Load(c.text);
    if (c.message.empty()) {
      EXPECT_TRUE(status.ok()) << c.text << status.message();
      continue;
    }
    EXPECT_FALSE(status.ok()) << c.text;
    EXPECT_EQ(status.message(), c.message + (c.please_check ? Please() : "")) << c.text;
  }
}

TEST_F(FlashLayoutTest, ErrorsNamingTheFileAndLine) {
  EXPECT_EQ(Error("flash_size 1M\n# nothing else\n"),
            "error: no partition line in \"" + conf_ + "\"\n");
  EXPECT_EQ(Error("# a comment\nflash_size\np NULL\n"),
            "error: " + conf_ + ":2: flash_size has no value\n");
  EXPECT_EQ(Error("key_file " + std::string(100, 'k') + "\n"),
            "error: " + conf_ + ":1: key_file name is longer than 99 characters\n");
  std::string name(254 - dir_.size(), 'n');  // dir/name: 255 characters
  EXPECT_EQ(
      Error("flash_size 1M\np " + name + "\n"),
      "error: " + conf_ + ":2: path " + dir_ + "/" + name + " is longer than 254 characters\n");
  name.pop_back();  // 254 characters: a missing file, not an error
  EXPECT_TRUE(Load("flash_size 1M\np " + name + "\n").ok());

  testing::internal::CaptureStdout();
  flash* loaded = reinterpret_cast<flash*>(1);
  Status status = LoadFlashLayout((dir_ + "/none.conf").c_str(), nullptr, &loaded);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(status.message(), "error: can't open file \"" + dir_ + "/none.conf\"!\n");
  EXPECT_EQ(loaded, nullptr);
}

TEST_F(FlashLayoutTest, MinifsStartMustBeAligned) {
  Status status =
      Load("flash_size 1M\na NULL false raw ro 0 0 0\nb NULL false minifs ro 0 0 0x18000\n");
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(layout_, nullptr);
  EXPECT_EQ(output_, "\nminifs start address must be aligned 64K\n");
  // Aligned, or the first partition (never checked): loaded.
  EXPECT_TRUE(
      Load("flash_size 1M\na NULL false raw ro 0 0 0\nb NULL false MINIFS ro 0 0 0x20000\n").ok());
  EXPECT_NE(layout_, nullptr);
  EXPECT_TRUE(Load("flash_size 1M\na NULL false minifs ro 0 0 0x1000\n").ok());
  EXPECT_NE(layout_, nullptr);
}

TEST_F(FlashLayoutTest, ZlibModeAndMissingFiles) {
  std::string a = Pattern(0x100, 4);
  Write("a.bin", a);
  Write("empty.bin", "");
  std::string body =
      "a a.bin false raw ro 0 0 0\n"
      "b NULL false raw ro 0 0 0x10000\n"
      "c missing.bin false raw ro 0 0 0x20000\n"
      "d empty.bin false raw ro 0 0 0x30000\n";
  std::string missing = dir_ + "/missing.bin", empty = dir_ + "/empty.bin";
  std::string messages = std::string(std::strerror(ENOENT)) + ": " + missing + "\n" +
                         "Failed to mmap " + std::strerror(EINVAL) + " " + empty + "\n" + "\n";

  // Without zlib mode every partition gets an image, 0xFF where it has no file.
  ASSERT_TRUE(Load("flash_size 0x40000\n" + body).ok());
  EXPECT_EQ(output_, messages);
  EXPECT_EQ(Image(0), a + std::string(0x10000 - a.size(), '\xff'));
  for (int i = 1; i < 4; ++i) EXPECT_EQ(Image(i), std::string(0x10000, '\xff')) << i;
  EXPECT_STREQ(layout_->slots[2].file_path, missing.c_str());  // the path is kept
  EXPECT_EQ(Entry(2).file_size, 0u);

  // In zlib mode only partitions whose file was read have one.
  ASSERT_TRUE(Load("flash_size 0x40000\nzlibmode true\n" + body).ok());
  EXPECT_EQ(output_, messages);
  EXPECT_EQ(Image(0), a + std::string(0x10000 - a.size(), '\xff'));
  for (int i = 1; i < 4; ++i) EXPECT_EQ(layout_->slots[i].image, nullptr) << i;
}

std::string Block(uint32_t file_size, uint32_t word260, uint32_t flags) {
  std::string block;
  PutFixed32(&block, file_size);
  block += std::string(256, '\xff');
  PutFixed32(&block, word260);
  block += "extd";
  PutFixed32(&block, flags);
  return block;
}

TEST_F(FlashLayoutTest, ExtendInfoBlocks) {
  std::string a = Pattern(0x300, 1), b = Pattern(0x301, 2), c = Pattern(5, 3), e = Pattern(9, 4);
  Write("a.bin", a);
  Write("b.bin", b);
  Write("c.bin", c);
  Write("e.bin", e);
  ASSERT_TRUE(Load("flash_size 0x50000\n"
                   "a a.bin false raw ro 0 0 0 0 1\n"
                   "b b.bin false raw ro 0 0 0x10000 0 2\n"
                   "c c.bin false raw ro 0 0 0x20000 0 3\n"
                   "d NULL false raw ro 0 0 0x30000 0 3\n"
                   "e e.bin false raw rw 0 0 0x40000 0 1\n")
                  .ok())
      << output_;
  EXPECT_EQ(output_,
            "it is not indicates signature key file, use default " + dir_ +
                "/key.pri\n"
                "flash_load_conf:420 buf is NULL.\n"
                "warning: extend_flag is not 0 when partition mode is not ro, please check\n"
                "\n"
                "write entend_info to partition[a]\n"
                "write entend_info to partition[b]\n"
                "write entend_info to partition[c]\n"
                "write entend_info to partition[d]\n");
  auto padded = [](const std::string& file, const std::string& block) {
    return file + std::string(0x10000 - kExtendInfoSize - file.size(), '\xff') + block;
  };
  EXPECT_EQ(Image(0), padded(a, Block(0x300, 0, 0xFFFFFFFE)));
  EXPECT_EQ(Image(1), padded(b, Block(0x301, 0xFFFFFFFF, 0xFFFFFFFD)));
  EXPECT_EQ(Image(2), padded(c, Block(5, 0, 0xFFFFFFFC)));
  EXPECT_EQ(Image(3), padded("", Block(0, 0xFFFFFFFF, 0xFFFFFFFF)));  // no image when read
  EXPECT_EQ(Image(4), e + std::string(0x10000 - e.size(), '\xff'));   // rw: no block

  // The key-file message appears once per process.
  ASSERT_TRUE(Load("flash_size 0x10000\nkey_file my.key\nb b.bin false raw ro 0 0 0 0 2\n").ok());
  EXPECT_EQ(output_, "\nwrite entend_info to partition[b]\n");
}

TEST_F(FlashLayoutTest, KeyFileNamedBeforeThePartition) {
  Write("b.bin", "b");
  ASSERT_TRUE(Load("flash_size 0x10000\nkey_file my.key\nb b.bin false raw ro 0 0 0 0 2\n").ok());
  EXPECT_EQ(output_, "signature key file name is " + dir_ +
                         "/my.key\n\nwrite entend_info to partition[b]\n");
  // A key_file line after the partition line does not count for it.
  ResetFlashLayoutState();
  ASSERT_TRUE(Load("flash_size 0x10000\nb b.bin false raw ro 0 0 0 0 2\nkey_file my.key\n").ok());
  EXPECT_EQ(output_, "it is not indicates signature key file, use default " + dir_ +
                         "/key.pri\n\nwrite entend_info to partition[b]\n");
}

TEST_F(FlashLayoutTest, TablePartition) {
  std::string table = Pattern(512, 9);
  Write("table.bin", table);
  ASSERT_TRUE(Load("flash_size 0x30000\n"
                   "boot NULL false raw ro 0 0 0\n"
                   "TaBlE NULL false raw ro 0 0 0x10000\n"
                   "app NULL false raw ro 0 0 0x20000\n")
                  .ok());
  EXPECT_EQ(layout_->table_enable, 1);
  EXPECT_EQ(layout_->table_address, 0x10000u);
  EXPECT_STREQ(layout_->slots[1].file_path, (dir_ + "/table.bin").c_str());
  EXPECT_EQ(Image(1), table + std::string(0x10000 - 512, '\xff'));
  EXPECT_EQ(layout_->slots[0].file_path, nullptr);

  // The first partition is never taken as the table, but still gets table.bin.
  ASSERT_TRUE(Load("flash_size 0x30000\ntable NULL false raw ro 0 0 0x10000\n").ok());
  EXPECT_EQ(layout_->table_enable, 0);
  EXPECT_EQ(layout_->table_address, 0u);
  EXPECT_EQ(Entry(0).file_size, 512u);
}

TEST_F(FlashLayoutTest, BaseDirectory) {
  std::string other = dir_ + "/other";
  ASSERT_EQ(mkdir(other.c_str(), 0777), 0);
  Write("other/k.bin", "kk");
  ASSERT_TRUE(Load("flash_size 1M\nk k.bin\n", other.data()).ok()) << output_;
  EXPECT_STREQ(layout_->slots[0].file_path, (other + "/k.bin").c_str());
  EXPECT_EQ(Entry(0).file_size, 2u);

  // A bare layout name is read from the working directory.
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(other.c_str()), 0);
  std::ofstream("bare.conf") << "flash_size 1M\nk k.bin\n";
  testing::internal::CaptureStdout();
  flash* loaded = nullptr;
  Status status = LoadFlashLayout("bare.conf", nullptr, &loaded);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(chdir(previous), 0);
  ASSERT_TRUE(status.ok());
  layout_.reset(loaded);
  EXPECT_STREQ(layout_->slots[0].file_path, "./k.bin");
}

TEST_F(FlashLayoutTest, OverlongLinesAreReadInPiecesOf1022Characters) {
  // The second piece of each long line is a line of its own: a key, then a
  // partition hidden behind a comment.
  ASSERT_TRUE(
      Load(std::string(1022, ' ') + "flash_size 8M\n" + "#" + std::string(1021, 'x') + "p NULL\n")
          .ok());
  EXPECT_EQ(layout_->flash_size, 0x800000u);
  ASSERT_EQ(layout_->count, 1);
  EXPECT_STREQ(Entry(0).name, "p");
}

TEST(FlashSort, OrdersSlotsByStartAndKeepsTies) {
  flash layout = {};
  uint32_t starts[] = {0x20000, 0, 0x10000, 0x10000};
  for (int i = 0; i < 4; ++i) {
    layout.entries[i].start = starts[i];
    layout.entries[i].name[0] = static_cast<char>('a' + i);
    layout.slots[i].entry = &layout.entries[i];
  }
  layout.count = 4;
  EXPECT_LT(flash_compr(&layout.slots[1], &layout.slots[0]), 0);
  EXPECT_EQ(flash_compr(&layout.slots[2], &layout.slots[3]), 0);
  flash_sort(&layout);
  std::string order;
  for (int i = 0; i < 4; ++i) order += layout.slots[i].entry->name;
  EXPECT_EQ(order, "bcda");
  EXPECT_EQ(layout.entries[0].start, 0x20000u);  // entries stay where they are
}

TEST(Str2bool, OnlyTrueIsTrue) {
  struct Case {
    const char* word;
    bool expected;
  } cases[] = {{"true", true}, {"TRUE", true},   {"tRuE", true},   {"1", false},  {"yes", false},
               {"", false},    {nullptr, false}, {"truex", false}, {"tru", false}};
  for (const Case& c : cases) EXPECT_EQ(str2bool(c.word), c.expected) << (c.word ? c.word : "null");
}

TEST(GetSizeStr, ChoosesTheUnit) {
  struct Case {
    unsigned n;
    const char* text;
  } cases[] = {{0, "     0  B"},        {1023, "  1023  B"},       {1024, "  1.00 KB"},
               {1536, "  1.50 KB"},     {0xFFFFF, "1024.00 KB"},   {0x100000, "  1.00 MB"},
               {0x800000, "  8.00 MB"}, {0xFFFFFFFF, "4096.00 MB"}};
  for (const Case& c : cases) {
    char buffer[16];
    EXPECT_EQ(get_size_str(buffer, c.n), buffer);
    EXPECT_STREQ(buffer, c.text) << c.n;
  }
}

}  // namespace
