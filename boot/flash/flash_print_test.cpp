#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "flash/flash_layout.h"

namespace {

TEST(FlashPrintf, PrintsTheLayoutAsATable) {
  ResetFlashLayoutState();
  char pattern[] = "/tmp/flash_print_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::ofstream(dir + "/boot.bin") << std::string(1000, 'b');
  std::ofstream(dir + "/table.bin") << std::string(512, 't');
  std::ofstream(dir + "/k.bin") << std::string(0x180000, 'k');
  std::ofstream(dir + "/board.conf") << "table_version 2\n"
                                        "flash_size 8M\n"
                                        "write_protect true\n"
                                        "boot boot.bin false raw ro 1 2 0\n"
                                        "table NULL false romfs ro 0 0 0x10000\n"
                                        "kernel k.bin false yaffs2 rw 0 0 0x20000\n"
                                        "fs NULL false ramfs ro 0 0 0x400000 0 0 1M\n";
  testing::internal::CaptureStdout();
  flash* layout = nullptr;
  ASSERT_TRUE(LoadFlashLayout((dir + "/board.conf").c_str(), nullptr, &layout).ok());
  testing::internal::GetCapturedStdout();
  ASSERT_NE(layout, nullptr);

  testing::internal::CaptureStdout();
  flash_printf(layout);
  std::string printed = testing::internal::GetCapturedStdout();
  flash_free(layout);
  ResetFlashLayoutState();
  std::system(("rm -rf '" + dir + "'").c_str());

  const std::string equals(106, '='), dashes(106, '-');
  EXPECT_EQ(printed,
            "\n"
            "Partition Version   :  102\n"
            "Flase Size          :  8.00 MB\n"
            "Partition Count     :  4\n"
            "Partition MAX Count :  24\n"
            "Table Enable        :  TRUE\n"
            "Write Protect       :  TRUE\n"
            "CRC32 Enable        :  FALSE\n"
            "Table CRC32         :  0\n"
            "\n" +
                equals + "\n" +
                "ID NAME       FS         CRC32  UPDATE VERION    START      SIZE      PART"
                "      USED    USE%  RESERVED OK\n" +
                equals + "\n" +
                // ID NAME  RO FS      CRC32   UPDATE VERSION START       SIZE
                "0  boot    RO RAW                    1      2 00000000  64.00 KB  "
                // PART      USED      USE%    RESERVED OK
                " 64.00 KB   1000  B 1.5  %       0  B  *\n"
                "1  table   RO ROMFS                  0      0 00010000  64.00 KB  "
                " 64.00 KB    512  B 0.8  %       0  B  *\n"
                "2  kernel  RW YAFFS2                 0      0 00020000   3.88 MB  "
                "  3.88 MB   1.50 MB 38.7 %       0  B  *\n"
                "3  fs      RO UNKNOWN                0      0 00400000   4.00 MB  "
                "  3.00 MB      0  B 0.0  %    1.00 MB  *\n" +
                dashes + "\n\n");
}

}  // namespace
