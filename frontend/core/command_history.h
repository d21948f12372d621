#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The commands typed into the command box, oldest first, no two equal, with
// the cursor that Up and Down move. The dialog calls Add() when a typed
// command is run and Up()/Down() on those keys; a returned text goes into the
// command box (caret at its end), nullopt leaves the box unchanged. The key
// is consumed either way.
//
// Up walks from the oldest entry towards the newest and stays on the newest;
// Down walks back and stays on the oldest. Example: after a, b, c, Up gives
// a, b, c, c; then Down gives b, a, a.
class CommandHistory {
 public:
  // Removes every entry equal to `text` and appends it as the newest. The
  // cursor does not move.
  void Add(const QString& text);

  std::optional<QString> Up();
  std::optional<QString> Down();

  const QStringList& Entries() const { return m_entries; }
  int Cursor() const { return m_cursor; }

 private:
  QStringList m_entries;
  int m_cursor = 0;
  QString m_recalled;  // the entry Up or Down last recalled
};
