#include "section_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "test_printers.h"

namespace {

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

TEST(ProfileTest, ReadingRules) {
  const QByteArray content =
      "key=outside\n"
      "[Main]\n"
      "  SegNumber = 12 \r\n"
      "Seg0=first\r\r\n"
      "seg0=second\n"  // the first match wins
      "Seg1=\n"
      "noequals\n"
      "Seg2=a=b\n"
      "[Other]\n"
      "Seg3=elsewhere\n"
      "[MAIN]\n"
      "Seg3=duplicate section\n"  // only the first [Main] counts
      "[Long]\n"
      "v=" +
      QByteArray(300, 'x') + "\n";
  const struct {
    const char* section;
    const char* key;
    QByteArray value;
  } cases[] = {
      {"Main", "SegNumber", "12"},
      {"main", "SEGNUMBER", "12"},
      {"Main", "Seg0", "first"},
      {"Main", "Seg1", ""},
      {"Main", "noequals", ""},
      {"Main", "Seg2", "a=b"},
      {"Main", "Seg3", ""},
      {"Other", "Seg3", "elsewhere"},
      {"Missing", "Seg0", ""},
      {"Main", "key", ""},
      {"Long", "v", QByteArray(254, 'x')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileString(content, c.section, c.key), c.value) << c.section << "/" << c.key;
  }
  EXPECT_EQ(ProfileInt(content, "Main", "SegNumber"), 12);
  EXPECT_EQ(ProfileInt("[a]\nn=7x\n", "a", "n"), 7);
  EXPECT_EQ(ProfileInt("[a]\nn=x7\n", "a", "n"), 0);
  EXPECT_EQ(ProfileInt("[a]\nn=-7\n", "a", "n"), 0);
  EXPECT_EQ(ProfileInt("[a]\n", "a", "n"), 0);
}

TEST(ProfileTest, HexValueWithItsSecondCharacterRule) {
  const struct {
    const char* text;
    quint32 value;
  } cases[] = {
      {"0x001C0000", 0x1C0000},
      {"001C0000", 0x1C0000},
      {"0X1C0000", 0x1C0000},
      {"1C0000", 0x100000},
      {"0x10", 0x10},
      {"0xFFFFFFFFF", 0xFFFFFFFF},
      {"0xFFFFFFFF", 0xFFFFFFFF},
      {"", 0},
      {"5", 5},
      {"f", 15},
      {"x", 0},
      {"0x12 junk", 0x12},
      {"0xzz", 0},
      {"0x0x12", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHexValue(c.text), c.value) << c.text;
}

class SectionFileTest : public ::testing::Test {
 protected:
  QString Path() const { return m_dir.filePath("config.ini"); }
  QTemporaryDir m_dir;
};

TEST_F(SectionFileTest, MissingFileIsCreatedWithTheDefault) {
  SectionFile file(Path());
  const SectionFile::LoadResult loaded = file.Load();
  ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
  EXPECT_TRUE(loaded.created);
  EXPECT_EQ(loaded.editor_text, SectionFile::DefaultText());
  EXPECT_EQ(SectionFile::DefaultText().size(), 645 - 37);  // 38 lines, LF line ends
  EXPECT_EQ(SectionFile::DefaultText().count('\n'), 37);
  EXPECT_TRUE(SectionFile::DefaultText().contains("\nSegSize   =0x00200000\n"));
  EXPECT_EQ(ReadBytes(Path()), SectionFile::DefaultText().toUtf8());

  // The next load reads what is there.
  const SectionFile::LoadResult again = file.Load();
  EXPECT_FALSE(again.created);
  EXPECT_EQ(again.editor_text, SectionFile::DefaultText());
}

TEST_F(SectionFileTest, WindowsLineEndsAreReadAndWrittenBackAsLf) {
  WriteBytes(Path(), "[Main]\r\r\nSegNumber=1\r\r\nSeg0=A\r\n[A]\nStartAddr=0x10\r\r\n");
  SectionFile file(Path());
  const SectionFile::LoadResult loaded = file.Load();
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.editor_text, "[Main]\nSegNumber=1\nSeg0=A\n[A]\nStartAddr=0x10\n");

  ASSERT_EQ(file.Write("[Main]\r\nSegNumber=0\r\n"), "");
  EXPECT_EQ(ReadBytes(Path()), "[Main]\nSegNumber=0\n");
}

TEST_F(SectionFileTest, WriteTruncatesAndRoundTrips) {
  SectionFile file(Path());
  ASSERT_TRUE(file.Load().ok);
  const QString text = "[Main]\nSegNumber=1\nSeg0=Tiny\n[Tiny]\nStartAddr=0x0\nSegSize=0x4\n";
  ASSERT_EQ(file.Write(text), "");
  EXPECT_EQ(ReadBytes(Path()), text.toUtf8());  // nothing of the longer default remains
  EXPECT_EQ(file.Load().editor_text, text);
  QString error;
  EXPECT_EQ(file.ReadAll(&error), text.toUtf8());
  EXPECT_EQ(error, "");
}

TEST_F(SectionFileTest, EditorShowsTheFirst2048CharactersAndKeepsTheRest) {
  QByteArray content = "[Main]\r\nSegNumber=0\r\n";
  while (content.size() < 3000) content += "; padding line\r\n";
  WriteBytes(Path(), content);
  SectionFile file(Path());
  const SectionFile::LoadResult loaded = file.Load();
  ASSERT_TRUE(loaded.ok);
  const QString whole = QString::fromLatin1(content).replace("\r\n", "\n");
  EXPECT_EQ(loaded.editor_text, whole.left(2048));
  EXPECT_EQ(loaded.editor_text + loaded.hidden_tail, whole);
  EXPECT_EQ(loaded.content, content);  // the table is built from the whole file

  // Writing the editor's text back with the tail loses nothing.
  ASSERT_EQ(file.Write(loaded.editor_text, loaded.hidden_tail), "");
  EXPECT_EQ(ReadBytes(Path()), whole.toLatin1());
}

TEST_F(SectionFileTest, FileThatCanBeNeitherReadNorCreatedIsReported) {
  // A folder that is a plain file: nothing can be created below it, not even by root.
  WriteBytes(m_dir.filePath("boot_file"), "not a folder");
  SectionFile uncreatable(m_dir.filePath("boot_file/config.ini"));
  const SectionFile::LoadResult loaded = uncreatable.Load();
  EXPECT_FALSE(loaded.ok);
  EXPECT_TRUE(loaded.error.startsWith("Cannot write the section file " +
                                      m_dir.filePath("boot_file/config.ini") + ": "))
      << loaded.error.toStdString();
  EXPECT_NE(uncreatable.Write("x"), "");

  // A section file that is a folder exists but cannot be read.
  ASSERT_TRUE(QDir().mkdir(Path()));
  SectionFile unreadable(Path());
  const SectionFile::LoadResult result = unreadable.Load();
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.startsWith("Cannot read the section file " + Path() + ": "))
      << result.error.toStdString();
}

}  // namespace
