#include "command_history.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

// Applies keys ('U' Up, 'D' Down) and records what the command box shows
// after each ("-" when the box is left unchanged).
std::string Walk(CommandHistory* history, const std::string& keys) {
  std::string shown;
  for (char key : keys) {
    const std::optional<QString> text = key == 'U' ? history->Up() : history->Down();
    shown += text ? text->toStdString() : "-";
    shown += ' ';
  }
  return shown;
}

TEST(CommandHistoryTest, UpWalksTowardsTheNewestDownBackToTheOldest) {
  CommandHistory history;
  history.Add("a");
  history.Add("b");
  history.Add("c");
  EXPECT_EQ(Walk(&history, "UUUU"), "a b c c ");
  EXPECT_EQ(Walk(&history, "DDD"), "b a a ");
  EXPECT_EQ(Walk(&history, "UU"), "b c ");
}

TEST(CommandHistoryTest, RunningAnEntryAgainMovesItToTheNewest) {
  CommandHistory history;
  for (const char* text : {"a", "b", "c", "b"}) history.Add(text);
  EXPECT_EQ(history.Entries(), QStringList({"a", "c", "b"}));
  EXPECT_EQ(history.Cursor(), 0);  // adding does not move the cursor
}

TEST(CommandHistoryTest, EmptyHistoryLeavesTheBoxUnchanged) {
  CommandHistory history;
  EXPECT_EQ(Walk(&history, "UDUD"), "- - - - ");
}

TEST(CommandHistoryTest, EdgesOfTheCursor) {
  CommandHistory history;
  history.Add("only");
  // Down before any Up: the cursor is 0, the (empty) recalled text is shown.
  EXPECT_EQ(Walk(&history, "D"), " ");
  // With one entry, Down from the top finds nothing to go to.
  EXPECT_EQ(Walk(&history, "UD"), "only - ");
  // The cursor went to 0 on that Down; Up starts again at the oldest.
  EXPECT_EQ(Walk(&history, "U"), "only ");
}

}  // namespace
