#include "widgets/flat_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>

namespace {

// Draws the button into an image of its own size, on white.
QImage Render(FlatButton& button) {
  QImage image(button.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  button.render(&image);
  return image;
}

TEST(FlatButtonTest, FaceColoursAtBothEndsOfTheGradient) {
  struct Case {
    bool hovering, highlighted;
    QColor last;  // step 63
  } cases[] = {
      {false, false, QColor(234, 234, 243)},
      {false, true, QColor(234, 234, 240)},
      {true, false, QColor(240, 240, 243)},
      {true, true, QColor(240, 240, 234)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FlatButton::FaceColor(0, c.hovering, c.highlighted), QColor(255, 255, 255));
    EXPECT_EQ(FlatButton::FaceColor(63, c.hovering, c.highlighted), c.last)
        << c.hovering << c.highlighted;
  }
}

TEST(FlatButtonTest, FaceRowsRunThroughAllStepsWithoutPassingTheLast) {
  // A face 30 rows high paints rows 0 to 30: steps 0 to 63, rising.
  int previous = 0;
  for (int row = 0; row <= 30; ++row) {
    const int step = FlatButton::FaceStep(row, 30);
    EXPECT_GE(step, previous);
    EXPECT_LE(step, 63);
    previous = step;
  }
  EXPECT_EQ(FlatButton::FaceStep(0, 30), 0);
  EXPECT_EQ(FlatButton::FaceStep(30, 30), 63);
  EXPECT_EQ(FlatButton::FaceStep(0, 0), 0);  // no division by zero
}

class FlatButtonDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    button.resize(80, 34);
    button.setText(QStringLiteral("&Clear"));
  }
  FlatButton button{QString()};
};

TEST_F(FlatButtonDrawing, IdleHasOutlineGradientAndNoFrame) {
  const QImage image = Render(button);
  EXPECT_EQ(QColor(image.pixel(40, 0)), QColor(0, 0, 0));       // outline
  EXPECT_EQ(QColor(image.pixel(4, 2)), QColor(255, 255, 255));  // face top row
  // The face's last row (row 30 of a 30-row face) has the last step's colour.
  EXPECT_EQ(QColor(image.pixel(4, 32)), QColor(234, 234, 243));
  EXPECT_EQ(QColor(image.pixel(2, 16)),
            FlatButton::FaceColor(FlatButton::FaceStep(14, 30), false, false));
}

TEST_F(FlatButtonDrawing, HoverDrawsTheOrangeFrameAndLeavingRemovesIt) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  ASSERT_TRUE(button.hovering());
  QImage image = Render(button);
  EXPECT_EQ(QColor(image.pixel(2, 16)), QColor(250, 196, 88));  // left edge, pen 1
  EXPECT_EQ(QColor(image.pixel(40, 32)), QColor(229, 151, 0));  // bottom edge, pen 4

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_FALSE(button.hovering());
  image = Render(button);
  EXPECT_NE(QColor(image.pixel(2, 16)), QColor(250, 196, 88));
}

TEST_F(FlatButtonDrawing, DefaultButtonUsesHighlightedColoursWithoutFrame) {
  button.setDefault(true);
  const QImage image = Render(button);
  EXPECT_EQ(QColor(image.pixel(4, 32)), QColor(234, 234, 240));
  EXPECT_EQ(QColor(image.pixel(2, 16)),
            FlatButton::FaceColor(FlatButton::FaceStep(14, 30), false, true));
}

TEST_F(FlatButtonDrawing, DisabledCaptionIsGreyNotBlack) {
  button.setEnabled(false);
  const QImage image = Render(button);
  int black = 0, grey = 0;
  for (int y = 4; y < 30; ++y)
    for (int x = 4; x < 76; ++x) {
      const QColor colour(image.pixel(x, y));
      if (colour == QColor(0, 0, 0)) ++black;
      if (colour == QColor(128, 128, 128)) ++grey;
    }
  EXPECT_EQ(black, 0);
  EXPECT_GT(grey, 0);
}

TEST_F(FlatButtonDrawing, PressedCaptionMovesOnePixelRightAndDown) {
  auto captionBox = [](const QImage& image) {
    QRect box;
    for (int y = 4; y < 30; ++y)
      for (int x = 4; x < 76; ++x)
        if (QColor(image.pixel(x, y)) == QColor(0, 0, 0)) box |= QRect(x, y, 1, 1);
    return box;
  };
  const QRect idle = captionBox(Render(button));
  button.setDown(true);
  const QRect pressed = captionBox(Render(button));
  ASSERT_FALSE(idle.isEmpty());
  EXPECT_EQ(pressed.topLeft(), idle.topLeft() + QPoint(1, 1));
}

}  // namespace
