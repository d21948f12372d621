#include "section_file.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <climits>

#include "hex_digit.h"

namespace {

// Windows profile values are read into 255-byte buffers.
constexpr qsizetype kMaxValueLength = 254;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

QByteArrayView Trim(QByteArrayView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.sliced(begin, end - begin);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameName(QByteArrayView a, QByteArrayView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// strtoul(text, nullptr, 16) for a 32-bit unsigned long.
quint32 StrToUl16(QByteArrayView text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i + 2 < text.size() && text[i] == '0' && Lower(text[i + 1]) == 'x' &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  quint64 value = 0;
  bool overflow = false;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
    value = value * 16 + quint64(HexDigit(text[i]));
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0xFFFFFFFFu;
    }
  }
  if (overflow) return 0xFFFFFFFFu;
  return negative ? quint32(0u - quint32(value)) : quint32(value);
}

// Any run of carriage returns before a line feed is part of the line end.
QString WithLfLineEnds(const QString& text) {
  static const QRegularExpression line_end(QStringLiteral("\r+\n"));
  QString result = text;
  result.replace(line_end, QStringLiteral("\n"));
  return result;
}

}  // namespace

QByteArray ProfileString(const QByteArray& content, const QByteArray& section,
                         const QByteArray& key) {
  const QByteArrayView wanted_section = Trim(section);
  const QByteArrayView wanted_key = Trim(key);
  if (wanted_section.isEmpty() || wanted_key.isEmpty()) return {};

  bool in_section = false;
  bool section_seen = false;
  qsizetype pos = 0;
  while (pos <= content.size()) {
    qsizetype end = content.indexOf('\n', pos);
    if (end < 0) end = content.size();
    const QByteArrayView line = Trim(QByteArrayView(content).sliced(pos, end - pos));
    pos = end + 1;

    if (line.startsWith('[')) {
      // Only the first section of a name counts.
      if (section_seen) break;
      qsizetype close = line.indexOf(']');
      if (close < 0) close = line.size();
      in_section = SameName(Trim(line.sliced(1, close - 1)), wanted_section);
      section_seen = in_section;
      continue;
    }
    if (!in_section) continue;
    const qsizetype equals = line.indexOf('=');
    if (equals < 0) continue;
    if (SameName(Trim(line.first(equals)), wanted_key)) {
      const QByteArrayView value = Trim(line.sliced(equals + 1));
      return value.first(std::min(kMaxValueLength, value.size())).toByteArray();
    }
  }
  return {};
}

int ProfileInt(const QByteArray& content, const QByteArray& section, const QByteArray& key) {
  const QByteArray value = ProfileString(content, section, key);
  qint64 number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    number = std::min<qint64>(number * 10 + (c - '0'), INT_MAX);
  }
  return int(number);
}

quint32 ParseHexValue(const QByteArray& value) {
  if (value.isEmpty()) return 0;
  if (value.size() == 1) return quint32(std::max(0, HexDigit(value[0])));
  QByteArray text = value;
  text[1] = '0';
  return StrToUl16(text);
}

QString SectionFile::DefaultText() {
  return QStringLiteral(
      "[Main]\n"
      "SegNumber=9\n"
      "Seg0=All\n"
      "Seg1=Bootload\n"
      "Seg2=Main Code\n"
      "Seg3=Logo\n"
      "Seg4=Common Data\n"
      "Seg5=Default UsrDB\n"
      "Seg6=UsrDB\n"
      "Seg7=SysDB\n"
      "Seg8=Key\n"
      "[All]\n"
      "StartAddr=0x00000000\n"
      "SegSize   =0x00200000\n"
      "[Bootload]\n"
      "StartAddr=0x00000000\n"
      "SegSize   =0x00010000\n"
      "[Main Code]\n"
      "StartAddr=0x00010000\n"
      "SegSize   =0x00120000\n"
      "[Logo]\n"
      "StartAddr=0x00130000\n"
      "SegSize   =0x00008000\n"
      "[Common Data]\n"
      "StartAddr=0x00138000\n"
      "SegSize   =0x00000800\n"
      "[Default UsrDB]\n"
      "StartAddr=0x00138800\n"
      "SegSize   =0x00007800\n"
      "[UsrDB]\n"
      "StartAddr=0x00140000\n"
      "SegSize   =0x00080000\n"
      "[SysDB]\n"
      "StartAddr=0x001C0000\n"
      "SegSize   =0x00020000\n"
      "[Key]\n"
      "StartAddr=0x001E0000\n"
      "SegSize   =0x00020000");
}

SectionFile::LoadResult SectionFile::Load() {
  LoadResult result;
  if (!QFile::exists(m_path)) {
    const QString error = Write(DefaultText());
    if (!error.isEmpty()) {
      result.error = error;
      return result;
    }
    result.ok = true;
    result.created = true;
    result.editor_text = DefaultText();
    result.content = DefaultText().toUtf8();
    return result;
  }

  QString error;
  result.content = ReadAll(&error);
  if (!error.isEmpty()) {
    result.error = error;
    result.content.clear();
    return result;
  }
  const QString text = WithLfLineEnds(QString::fromUtf8(result.content));
  result.ok = true;
  result.editor_text = text.left(kEditorLimit);
  result.hidden_tail = text.mid(kEditorLimit);
  return result;
}

QByteArray SectionFile::ReadAll(QString* error) const {
  QFile file(m_path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("Cannot read the section file %1: %2").arg(m_path, file.errorString());
    return {};
  }
  QByteArray content = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    *error = QStringLiteral("Cannot read the section file %1: %2").arg(m_path, file.errorString());
    return {};
  }
  error->clear();
  return content;
}

QString SectionFile::Write(const QString& text, const QString& hidden_tail) const {
  QSaveFile file(m_path);
  if (!file.open(QIODevice::WriteOnly)) {
    return QStringLiteral("Cannot write the section file %1: %2").arg(m_path, file.errorString());
  }
  file.write(WithLfLineEnds(text + hidden_tail).toUtf8());
  if (!file.commit()) {
    return QStringLiteral("Cannot write the section file %1: %2").arg(m_path, file.errorString());
  }
  return {};
}
