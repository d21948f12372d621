#include "widgets/flat_button.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>

namespace {

// The edge that the face and the frame keep from the outline.
constexpr int kEdge = 2;
constexpr int kSteps = 64;

}  // namespace

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setAttribute(Qt::WA_Hover, false);  // the hover state is ours, from enter and leave
}

QPen FlatButton::Pen(int red, int green, int blue, int width) {
  return QPen(QBrush(QColor(red, green, blue)), width, Qt::SolidLine, Qt::FlatCap);
}

QColor FlatButton::FaceColor(int step, bool hovering, bool highlighted) {
  if (!hovering && !highlighted) return QColor(255 - step / 3, 255 - step / 3, 255 - step / 5);
  if (!hovering) return QColor(255 - step / 3, 255 - step / 3, 255 - step / 4);
  if (!highlighted) return QColor(255 - step / 4, 255 - step / 4, 255 - step / 5);
  return QColor(255 - step / 4, 255 - step / 4, 255 - step / 3);
}

int FlatButton::FaceStep(int row, int height) {
  // A face of no height would divide by zero; its only row takes the first step.
  if (height <= 0) return 0;
  return row * (kSteps - 1) / height;
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.save();

  painter.setPen(m_outlinePen);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRect(0, 0, width() - 1, height() - 1), 2.5, 2.5);

  m_focused = hasFocus();
  m_highlighted = hasFocus() || isDown() || isDefault();

  const QRect area = rect().adjusted(kEdge, kEdge, -kEdge, -kEdge);
  DrawFace(painter, area);
  if (m_hovering || m_focused) DrawFrame(painter, area);

  painter.setFont(font());
  const QFontMetrics metrics(font());
  const int flags = Qt::TextShowMnemonic | Qt::AlignLeft | Qt::AlignTop;
  const QSize caption = metrics.size(flags, text());
  const int left = area.x(), top = area.y();
  const int right = area.x() + area.width(), bottom = area.y() + area.height();
  int x = (left + right) / 2 - caption.width() / 2;
  int y = (top + bottom) / 2 - caption.height() / 2;
  if (isDown()) {
    ++x;
    ++y;
  }
  painter.setBackgroundMode(Qt::TransparentMode);
  if (isEnabled()) {
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(x, y), caption), flags, text());
  } else {
    // Embossed like the system's disabled text: a light copy one pixel down
    // and right, the grey caption over it.
    painter.setPen(Qt::white);
    painter.drawText(QRect(QPoint(x + 1, y + 1), caption), flags, text());
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(QRect(QPoint(x, y), caption), flags, text());
  }
  painter.restore();
}

void FlatButton::DrawFace(QPainter& painter, const QRect& area) {
  QColor steps[kSteps];
  for (int i = 0; i < kSteps; ++i) steps[i] = FaceColor(i, m_hovering, m_highlighted);
  // Rows from the top row to the bottom row inclusive.
  const int height = area.height();
  for (int row = 0; row <= height; ++row)
    painter.fillRect(area.x(), area.y() + row, area.width(), 1, steps[FaceStep(row, height)]);
}

void FlatButton::DrawFrame(QPainter& painter, const QRect& area) {
  const bool focusLook = m_focused && !m_hovering;
  const QPen* pens = focusLook ? m_focusPens : m_hoverPens;
  const int left = area.x(), top = area.y();
  const int right = area.x() + area.width(), bottom = area.y() + area.height();
  painter.save();
  painter.setPen(pens[0]);
  painter.drawLine(left, bottom - 1, left, top + 1);
  painter.setPen(pens[1]);
  painter.drawLine(right - 1, bottom - 1, right - 1, top);
  painter.setPen(pens[2]);
  painter.drawLine(left - 1, top, right - 1, top);
  painter.setPen(pens[3]);
  painter.drawLine(left, bottom, right - 1, bottom);
  if (focusLook) {
    QPen dotted(Qt::black, 1);
    dotted.setDashPattern({1, 1});
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(left, top, right - left - 1, bottom - top - 1);
  }
  painter.restore();
}

void FlatButton::enterEvent(QEnterEvent* event) {
  m_hovering = true;
  update();
  QPushButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
  m_hovering = false;
  update();
  QPushButton::leaveEvent(event);
}
