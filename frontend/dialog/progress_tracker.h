#pragma once

// Follows the boot tool's progress counter in its output: the percentage is
// the last "NN%" seen. Every transfer starts its counter at 00%, so the value
// falls back by itself when the next transfer begins. Chunks may split a
// counter item anywhere.

#include <QString>

class ProgressTracker {
 public:
  // A new run: back to 0, nothing seen.
  void Reset();
  // Looks at the next piece of output.
  void Feed(const QString& chunk);
  // 0 to 100.
  int Percent() const { return m_percent; }

 private:
  int m_percent = 0;
  QString m_tail;  // digits that ended the previous chunk
};
