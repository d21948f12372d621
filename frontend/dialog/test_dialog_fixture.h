#pragma once

// Shared pieces of the dialog tests: a message box answerer, a scripted file
// chooser, and a fixture that opens the dialog in a fresh working folder with
// empty settings.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>
#include <functional>
#include <memory>
#include <ostream>

#include "dialog/downloader_dialog.h"
#include "dialog/file_chooser.h"

// Readable failure output.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// Answers every message box that becomes the active modal window: records it
// and presses `answer` (or the box's default button when it has no such
// button). Polls while any event loop runs.
class MessageBoxAnswerer : public QObject {
 public:
  struct Box {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
  };

  MessageBoxAnswerer();
  void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
  const QVector<Box>& Boxes() const { return m_boxes; }
  void ClearBoxes() { m_boxes.clear(); }
  // Called for each box before it is answered (may be empty).
  std::function<void(QMessageBox*)> on_box;

 private:
  void Poll();

  QTimer m_timer;
  QMessageBox::StandardButton m_answer = QMessageBox::Ok;
  QVector<Box> m_boxes;
};

class FakeFileChooser : public FileChooser {
 public:
  struct Call {
    bool save;
    QString filter;
  };
  QString OpenFile(QWidget*, const QString& filter) override {
    calls.append({false, filter});
    return answer;
  }
  QString SaveFile(QWidget*, const QString& filter) override {
    calls.append({true, filter});
    return answer;
  }
  QString answer;
  QVector<Call> calls;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the dialog (start-up included) in the working folder.
  DownloaderDialog& Open();
  // Closes it as the window's close button does, then destroys it.
  void Close();
  template <typename Widget>
  Widget* Control(int id) {
    return m_dialog->findChild<Widget*>(QStringLiteral("ctl%1").arg(id));
  }
  // Creates an empty file below the working folder.
  void Touch(const QString& relative);
  // Runs the event loop until `done` holds or `limit_ms` passes.
  static bool WaitFor(const std::function<bool()>& done, int limit_ms);

  QTemporaryDir m_folder;
  QString m_workingFolder;
  FakeFileChooser m_chooser;
  MessageBoxAnswerer m_boxes;
  DialogOptions m_options;
  std::unique_ptr<DownloaderDialog> m_dialog;
};
