#pragma once

#include <QByteArray>
#include <QString>

// Reads a value the way the Windows profile functions do, from the bytes of
// an INI text: lines end at LF (a CR before it, also CR CR, is a blank);
// blanks (space, tab, CR) around a line, a section or key name and a value
// are ignored; section and key names match without regard to letter case;
// the first matching section and the first matching key in it count; a
// missing section or key gives an empty text; values are cut to 254 bytes.
QByteArray ProfileString(const QByteArray& content, const QByteArray& section,
                         const QByteArray& key);
// The leading decimal digits of the value as a number; 0 when the value is
// missing, empty, negative or not a number. Saturates at INT_MAX.
int ProfileInt(const QByteArray& content, const QByteArray& section, const QByteArray& key);

// A StartAddr / SegSize value as a number: its second character is replaced
// by '0' (so any two-character prefix such as "0x" or "0X" is neutral), then
// the text is read as hexadecimal in the manner of strtoul: digits up to the
// first other character, 0xFFFFFFFF beyond 32 bits. A one-character value
// reads as that hex digit (0 when it is none); an empty value reads 0.
quint32 ParseHexValue(const QByteArray& value);

// The section file boot_file/config.ini: its default content, its load into
// the editor and its writes. Files are opened and closed within one call.
//
// Line ends: the file is stored with this platform's line ends (LF); the
// editor's text uses "\n". Reading accepts LF, CR LF and CR CR LF (files
// written by the Windows front end).
class SectionFile {
 public:
  // The editor shows at most this many characters of the file.
  static constexpr int kEditorLimit = 2048;

  // The default content, 38 lines joined with "\n", no line end after the
  // last (608 characters).
  static QString DefaultText();

  struct LoadResult {
    bool ok = false;       // false: `error` says why; nothing else is set
    QString error;         // names the file and the system's reason
    bool created = false;  // the file was missing and has been created
    QString editor_text;   // the first kEditorLimit characters, "\n" line ends
    QString hidden_tail;   // what the editor does not show (see Write)
    QByteArray content;    // the whole file, as on disk, for the profile reader
  };

  explicit SectionFile(QString path) : m_path(std::move(path)) {}

  const QString& path() const { return m_path; }

  // Opens the existing file and reads it, or creates it with DefaultText()
  // when it is missing.
  LoadResult Load();

  // The file's bytes for ReloadSections, or an error text (empty on
  // success) in `*error`.
  QByteArray ReadAll(QString* error) const;

  // Replaces the file's content with `text` (any line ends become LF) plus
  // `hidden_tail`, atomically: a write that fails leaves the former file
  // whole. Returns an empty text on success, otherwise the error to report.
  //
  // `hidden_tail` is what the last Load() cut off for the editor: passing it
  // back keeps the part of a long file that the operator never saw.
  QString Write(const QString& text, const QString& hidden_tail = {}) const;

 private:
  QString m_path;
};
