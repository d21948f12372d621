#include "dialog/test_dialog_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTest>

MessageBoxAnswerer::MessageBoxAnswerer() {
  m_timer.setInterval(10);
  connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::Poll);
  m_timer.start();
}

void MessageBoxAnswerer::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  m_boxes.append({box->windowTitle(), box->text(), box->icon()});
  if (on_box) on_box(box);
  QAbstractButton* button = box->button(m_answer);
  if (!button) button = box->defaultButton();
  if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
  if (button) button->click();
}

void DialogTest::SetUp() {
  QSettings().clear();
  m_workingFolder = m_folder.path() + QLatin1Char('/');
  m_options.working_folder = m_workingFolder;
  m_options.file_chooser = &m_chooser;
}

void DialogTest::TearDown() {
  if (m_dialog) Close();
}

DownloaderDialog& DialogTest::Open() {
  m_dialog = std::make_unique<DownloaderDialog>(m_options);
  return *m_dialog;
}

void DialogTest::Close() {
  m_dialog->show();
  m_dialog->close();
  m_dialog.reset();
}

void DialogTest::Touch(const QString& relative) {
  const QString path = m_workingFolder + relative;
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

bool DialogTest::WaitFor(const std::function<bool()>& done, int limit_ms) {
  return QTest::qWaitFor(done, limit_ms);
}
