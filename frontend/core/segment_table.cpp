#include "segment_table.h"

#include "section_file.h"

const Segment* SegmentTable::At(int index) const {
  if (index < 0 || index >= m_entries.size()) return nullptr;
  return &m_entries[index];
}

void SegmentTable::Select(int index) { m_selected = (At(index) != nullptr) ? index : -1; }

QString SegmentTable::Reload(const QByteArray& file_content) {
  const int previous = m_selected < 0 ? 0 : m_selected;
  QString message;

  int count = ProfileInt(file_content, "Main", "SegNumber");
  if (count > kMaxSegments) {
    message = QStringLiteral(
                  "SegNumber=%1 in the section file; only the first %2 sections are "
                  "used.")
                  .arg(QString::fromUtf8(ProfileString(file_content, "Main", "SegNumber")))
                  .arg(kMaxSegments);
    count = kMaxSegments;
  }

  QVector<Segment> entries(count);
  for (int i = 0; i < count; ++i) {
    Segment& entry = entries[i];
    const QByteArray name = ProfileString(file_content, "Main", "Seg" + QByteArray::number(i));
    entry.name = QString::fromUtf8(name);
    entry.start_address = ParseHexValue(ProfileString(file_content, name, "StartAddr"));
    entry.size = ParseHexValue(ProfileString(file_content, name, "SegSize"));
  }
  m_entries = std::move(entries);
  Select(previous);
  return message;
}
