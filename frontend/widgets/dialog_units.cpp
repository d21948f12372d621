#include "widgets/dialog_units.h"

#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 Latin letters, rounded, as the system measures it.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  m_baseWidth = (letters / 26 + 1) / 2;
  m_baseHeight = metrics.height();
  if (m_baseWidth <= 0) m_baseWidth = 6;
  if (m_baseHeight <= 0) m_baseHeight = 13;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  // Right and bottom edges are converted too, so that neighbouring controls
  // stay flush after rounding.
  const int left = X(x), top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}
