#pragma once

// Converts dialog units, the font-relative measure in which the dialog
// templates give every place and size, into pixels for a given font: a
// horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height.

#include <QFont>
#include <QRect>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  // Base units given directly (tests, fixed layouts).
  DialogUnits(int baseWidth, int baseHeight) : m_baseWidth(baseWidth), m_baseHeight(baseHeight) {}

  int X(int units) const { return units * m_baseWidth / 4; }
  int Y(int units) const { return units * m_baseHeight / 8; }
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const { return QSize(X(width), Y(height)); }

 private:
  int m_baseWidth = 6;
  int m_baseHeight = 13;
};
