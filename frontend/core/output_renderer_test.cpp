#include "output_renderer.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

TEST(OutputRendererTest, RenderOutputTable) {
  const struct {
    const char* log;
    const char* chunk;
    const char* result;
  } cases[] = {
      {"", "text", "text"},
      {"a", "", "a"},
      {"abc", "\b", "ab"},
      {"abc", "\b\b\bxyz", "xyz"},
      // Never across a line end, and nothing to erase in an empty log.
      {"start\r\n", "\b\b\b00%", "start\r\n00%"},
      {"", "\bok", "ok"},
      {"ab", "\b\b\b\bcd", "cd"},
      {"a\n", "\b", "a\n"},
      {"line\r", "\b", "line"},  // a lone CR is an ordinary character
      // The tool's counter: three backspaces and a new value.
      {"send: 00%", "\b\b\b50%\b\b\b99%", "send: 99%"},
      {"x", "12\b3\b\b", "x"},
      {"\xf0\x9f\x98\x80", "\b", ""},  // a surrogate pair goes whole
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RenderOutput(QString::fromUtf8(c.log), QString::fromUtf8(c.chunk)),
              QString::fromUtf8(c.result))
        << "log '" << c.log << "' chunk '" << c.chunk << "'";
  }
}

TEST(OutputRendererTest, CounterChunksEndWithTheLastValue) {
  QString log;
  for (const char* chunk : {"start\r\n", "\b\b\b00%", "\b\b\b50%", "\b\b\b99%"}) {
    log = RenderOutput(log, QString::fromLatin1(chunk));
  }
  EXPECT_EQ(log, "start\r\n99%");
}

TEST(OutputRendererTest, EditIsTheNetChangeAtTheEnd) {
  const struct {
    const char* log;
    const char* chunk;
    qsizetype erased;
    const char* appended;
    qsizetype display_erased;
    const char* display_appended;
  } cases[] = {
      {"abc", "de", 0, "de", 0, "de"},
      {"ab 10%", "\b\b\b20%", 3, "20%", 3, "20%"},
      {"abc", "xy\b\b\bz", 1, "z", 1, "z"},
      {"ab\r", "\b\bq\r\n", 2, "q\r\n", 1, "q\n"},
      {"", "\b", 0, "", 0, ""},
  };
  for (const auto& c : cases) {
    QString log = QString::fromLatin1(c.log);
    const LogEdit edit = RenderOnto(&log, QString::fromLatin1(c.chunk));
    EXPECT_EQ(edit.erased, c.erased) << c.chunk;
    EXPECT_EQ(edit.appended, QString::fromLatin1(c.appended)) << c.chunk;
    EXPECT_EQ(edit.display_erased, c.display_erased) << c.chunk;
    EXPECT_EQ(edit.display_appended, QString::fromLatin1(c.display_appended)) << c.chunk;
  }
}

TEST(OutputRendererTest, ContinuePromptCutsTheChunk) {
  EXPECT_EQ(CutAtContinuePrompt("done\r\nPress any key to continue . . . \r\nmore"), "done\r\n");
  EXPECT_EQ(CutAtContinuePrompt("Press any key to continue . . ."), "");
  EXPECT_EQ(CutAtContinuePrompt("Press any key to continue"), "Press any key to continue");
}

TEST(OutputRendererTest, RendererFollowsItsEditsAndDecodesAcrossChunks) {
  OutputRenderer renderer;
  QString view;  // a view that applies the display edits, as the dialog does
  int cleared = 0;
  QObject::connect(&renderer, &OutputRenderer::Edited, [&](const LogEdit& edit) {
    view.chop(edit.display_erased);
    view += edit.display_appended;
  });
  QObject::connect(&renderer, &OutputRenderer::Cleared, [&] {
    view.clear();
    ++cleared;
  });

  renderer.Append(u"\r\nboot -h\r\n\r\n");
  renderer.AppendBytes("caf\xc3");  // the two bytes of one character, split
  renderer.AppendBytes("\xa9 00%");
  renderer.AppendBytes("\b\b\b42%\r\n");
  EXPECT_EQ(renderer.Text(), QString::fromUtf8("\r\nboot -h\r\n\r\ncaf\xc3\xa9 42%\r\n"));
  EXPECT_EQ(view, QString(renderer.Text()).remove('\r'));

  renderer.Clear();
  EXPECT_EQ(cleared, 1);
  EXPECT_TRUE(renderer.Text().isEmpty());
  renderer.Append(u"\bx");
  EXPECT_EQ(view, "x");
}

}  // namespace
