#include "command_history.h"

void CommandHistory::Add(const QString& text) {
  m_entries.removeAll(text);
  m_entries.append(text);
}

std::optional<QString> CommandHistory::Up() {
  if (m_entries.isEmpty()) return std::nullopt;
  if (m_cursor < m_entries.size()) {
    m_recalled = m_entries[m_cursor];
    ++m_cursor;
  }
  return m_recalled;
}

std::optional<QString> CommandHistory::Down() {
  if (m_entries.isEmpty()) return std::nullopt;
  const int count = static_cast<int>(m_entries.size());
  if (m_cursor >= 1 && m_cursor <= count) {
    if (m_cursor == count) m_cursor = count - 1;
    if (m_cursor == 0) return std::nullopt;
    m_recalled = m_entries[m_cursor - 1];
    --m_cursor;
    // The oldest entry stays reachable: Down never leaves the cursor at 0.
    if (m_cursor == 0) m_cursor = 1;
  }
  return m_recalled;
}
