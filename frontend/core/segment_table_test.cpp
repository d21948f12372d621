#include "segment_table.h"

#include <gtest/gtest.h>

#include "section_file.h"
#include "test_printers.h"

namespace {

QByteArray DefaultContent() { return SectionFile::DefaultText().toUtf8(); }

TEST(SegmentTableTest, DefaultContentGivesTheNineSections) {
  SegmentTable table;
  EXPECT_EQ(table.Reload(DefaultContent()), "");
  const struct {
    const char* name;
    quint32 start;
    quint32 size;
  } expected[] = {
      {"All", 0x00000000, 0x00200000},         {"Bootload", 0x00000000, 0x00010000},
      {"Main Code", 0x00010000, 0x00120000},   {"Logo", 0x00130000, 0x00008000},
      {"Common Data", 0x00138000, 0x00000800}, {"Default UsrDB", 0x00138800, 0x00007800},
      {"UsrDB", 0x00140000, 0x00080000},       {"SysDB", 0x001C0000, 0x00020000},
      {"Key", 0x001E0000, 0x00020000},
  };
  ASSERT_EQ(table.Count(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(table.At(i)->name, expected[i].name);
    EXPECT_EQ(table.At(i)->start_address, expected[i].start) << i;
    EXPECT_EQ(table.At(i)->size, expected[i].size) << i;
  }
  EXPECT_EQ(table.SelectedIndex(), 0);  // "All" selected after the first load
  EXPECT_EQ(table.At(9), nullptr);
  EXPECT_EQ(table.At(-1), nullptr);
}

TEST(SegmentTableTest, OddFilesGiveOddSectionsNotFailures) {
  const struct {
    const char* content;
    int count;
    const char* first_name;
    quint32 first_start;
    quint32 first_size;
  } cases[] = {
      {"", 0, "", 0, 0},
      {"[Main]\nSegNumber=0\nSeg0=A\n", 0, "", 0, 0},
      {"[Main]\nSegNumber=many\n", 0, "", 0, 0},
      {"[Main]\nSegNumber=-2\n", 0, "", 0, 0},
      // More sections than names: empty entries.
      {"[Main]\nSegNumber=2\n", 2, "", 0, 0},
      // A name without a section of its own, a section without SegSize.
      {"[Main]\nSegNumber=1\nSeg0=Ghost\n", 1, "Ghost", 0, 0},
      {"[Main]\nSegNumber=1\nSeg0=A\n[A]\nStartAddr=0x10\n", 1, "A", 0x10, 0},
      // Case, blanks, Windows line ends.
      {"[ MAIN ]\r\r\n segnumber = 1 \r\r\nSEG0= Main Code \r\r\n[main code]\r\r\n"
       "startaddr =0X1C0000\r\r\nsegsize=1C0000\r\r\n",
       1, "Main Code", 0x1C0000, 0x100000},
  };
  for (const auto& c : cases) {
    SegmentTable table;
    table.Reload(c.content);
    ASSERT_EQ(table.Count(), c.count) << c.content;
    if (c.count == 0) {
      EXPECT_EQ(table.SelectedIndex(), -1);
      continue;
    }
    EXPECT_EQ(table.At(0)->name, c.first_name);
    EXPECT_EQ(table.At(0)->start_address, c.first_start);
    EXPECT_EQ(table.At(0)->size, c.first_size);
  }
}

TEST(SegmentTableTest, ReloadKeepsTheSelectionIndex) {
  SegmentTable table;
  table.Reload(DefaultContent());
  table.Select(3);
  table.Reload(DefaultContent());
  EXPECT_EQ(table.SelectedIndex(), 3);
  EXPECT_EQ(table.Selected()->name, "Logo");

  // Three sections: the fourth no longer exists, nothing is selected.
  table.Reload("[Main]\nSegNumber=3\n");
  EXPECT_EQ(table.SelectedIndex(), -1);
  EXPECT_EQ(table.Selected(), nullptr);

  // Nothing selected before: the first entry is selected.
  table.Reload(DefaultContent());
  EXPECT_EQ(table.SelectedIndex(), 0);
}

TEST(SegmentTableTest, HugeSegNumberIsCapped) {
  SegmentTable table;
  EXPECT_EQ(table.Reload("[Main]\nSegNumber=4000000000\nSeg1030=X\n"),
            "SegNumber=4000000000 in the section file; only the first 1024 sections are used.");
  EXPECT_EQ(table.Count(), SegmentTable::kMaxSegments);
  EXPECT_EQ(table.Reload("[Main]\nSegNumber=1024\n"), "");
  EXPECT_EQ(table.Count(), 1024);
}

}  // namespace
