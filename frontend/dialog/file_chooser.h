#pragma once

// The file dialogs behind the Open SW button, behind an interface so that
// tests can answer them.

#include <QString>

class QWidget;

// The download filter (*.bin;*.dat, then all files) and the configuration
// filter (*.conf, then all files), in the file dialog's form.
extern const char kDownloadFilter[];
extern const char kConfigFilter[];

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // An existing file to read; an empty text when the operator cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& filter) = 0;
  // A file to write, asking before an existing one is replaced; an empty
  // text when the operator cancelled.
  virtual QString SaveFile(QWidget* parent, const QString& filter) = 0;
};

// The platform's file dialogs.
class SystemFileChooser : public FileChooser {
 public:
  QString OpenFile(QWidget* parent, const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& filter) override;
};

// The dump file's name: ".bin" is appended when the path holds no "." at all
// (a dot in a folder name counts).
QString DumpFileName(const QString& path);
