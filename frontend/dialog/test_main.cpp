// The widget tests' entry: a QApplication on the offscreen platform (unless
// another is asked for), and settings kept in a temporary folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir settingsFolder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("kavrin-test"));
  QApplication::setApplicationName(QStringLiteral("kavrin_boot"));
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
