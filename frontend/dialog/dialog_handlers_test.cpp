// The handlers: chip type, mode table, file choice, validation, keys, layout.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "dialog/dialog_template.h"
#include "dialog/downloader_dialog.h"
#include "dialog/test_dialog_fixture.h"
#include "widgets/about_dialog.h"

namespace {

TEST_F(DialogTest, OnlyChipTypeOtherEnablesTheBootFileRow) {
  Open();
  auto* chips = Control<QComboBox>(kChipTypeList);
  for (int index = 0; index < chips->count(); ++index) {
    chips->setCurrentIndex(index);
    const bool other = chips->currentText() == QStringLiteral("OTHER");
    EXPECT_EQ(Control<QComboBox>(kBootFileList)->isEnabled(), other) << index;
    EXPECT_EQ(Control<QLabel>(kBootFileLabel)->isEnabled(), other) << index;
  }
}

TEST_F(DialogTest, ModeTableForAllNineModes) {
  // shown or hidden, label texts ("" = hidden), whether the File field is editable
  struct Row {
    bool yaffs;
    const char* pc_label;
    bool pc_list, stb_ip, bin_path, section;
    const char* file_label;
    bool open_sw, file_editable;
  } rows[9] = {
      {true, "", false, false, false, true, "File:", true, false},
      {true, "PC IP:", true, true, false, true, "File:", true, false},
      {true, "", false, false, false, true, "File:", false, true},
      {false, "", false, false, false, true, "File:", true, false},
      {false, "", false, false, false, true, "", false, false},
      {false, "", false, false, false, false, "", false, false},
      {false, "", false, false, false, false, "Conf File:", true, false},
      {false, "PC IP:", true, true, false, false, "Conf File:", true, false},
      {false, "Bin Path:", false, false, true, false, "Conf File:", true, false},
  };
  DownloaderDialog& dialog = Open();
  auto shown = [&](int id) { return Control<QWidget>(id)->isVisibleTo(&dialog); };
  auto* modes = Control<QComboBox>(kModeList);
  for (int mode = 0; mode < 9; ++mode) {
    // Start from netdown so that every switch changes something.
    modes->setCurrentIndex(mode == 1 ? 8 : 1);
    Control<QLineEdit>(kFileField)->setText(QStringLiteral("left over"));
    modes->setCurrentIndex(mode);
    const Row& row = rows[mode];
    SCOPED_TRACE(mode);
    EXPECT_EQ(Control<QLineEdit>(kFileField)->text(), QString());
    EXPECT_EQ(shown(kYaffsBox), row.yaffs);
    EXPECT_EQ(shown(kPcIpLabel), *row.pc_label != '\0');
    if (*row.pc_label) {
      EXPECT_EQ(Control<QLabel>(kPcIpLabel)->text(), row.pc_label);
    }
    EXPECT_EQ(shown(kPcIpList), row.pc_list);
    EXPECT_EQ(shown(kStbIpLabel), row.stb_ip);
    EXPECT_EQ(shown(kStbIpField), row.stb_ip);
    if (row.stb_ip) {
      EXPECT_EQ(Control<QLabel>(kStbIpLabel)->text(), "STB IP:");
    }
    EXPECT_EQ(shown(kBinPathField), row.bin_path);
    EXPECT_EQ(shown(kSectionLabel), row.section);
    EXPECT_EQ(shown(kSectionList), row.section);
    EXPECT_EQ(shown(kFileLabel), *row.file_label != '\0');
    EXPECT_EQ(shown(kFileField), *row.file_label != '\0');
    if (*row.file_label) {
      EXPECT_EQ(Control<QLabel>(kFileLabel)->text(), row.file_label);
    }
    EXPECT_EQ(shown(kOpenSwButton), row.open_sw);
    EXPECT_EQ(!Control<QLineEdit>(kFileField)->isReadOnly(), row.file_editable);
  }
  // The Bin Path field takes the PC IP list's place.
  EXPECT_EQ(Control<QWidget>(kBinPathField)->pos(), Control<QWidget>(kPcIpList)->pos());
}

TEST_F(DialogTest, OpenSwUsesTheModesFileDialog) {
  struct Case {
    int mode;
    bool called, save;
    const char* filter;  // the first pattern of the filter
    const char* answer;
    const char* field;
  } cases[] = {
      {0, true, false, "*.bin;*.dat", "/fw/app.bin", "/fw/app.bin"},
      {1, true, false, "*.bin;*.dat", "/fw/app", "/fw/app"},
      {2, true, false, "*.bin;*.dat", "/fw/u.bin", "/fw/u.bin"},
      {3, true, true, "*.bin;*.dat", "/out/dump", "/out/dump.bin"},
      {3, true, true, "*.bin;*.dat", "/my.dir/dump", "/my.dir/dump"},
      {3, true, true, "*.bin;*.dat", "/out/dump.img", "/out/dump.img"},
      {4, false, false, "", "/x", ""},
      {5, false, false, "", "/x", ""},
      {6, true, false, "*.conf", "/c/f.conf", "/c/f.conf"},
      {7, true, false, "*.conf", "/c/f.conf", "/c/f.conf"},
      {8, true, false, "*.conf", "/c/f.conf", "/c/f.conf"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Control<QComboBox>(kModeList)->setCurrentIndex(c.mode);
    m_chooser.calls.clear();
    m_chooser.answer = QString::fromLatin1(c.answer);
    m_dialog->OnOpenFile();
    ASSERT_EQ(m_chooser.calls.size(), c.called ? 1 : 0);
    EXPECT_EQ(Control<QLineEdit>(kFileField)->text(), QString::fromLatin1(c.field));
    if (!c.called) continue;
    EXPECT_EQ(m_chooser.calls[0].save, c.save);
    EXPECT_TRUE(m_chooser.calls[0].filter.startsWith(QLatin1String(c.filter)));
    EXPECT_TRUE(m_chooser.calls[0].filter.contains(QStringLiteral("(All File) *.*")));
  }
  // A cancelled file dialog changes nothing.
  Control<QComboBox>(kModeList)->setCurrentIndex(0);
  Control<QLineEdit>(kFileField)->setText(QStringLiteral("/kept.bin"));
  m_chooser.answer.clear();
  m_dialog->OnOpenFile();
  EXPECT_EQ(Control<QLineEdit>(kFileField)->text(), QStringLiteral("/kept.bin"));
}

TEST_F(DialogTest, EachValidationMessage) {
  struct Case {
    int chip, mode;
    const char* message;
  } cases[] = {
      {4, 0, "Please choose to the bin first!"},  // OTHER without a loader file
      {2, 0, "Please choose to download files!"}, {2, 1, "Please choose to download files!"},
      {2, 2, "Please input download files!"},     {2, 3, "Please choose to dump files!"},
      {2, 6, "Please choose config file!"},       {2, 7, "Please choose config file!"},
      {2, 8, "Please choose config file!"},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Control<QComboBox>(kChipTypeList)->setCurrentIndex(c.chip);
    Control<QComboBox>(kModeList)->setCurrentIndex(c.mode);
    m_boxes.ClearBoxes();
    Control<QPushButton>(kStartButton)->click();
    ASSERT_EQ(m_boxes.Boxes().size(), 1);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(m_boxes.Boxes()[0].text, QString::fromLatin1(c.message));
    EXPECT_EQ(m_boxes.Boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Control<QPushButton>(kStartButton)->text(), QStringLiteral("&Start"));
    EXPECT_TRUE(Control<QComboBox>(kModeList)->isEnabled());
  }
}

TEST_F(DialogTest, SectionModeWithAnEmptySectionTableIsRefused) {
  Touch(QStringLiteral("boot_file/config.ini"));  // no sections at all
  Open();
  EXPECT_EQ(Control<QComboBox>(kSectionList)->count(), 0);
  Control<QComboBox>(kModeList)->setCurrentIndex(4);  // flash erase needs no file
  Control<QPushButton>(kStartButton)->click();
  ASSERT_EQ(m_boxes.Boxes().size(), 1);
  EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(Control<QPushButton>(kStartButton)->text(), QStringLiteral("&Start"));
}

TEST_F(DialogTest, TypedCommandRunsJoinsTheHistoryAndHidesTheGuide) {
  DownloaderDialog& dialog = Open();
  dialog.show();
  auto* box = Control<QLineEdit>(kCommandBox);
  for (const char* command : {"no-such-program a", "no-such-program b"}) {
    m_boxes.ClearBoxes();
    box->setText(QString::fromLatin1(command));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(m_boxes.Boxes().size(), 1);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Info"));
    EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("Fail!"));  // no such program
    EXPECT_EQ(box->text(), QString());
  }
  // The log shows the echo (without the tool's folder) and the runner's report.
  EXPECT_TRUE(dialog.LogText().contains(QStringLiteral("\r\nno-such-program a\r\n\r\n")));
  EXPECT_TRUE(dialog.LogText().contains(QStringLiteral("Error creating process")));
  auto* guide = m_dialog->findChild<QLabel*>(QStringLiteral("usageGuide1"));
  ASSERT_NE(guide, nullptr);
  EXPECT_FALSE(guide->isVisible());

  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(box->text(), QStringLiteral("no-such-program a"));
  EXPECT_EQ(box->cursorPosition(), box->text().size());
  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(box->text(), QStringLiteral("no-such-program b"));
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(box->text(), QStringLiteral("no-such-program a"));

  // Clear empties the log and brings the usage guide back.
  Control<QPushButton>(kClearButton)->click();
  EXPECT_EQ(dialog.LogText(), QString());
  EXPECT_EQ(Control<QPlainTextEdit>(kLogPane)->toPlainText(), QString());
  EXPECT_TRUE(guide->isVisible());
}

TEST_F(DialogTest, EscapeNeverClosesAndReturnInAPaneDoesNotPressStart) {
  DownloaderDialog& dialog = Open();
  dialog.show();
  for (int id : {kCommandBox, kLogPane, kSectionEditor, kModeList}) {
    QTest::keyClick(Control<QWidget>(id), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible()) << id;
  }
  // In serialdown without a file, a press of Start would show a message (key
  // handling is synchronous: it would have been answered by now).
  for (int id : {kLogPane, kSectionEditor}) QTest::keyClick(Control<QWidget>(id), Qt::Key_Return);
  EXPECT_TRUE(m_boxes.Boxes().isEmpty());
  // Elsewhere Return presses the default button, Start.
  QTest::keyClick(Control<QWidget>(kStbIpField), Qt::Key_Return);
  ASSERT_TRUE(WaitFor([this] { return !m_boxes.Boxes().isEmpty(); }, 5000));
  EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("Please choose to download files!"));
}

TEST_F(DialogTest, SectionEditorUnlocksWithItsKeysAndRestoresWithCtrlR) {
  DownloaderDialog& dialog = Open();
  dialog.show();
  auto* pane = Control<QPlainTextEdit>(kSectionEditor);
  pane->setFocus();
  QTest::keyClick(pane, Qt::Key_K);
  QTest::keyClick(pane, Qt::Key_B);
  QTest::keyClick(pane, Qt::Key_Return);
  EXPECT_FALSE(pane->isReadOnly());
  QTest::keyClick(pane, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(pane->isReadOnly());
  ASSERT_EQ(m_boxes.Boxes().size(), 1);
  EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Information"));
  EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("Have recovered the default configuration!"));
}

TEST_F(DialogTest, LeavingAnEditedSectionPaneAsksAndSaves) {
  DownloaderDialog& dialog = Open();
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  auto* pane = Control<QPlainTextEdit>(kSectionEditor);
  pane->setFocus();
  for (Qt::Key key : {Qt::Key_K, Qt::Key_B, Qt::Key_Return}) QTest::keyClick(pane, key);
  ASSERT_FALSE(pane->isReadOnly());
  pane->setPlainText(
      QStringLiteral("[Main]\nSegNumber=1\nSeg0=Only\n[Only]\nStartAddr=0x10\n"
                     "SegSize=0x20\n"));
  m_boxes.SetAnswer(QMessageBox::Yes);
  Control<QWidget>(kCommandBox)->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitFor([this] { return !m_boxes.Boxes().isEmpty(); }, 5000));
  EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("Are you sure to save your changes?"));
  ASSERT_TRUE(WaitFor([pane] { return pane->isReadOnly(); }, 5000));
  EXPECT_EQ(Control<QComboBox>(kSectionList)->count(), 1);
  EXPECT_EQ(Control<QComboBox>(kSectionList)->currentText(), QStringLiteral("Only"));
  EXPECT_EQ(dialog.Sections().Selected()->start_address, 0x10u);
}

TEST_F(DialogTest, AboutButtonOpensTheAboutBoxWithTheVersion) {
  DownloaderDialog& dialog = Open();
  dialog.show();
  QString credit;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* about = qobject_cast<AboutDialog*>(modal)) {
      credit = about->findChild<QLabel*>(QStringLiteral("ctl1155"))->text();
      about->reject();
    } else if (modal && clock.elapsed() > 5000) {
      modal->close();  // not the about box: end the wait anyway
    }
  });
  poll.start(10);
  dialog.findChild<QPushButton*>(QStringLiteral("aboutButton"))->click();
  EXPECT_TRUE(credit.startsWith(AboutDialog::CreditLine() + QStringLiteral(" V1.031\nBuild ")))
      << credit.toStdString();
}

TEST_F(DialogTest, ControlsFollowTheTemplateInTabOrder) {
  DownloaderDialog& dialog = Open();
  QList<QWidget*> expected;
  for (const ControlTemplate& control : kDialogControls) {
    if (control.id == kNoId) continue;
    QWidget* widget = Control<QWidget>(control.id);
    ASSERT_NE(widget, nullptr) << control.id;
    if (widget->focusPolicy() & Qt::TabFocus) expected.append(widget);
  }
  // Start, command box, Serial Port, Mode, PC IP, File, Open SW, Chip Type,
  // Clear, Section, section editor, STB IP, Boot File, yaffs, Bin Path.
  ASSERT_EQ(expected.size(), 15);
  EXPECT_EQ(Control<QWidget>(kLogPane)->focusPolicy() & Qt::TabFocus, 0);
  QWidget* widget = expected.first();
  for (qsizetype i = 1; i < expected.size(); ++i) {
    widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus)) widget = widget->nextInFocusChain();
    EXPECT_EQ(widget, expected[i]) << i;
  }
  EXPECT_EQ(Control<QPushButton>(kStartButton)->text(), QStringLiteral("&Start"));
  EXPECT_TRUE(Control<QPushButton>(kStartButton)->isDefault());
  EXPECT_EQ(Control<QPushButton>(kOpenSwButton)->text(), QStringLiteral("Open SW"));
  EXPECT_EQ(Control<QCheckBox>(kYaffsBox)->text(), QStringLiteral("yaffs"));
  // The template is 531 by 303 dialog units; the place of a control scales with it.
  const QRect start = Control<QWidget>(kStartButton)->geometry();
  EXPECT_NEAR(double(start.x()) / dialog.width(), 56.0 / 531, 0.01);
  EXPECT_NEAR(double(start.y()) / dialog.height(), 232.0 / 303, 0.01);
}

}  // namespace
