#pragma once

// The application object: records the working folder, the process's current
// folder at start, on which every path of the front end is built (not the
// executable's folder), and runs the dialog.

#include <QApplication>
#include <QStringList>

class DownloaderApp : public QApplication {
  Q_OBJECT

 public:
  // Start-up options from the command line (see --help).
  struct Options {
    QStringList extra_ports;  // --port PATH, repeatable
    QString command;          // --command TEXT
    QString screenshot;       // --screenshot FILE
    int screenshot_delay_ms = 1500;
  };

  DownloaderApp(int& argc, char** argv);

  const QString& WorkingFolder() const { return m_workingFolder; }

  // Runs the dialog until it is closed; the process's exit status.
  int InitInstance();

 private:
  Options ParseOptions();

  QString m_workingFolder;
};
