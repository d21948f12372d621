#include "output_renderer.h"

namespace {

constexpr char16_t kBackspace = 0x08;
const char kContinuePrompt[] = "Press any key to continue . . .";

}  // namespace

LogEdit RenderOnto(QString* log, QStringView chunk) {
  const qsizetype old_length = log->size();
  // The shortest the log became: everything before it is untouched.
  qsizetype low_water = old_length;
  qsizetype display_erased = 0;

  qsizetype pos = 0;
  while (pos < chunk.size()) {
    if (chunk[pos] != kBackspace) {
      qsizetype end = chunk.indexOf(QChar(kBackspace), pos);
      if (end < 0) end = chunk.size();
      log->append(chunk.sliced(pos, end - pos));
      pos = end;
      continue;
    }
    ++pos;
    if (log->isEmpty() || log->back() == QLatin1Char('\n')) continue;
    qsizetype erase = 1;
    if (log->size() >= 2 && log->back().isLowSurrogate() &&
        log->at(log->size() - 2).isHighSurrogate()) {
      erase = 2;
    }
    const qsizetype new_length = log->size() - erase;
    if (new_length < low_water) {
      // Erasing text that was there before this chunk.
      for (qsizetype i = new_length; i < low_water; ++i) {
        if (log->at(i) != QLatin1Char('\r')) ++display_erased;
      }
      low_water = new_length;
    }
    log->truncate(new_length);
  }

  LogEdit edit;
  edit.erased = old_length - low_water;
  edit.appended = log->mid(low_water);
  edit.display_erased = display_erased;
  edit.display_appended = edit.appended;
  edit.display_appended.remove(QLatin1Char('\r'));
  return edit;
}

QString RenderOutput(QString log, QStringView chunk) {
  RenderOnto(&log, chunk);
  return log;
}

QByteArray CutAtContinuePrompt(const QByteArray& chunk) {
  const qsizetype at = chunk.indexOf(kContinuePrompt);
  return at < 0 ? chunk : chunk.left(at);
}

OutputRenderer::OutputRenderer(QObject* parent) : QObject(parent) {}

void OutputRenderer::Append(QStringView text) {
  if (text.isEmpty()) return;
  const LogEdit edit = RenderOnto(&m_text, text);
  if (edit.erased != 0 || !edit.appended.isEmpty()) emit Edited(edit);
}

void OutputRenderer::AppendBytes(QByteArrayView bytes) {
  const QString text = m_decoder.decode(bytes);
  Append(text);
}

void OutputRenderer::Clear() {
  m_text.clear();
  emit Cleared();
}
