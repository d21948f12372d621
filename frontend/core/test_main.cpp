// The unit tests' entry: the runner's nested event loops need an application
// object, and the tests run without a display.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
