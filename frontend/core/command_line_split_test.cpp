#include "command_line_split.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

TEST(CommandLineSplitTest, WindowsConvention) {
  const struct {
    const char* line;
    QStringList words;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"boot -h", {"boot", "-h"}},
      {"  boot\t -h  ", {"boot", "-h"}},
      // A -c command built by the front end: the quotes group, backslashes stay.
      {R"(/w/boot_file/boot -m vk7301-8805-dvbs2 -d COM3 -c "serialdown 0x00010000 'D:\\fw\\app.bin'")",
       {"/w/boot_file/boot", "-m", "vk7301-8805-dvbs2", "-d", "COM3", "-c",
        R"(serialdown 0x00010000 'D:\\fw\\app.bin')"}},
      {R"(p -b "C:\tools\boot_file\X.boot")", {"p", "-b", R"(C:\tools\boot_file\X.boot)"}},
      {R"(p -c flash eraseall)", {"p", "-c", "flash", "eraseall"}},
      // Backslashes before a quote.
      {R"(p a\"b)", {"p", R"(a"b)"}},
      {R"(p a\\"b c")", {"p", R"(a\b c)"}},
      {R"(p a\\\"b)", {"p", R"(a\"b)"}},
      {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
      {R"(p a\\b)", {"p", R"(a\\b)"}},
      // Quotes inside a word, doubled quotes, empty arguments.
      {R"(p ab"c d"e)", {"p", "abc de"}},
      {R"(p "a ""b"" c")", {"p", R"(a "b" c)"}},
      {R"(p "" x)", {"p", "", "x"}},
      {R"(p "unterminated arg)", {"p", "unterminated arg"}},
      // The program: quoted up to the next quote, backslashes literal.
      {R"("C:\my tools\boot.exe" -h)", {R"(C:\my tools\boot.exe)", "-h"}},
      {R"(C:\dir\boot.exe -h)", {R"(C:\dir\boot.exe)", "-h"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(QString::fromUtf8(c.line)), c.words) << c.line;
  }
}

TEST(CommandLineSplitTest, UnquotedProgramWithBlanksIsFoundLikeOnWindows) {
  const auto exists = [](const QString& path) {
    return path == "/home/op/my tools/boot_file/boot";
  };
  EXPECT_EQ(SplitCommandLine(u"/home/op/my tools/boot_file/boot -d x -c \"a b\"", exists),
            QStringList({"/home/op/my tools/boot_file/boot", "-d", "x", "-c", "a b"}));
  // No prefix names a program: the first word is taken.
  EXPECT_EQ(SplitCommandLine(u"/nowhere/x y", exists), QStringList({"/nowhere/x", "y"}));
}

}  // namespace
