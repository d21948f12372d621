#include "widgets/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal unit = size / 16.0;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(32, 84, 160));
  painter.drawRoundedRect(QRectF(0, 0, size, size), 3 * unit, 3 * unit);
  // The chip: a dark body with four pins on each side.
  painter.setPen(QPen(QColor(230, 230, 230), unit));
  for (int pin = 0; pin < 4; ++pin) {
    const qreal at = (4.5 + 2 * pin) * unit;
    painter.drawLine(QPointF(2 * unit, at), QPointF(4 * unit, at));
    painter.drawLine(QPointF(12 * unit, at), QPointF(14 * unit, at));
    painter.drawLine(QPointF(at, 2 * unit), QPointF(at, 4 * unit));
    painter.drawLine(QPointF(at, 12 * unit), QPointF(at, 14 * unit));
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(24, 24, 24));
  painter.drawRect(QRectF(4 * unit, 4 * unit, 8 * unit, 8 * unit));
  painter.setBrush(QColor(250, 196, 88));
  painter.drawEllipse(QPointF(6 * unit, 6 * unit), unit, unit);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addPixmap(DrawIcon(size));
  return icon;
}
