#pragma once

// A push button drawn by hand: a rounded black outline, a face with a slight
// vertical gradient, an orange frame while the mouse is over it, a blue frame
// with a dotted focus rectangle while it has the keyboard focus, a caption
// that moves by one pixel while it is held down, greyed when disabled.
// Hover is tracked with the widget's enter and leave events.

#include <QColor>
#include <QPen>
#include <QPushButton>
#include <QRect>

class FlatButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FlatButton(const QString& text, QWidget* parent = nullptr);

  // Colour of gradient step `step` (0 to 63) of the face.
  static QColor FaceColor(int step, bool hovering, bool highlighted);
  // The gradient step used for pixel row `row` of a face `height` rows high
  // (rows 0 to height inclusive are painted).
  static int FaceStep(int row, int height);

  bool hovering() const { return m_hovering; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

  // Both draw over `area` shrunk from the button's rectangle by the edge
  // width; its right and bottom are taken as x() + width() and y() + height().
  virtual void DrawFace(QPainter& painter, const QRect& area);
  virtual void DrawFrame(QPainter& painter, const QRect& area);

 private:
  static QPen Pen(int red, int green, int blue, int width);

  // Pens of the hover frame and of the focus frame: left, right, top, bottom.
  QPen m_hoverPens[4] = {Pen(250, 196, 88, 3), Pen(251, 202, 106, 3), Pen(252, 210, 121, 2),
                         Pen(229, 151, 0, 2)};
  QPen m_focusPens[4] = {Pen(153, 198, 252, 3), Pen(162, 189, 252, 3), Pen(162, 201, 255, 2),
                         Pen(162, 201, 255, 2)};
  QPen m_outlinePen = Pen(0, 0, 0, 1);

  bool m_hovering = false;
  bool m_focused = false;      // had the focus at the last drawing
  bool m_highlighted = false;  // focused, pressed or the default button at the last drawing
};
