#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

// The net change that one chunk made at the end of the log: `erased`
// characters were removed from the end of the previous text, then `appended`
// was added. (Backspaces only ever remove from the end, so any chunk reduces
// to this.)
//
// The `display_` pair is the same change for a view that shows the log
// without carriage returns (a QPlainTextEdit turns "\r" into a line break of
// its own): `display_erased` counts the erased characters that are not '\r',
// `display_appended` is `appended` without '\r'. A view applies it with
//   cursor.movePosition(QTextCursor::End);
//   cursor.setPosition(cursor.position() - display_erased, KeepAnchor);
//   cursor.insertText(display_appended);
struct LogEdit {
  qsizetype erased = 0;
  QString appended;
  qsizetype display_erased = 0;
  QString display_appended;
};

// Renders `chunk` onto the end of `*log` in place and returns the net change:
// text is appended as it stands; a backspace (0x08) erases the last character
// of the log, unless the log is empty or ends with a line feed, in which case
// it is dropped. A surrogate pair counts as one character. Costs O(chunk),
// not O(log).
LogEdit RenderOnto(QString* log, QStringView chunk);

// The pure form: the log that results from appending `chunk` to `log`.
QString RenderOutput(QString log, QStringView chunk);

// The tool's "Press any key to continue . . ." prompt and everything after it
// in the same chunk are dropped; returns the chunk cut at the first
// occurrence (unchanged when it has none).
QByteArray CutAtContinuePrompt(const QByteArray& chunk);

// The log pane's content: the tool's output and the run messages, rendered.
// One per dialog, shared by the runners of all runs (they do not own it).
// Emits `Edited` after every change so that a view can follow it without
// re-reading the whole text; `Cleared` after Clear(). Lines end in "\r\n"
// as the run messages write them. Dialog thread only.
class OutputRenderer : public QObject {
  Q_OBJECT

 public:
  explicit OutputRenderer(QObject* parent = nullptr);

  const QString& Text() const { return m_text; }

  // Appends a text (run messages), rendering backspaces.
  void Append(QStringView text);
  // Appends raw tool output. The bytes are decoded as UTF-8 with the state
  // kept across calls, so a character split between two reads is whole.
  void AppendBytes(QByteArrayView bytes);
  // Empties the log (the Clear button).
  void Clear();

 signals:
  void Edited(const LogEdit& edit);
  void Cleared();

 private:
  QString m_text;
  QStringDecoder m_decoder{QStringDecoder::Utf8};
};
