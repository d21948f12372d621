#include "dialog/progress_tracker.h"

#include <algorithm>

namespace {

// A counter item carries at least two digits; "100%" has three.
constexpr int kMinDigits = 2;
constexpr int kMaxDigits = 3;

}  // namespace

void ProgressTracker::Reset() {
  m_percent = 0;
  m_tail.clear();
}

void ProgressTracker::Feed(const QString& chunk) {
  const QString text = m_tail + chunk;
  for (qsizetype at = text.lastIndexOf(QLatin1Char('%')); at > 0;
       at = text.lastIndexOf(QLatin1Char('%'), at - 1)) {
    qsizetype first = at;
    while (first > 0 && text[first - 1].isDigit() && at - first < kMaxDigits + 1) --first;
    const qsizetype digits = at - first;
    const bool longer = first > 0 && text[first - 1].isDigit();
    if (digits >= kMinDigits && digits <= kMaxDigits && !longer) {
      m_percent = std::clamp(text.mid(first, digits).toInt(), 0, 100);
      break;
    }
  }
  // Keep the digits that end this chunk: the next chunk may bring their "%".
  qsizetype digitsAtEnd = 0;
  while (digitsAtEnd < text.size() && digitsAtEnd <= kMaxDigits &&
         text[text.size() - 1 - digitsAtEnd].isDigit())
    ++digitsAtEnd;
  m_tail = text.right(digitsAtEnd);
}
