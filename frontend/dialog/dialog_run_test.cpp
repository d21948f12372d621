// Runs from the dialog with the real boot tool: a download into stbsim, and a
// cancel and a close while the tool waits for the box's ROM.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include "core/child_process_runner.h"
#include "dialog/dialog_template.h"
#include "dialog/test_dialog_fixture.h"
#include "e2e/harness.h"

namespace {

using DialogStbsimTest = DialogTest;

// A pseudo-terminal nobody answers on: the tool opens it and waits for the ROM.
class SilentTerminal {
 public:
  SilentTerminal() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
      m_path = QString::fromLatin1(ptsname(m_master));
  }
  ~SilentTerminal() {
    if (m_master >= 0) close(m_master);
  }
  const QString& path() const { return m_path; }

 private:
  int m_master = -1;
  QString m_path;
};

TEST_F(DialogStbsimTest, StartDownloadsIntoTheBoxAndEndsCompleted) {
  TempDir folder;
  const std::string flash = folder.File("flash.bin");
  SimulatedBox box({"--flash", flash});
  const std::string firmware = PatternBytes(70000, 7);
  WriteFile(folder.File("app.bin"), firmware);

  m_options.extra_ports = QStringList({QString::fromStdString(box.port())});
  DownloaderDialog& dialog = Open();
  dialog.show();
  Control<QComboBox>(kChipTypeList)->setCurrentIndex(2);  // vk8805
  Control<QComboBox>(kModeList)->setCurrentIndex(0);      // serialdown
  Control<QComboBox>(kSectionList)->setCurrentIndex(2);   // Main Code, at 0x10000
  m_chooser.answer = QString::fromStdString(folder.File("app.bin"));
  Control<QPushButton>(kOpenSwButton)->click();

  Control<QPushButton>(kStartButton)->click();  // returns when the run has ended

  ASSERT_EQ(m_boxes.Boxes().size(), 1) << dialog.LogText().toStdString();
  EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Info"));
  EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("Completed!"));
  EXPECT_EQ(m_boxes.Boxes()[0].icon, QMessageBox::Information);
  const QString log = dialog.LogText();
  EXPECT_TRUE(log.startsWith(QStringLiteral("\r\nboot -m vk7301-8805-dvbs2 -d ") +
                             QString::fromStdString(box.port()) +
                             QStringLiteral(" -c \"serialdown 0x00010000 '")))
      << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("100%")));
  EXPECT_TRUE(log.endsWith(QStringLiteral("\r\nCompleted.\r\n")));
  EXPECT_EQ(dialog.ProgressPercent(), 100);
  EXPECT_EQ(dialog.findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(), 100);
  EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("elapsedLabel"))
                  ->text()
                  .contains(QRegularExpression(QStringLiteral("^\\d+:\\d\\d$"))));
  EXPECT_EQ(Control<QPushButton>(kStartButton)->text(), QStringLiteral("&Start"));
  EXPECT_TRUE(Control<QPushButton>(kClearButton)->isEnabled());
  EXPECT_TRUE(Control<QComboBox>(kModeList)->isEnabled());

  const std::string written = ReadFile(flash);
  ASSERT_GE(written.size(), 0x10000 + firmware.size());
  EXPECT_TRUE(written.compare(0x10000, firmware.size(), firmware) == 0);
}

// Clicks the Start button (which then reads "&Cancel") once the tool waits for
// the ROM, or after a bound so that a broken run cannot hang the test.
class ClickWhenWaiting : public QObject {
 public:
  ClickWhenWaiting(DownloaderDialog& dialog, std::function<void()> action)
      : m_dialog(dialog), m_action(std::move(action)) {
    m_clock.start();
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, [this] {
      m_sawWait = m_dialog.LogText().contains(QStringLiteral("wait ROM request"));
      if (m_sawWait || m_clock.elapsed() > 20000) {
        m_timer.stop();
        m_action();
      }
    });
    m_timer.start();
  }
  bool SawWait() const { return m_sawWait; }

 private:
  DownloaderDialog& m_dialog;
  std::function<void()> m_action;
  QTimer m_timer;
  QElapsedTimer m_clock;
  bool m_sawWait = false;
};

TEST_F(DialogStbsimTest, CancelWhileTheToolWaitsForTheRom) {
  SilentTerminal terminal;
  ASSERT_FALSE(terminal.path().isEmpty());
  m_options.extra_ports = QStringList({terminal.path()});
  DownloaderDialog& dialog = Open();
  dialog.show();
  Control<QComboBox>(kModeList)->setCurrentIndex(5);  // flash eraseall, no file needed
  auto* start = Control<QPushButton>(kStartButton);
  auto* clear = Control<QPushButton>(kClearButton);
  ClickWhenWaiting cancel(dialog, [start, clear] {
    EXPECT_EQ(start->text(), QStringLiteral("&Cancel"));
    EXPECT_FALSE(clear->isEnabled());
    start->click();
  });
  start->click();

  EXPECT_TRUE(cancel.SawWait()) << dialog.LogText().toStdString();
  EXPECT_TRUE(dialog.LogText().endsWith(QString::fromLatin1(ChildProcessRunner::kCanceledNote)))
      << dialog.LogText().toStdString();
  EXPECT_FALSE(dialog.LogText().contains(QStringLiteral("Completed.")));
  EXPECT_TRUE(m_boxes.Boxes().isEmpty());
  EXPECT_EQ(start->text(), QStringLiteral("&Start"));
  EXPECT_TRUE(Control<QPushButton>(kClearButton)->isEnabled());
  EXPECT_TRUE(Control<QComboBox>(kModeList)->isEnabled());
  EXPECT_TRUE(QFile::exists(dialog.ToolPath()));
}

TEST_F(DialogStbsimTest, ClosingDuringARunCancelsItAndRemovesTheTool) {
  SilentTerminal terminal;
  ASSERT_FALSE(terminal.path().isEmpty());
  m_options.extra_ports = QStringList({terminal.path()});
  DownloaderDialog& dialog = Open();
  dialog.show();
  Control<QComboBox>(kModeList)->setCurrentIndex(5);
  ClickWhenWaiting closer(dialog, [&dialog] { dialog.close(); });
  Control<QPushButton>(kStartButton)->click();

  EXPECT_TRUE(closer.SawWait());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.LogText().endsWith(QString::fromLatin1(ChildProcessRunner::kCanceledNote)));
  EXPECT_TRUE(m_boxes.Boxes().isEmpty());  // a cut-short run is not reported as completed
  EXPECT_FALSE(QFile::exists(dialog.ToolPath()));
  EXPECT_EQ(QSettings().value(QStringLiteral("Kavrin_boot/MODE")).toInt(), 5);
}

}  // namespace
