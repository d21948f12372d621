#include "command_line_split.h"

namespace {

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The arguments after the program, by the C run-time's rules.
void SplitArguments(QStringView line, qsizetype pos, QStringList* words) {
  QString word;
  bool in_word = false;
  bool quoted = false;
  while (pos < line.size()) {
    const QChar c = line[pos];
    if (c == QLatin1Char('\\')) {
      qsizetype backslashes = 0;
      while (pos < line.size() && line[pos] == QLatin1Char('\\')) ++backslashes, ++pos;
      if (pos < line.size() && line[pos] == QLatin1Char('"')) {
        word += QString(backslashes / 2, QLatin1Char('\\'));
        if (backslashes % 2 == 1) {
          word += QLatin1Char('"');
          ++pos;
        }
        // An even count leaves the quote to the next round, where it toggles.
      } else {
        word += QString(backslashes, QLatin1Char('\\'));
      }
      in_word = true;
      continue;
    }
    if (c == QLatin1Char('"')) {
      in_word = true;
      if (quoted && pos + 1 < line.size() && line[pos + 1] == QLatin1Char('"')) {
        word += QLatin1Char('"');
        pos += 2;
        continue;
      }
      quoted = !quoted;
      ++pos;
      continue;
    }
    if (IsBlank(c) && !quoted) {
      if (in_word) words->append(word);
      word.clear();
      in_word = false;
      ++pos;
      continue;
    }
    word += c;
    in_word = true;
    ++pos;
  }
  if (in_word) words->append(word);
}

}  // namespace

QStringList SplitCommandLine(QStringView line,
                             const std::function<bool(const QString&)>& is_program) {
  QStringList words;
  qsizetype pos = 0;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos == line.size()) return words;

  if (line[pos] == QLatin1Char('"')) {
    const qsizetype close = line.indexOf(QLatin1Char('"'), pos + 1);
    const qsizetype end = close < 0 ? line.size() : close;
    words.append(line.sliced(pos + 1, end - pos - 1).toString());
    pos = close < 0 ? line.size() : close + 1;
  } else {
    const qsizetype start = pos;
    qsizetype end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    qsizetype program_end = end;
    if (is_program) {
      // Try ever longer prefixes that end before a blank, as CreateProcess does.
      for (qsizetype candidate = end; candidate <= line.size(); ++candidate) {
        if (candidate < line.size() && !IsBlank(line[candidate])) continue;
        if (is_program(line.sliced(start, candidate - start).toString())) {
          program_end = candidate;
          break;
        }
      }
    }
    words.append(line.sliced(start, program_end - start).toString());
    pos = program_end;
  }
  SplitArguments(line, pos, &words);
  return words;
}
