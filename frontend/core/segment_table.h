#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One named region of the box's flash, as the section file describes it.
struct Segment {
  QString name;               // also the name of its own section in config.ini
  quint32 start_address = 0;  // flash offset of the first byte
  quint32 size = 0;           // length in bytes
};

// The flash sections in file order plus the Section list's selection. The
// Section list shows the entries' names in table order, so the list's index
// is the table index; the dialog mirrors `SelectedIndex()` into the list and
// reports the operator's choice back with `Select()`.
//
// Owned by the dialog; replaced entry by entry on every reload. Not
// thread-safe (the dialog's thread only).
class SegmentTable {
 public:
  // More sections than this are not read: the file is typed by hand, and a
  // huge SegNumber would otherwise allocate without bound.
  static constexpr int kMaxSegments = 1024;

  int Count() const { return static_cast<int>(m_entries.size()); }
  const QVector<Segment>& Entries() const { return m_entries; }
  // The entry at `index`, or nullptr when there is none.
  const Segment* At(int index) const;

  // -1 when nothing is selected.
  int SelectedIndex() const { return m_selected; }
  // The selected entry, or nullptr (nothing selected or empty table).
  const Segment* Selected() const { return At(m_selected); }
  // Any value; one outside the table selects nothing.
  void Select(int index);

  // Rebuilds the entries from the section file's bytes (ReloadSections): the
  // selection index noted before (0 when nothing was selected) is selected
  // again, or nothing when the new table is shorter. Returns a message for
  // the operator when SegNumber was above kMaxSegments and had to be capped,
  // an empty text otherwise.
  QString Reload(const QByteArray& file_content);

 private:
  QVector<Segment> m_entries;
  int m_selected = -1;
};
