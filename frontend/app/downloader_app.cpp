#include "app/downloader_app.h"

#include <QCommandLineParser>
#include <QTimer>

#include "app/payload.h"
#include "app/version.h"
#include "core/command_builder.h"
#include "dialog/downloader_dialog.h"

DownloaderApp::DownloaderApp(int& argc, char** argv)
    : QApplication(argc, argv), m_workingFolder(CommandBuilder::WorkingFolder()) {
  setOrganizationName(QStringLiteral("kavrin"));
  setApplicationName(QStringLiteral("kavrin_boot"));
  setApplicationVersion(GetVersionString());
  // The dialog ends the program; a run's own event loop must not be told to
  // quit when the dialog's window closes in the middle of it.
  setQuitOnLastWindowClosed(false);
}

DownloaderApp::Options DownloaderApp::ParseOptions() {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes firmware into the flash of vk set-top boxes with the boot tool."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("Offers PATH first in the Serial Port list "
                                               "(for example a pseudo-terminal). Repeatable."),
                                QStringLiteral("PATH"));
  const QCommandLineOption command(
      QStringLiteral("command"),
      QStringLiteral("Runs TEXT as if typed into the command box once the dialog is up "
                     "(for example \"boot -h\")."),
      QStringLiteral("TEXT"));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Saves a picture of the dialog to FILE (PNG) and closes it."),
      QStringLiteral("FILE"));
  const QCommandLineOption delay(QStringLiteral("screenshot-delay"),
                                 QStringLiteral("Milliseconds before the picture is taken "
                                                "(default 1500)."),
                                 QStringLiteral("MS"), QStringLiteral("1500"));
  parser.addOptions({port, command, screenshot, delay});
  parser.process(*this);

  Options options;
  options.extra_ports = parser.values(port);
  options.command = parser.value(command);
  options.screenshot = parser.value(screenshot);
  options.screenshot_delay_ms = parser.value(delay).toInt();
  return options;
}

int DownloaderApp::InitInstance() {
  const Options options = ParseOptions();
  DialogOptions dialogOptions;
  dialogOptions.working_folder = m_workingFolder;
  dialogOptions.payload_resource = QString::fromLatin1(kPayloadResource);
  dialogOptions.extra_ports = options.extra_ports;
  DownloaderDialog dialog(dialogOptions);

  if (!options.screenshot.isEmpty()) {
    QTimer::singleShot(options.screenshot_delay_ms, &dialog, [&dialog, &options] {
      // The active modal window (a message box, if one is up) is what the
      // operator would see on top; the dialog otherwise.
      QWidget* top = QApplication::activeModalWidget();
      if (!top || top == &dialog) top = &dialog;
      const bool saved = dialog.grab().save(options.screenshot);
      if (top != &dialog) top->grab().save(options.screenshot + QStringLiteral(".modal.png"));
      if (!saved) qWarning("cannot save the screenshot to %s", qPrintable(options.screenshot));
      if (top != &dialog) top->close();
      dialog.close();
    });
  }
  if (!options.command.isEmpty()) {
    QTimer::singleShot(0, &dialog,
                       [&dialog, &options] { dialog.RunTypedCommand(options.command); });
  }
  dialog.exec();
  return 0;
}
