#include "child_process_runner.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "command_line_split.h"
#include "output_renderer.h"

const char ChildProcessRunner::kCanceledNote[] = "\r\n\r\nCanceled.\r\nProcess terminated.\r\n";

namespace {

// The pipe is read in pieces of this size, as the "Press any key" cut and
// the log updates are made per piece.
constexpr qint64 kReadSize = 8191;

bool IsProgram(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable();
}

// The system's text for why `program` could not be started. QProcess's own
// message carries it after the name of the failed call.
QString StartFailureText(const QString& program, const QString& process_error) {
  const QFileInfo info(program);
  if (program.contains(QLatin1Char('/'))) {
    if (!info.exists()) return QString::fromLocal8Bit(std::strerror(ENOENT));
    if (!info.isExecutable() || info.isDir()) return QString::fromLocal8Bit(std::strerror(EACCES));
  }
  const qsizetype colon = process_error.lastIndexOf(QLatin1String(": "));
  return colon < 0 ? process_error : process_error.mid(colon + 2);
}

}  // namespace

ChildProcessRunner::ChildProcessRunner(QString command_line, OutputRenderer* log,
                                       QString working_folder)
    : m_command_line(std::move(command_line)),
      m_log(log),
      m_working_folder(std::move(working_folder)) {}

ChildProcessRunner::~ChildProcessRunner() = default;

void ChildProcessRunner::AppendOutput(const QString& text) {
  if (m_log != nullptr) m_log->Append(text);
}

void ChildProcessRunner::ReportError(const QString& message, const QString& system_text) {
  AppendOutput(message + QLatin1String("\r\n") + system_text + QLatin1String("\r\n"));
  m_exit_code = -1;
}

void ChildProcessRunner::Run() {
  Q_ASSERT(m_loop == nullptr);
  m_terminated = false;
  const QStringList argv = SplitCommandLine(m_command_line, IsProgram);
  if (argv.isEmpty()) {
    ReportError(QStringLiteral("\r\nError creating process"),
                QString::fromLocal8Bit(std::strerror(ENOENT)));
    return;
  }

  QProcess process;
  process.setProgram(argv.first());
  process.setArguments(argv.mid(1));
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  if (!m_working_folder.isEmpty()) process.setWorkingDirectory(m_working_folder);

  QEventLoop loop;
  bool failed_to_start = false;
  bool read_failed = false;
  QObject::connect(&process, &QProcess::readyRead, &loop, [this] { ReadAvailable(); });
  QObject::connect(&process, &QProcess::finished, &loop, [&loop] { loop.quit(); });
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      failed_to_start = true;
      loop.quit();
    } else if (error == QProcess::ReadError) {
      read_failed = true;
    }
  });

  m_process = &process;
  m_loop = &loop;
  process.start(QIODevice::ReadOnly);
  // A cancel that came before the run takes effect at once.
  if (m_cancel) QTimer::singleShot(0, &loop, [this] { TerminateIfCancelled(); });
  if (process.state() != QProcess::NotRunning || !failed_to_start) loop.exec();

  if (failed_to_start) {
    ReportError(QStringLiteral("\r\nError creating process"),
                StartFailureText(argv.first(), process.errorString()));
  } else {
    if (process.state() != QProcess::NotRunning) process.waitForFinished(-1);
    // Whatever the process wrote before it ended is still shown.
    ReadAvailable();
    if (read_failed) {
      ReportError(QStringLiteral("ReadFile fialed"), process.errorString());
    } else if (m_terminated) {
      AppendOutput(QLatin1String(kCanceledNote));
      m_exit_code = 0;
    } else if (process.exitStatus() == QProcess::CrashExit) {
      m_exit_code = 128 + process.exitCode();
    } else {
      m_exit_code = process.exitCode();
    }
  }
  m_process = nullptr;
  m_loop = nullptr;
}

void ChildProcessRunner::Cancel() {
  m_cancel = true;
  if (m_loop != nullptr) {
    // Handled from the run's own loop, after the output already waiting.
    QTimer::singleShot(0, m_loop, [this] { TerminateIfCancelled(); });
  }
}

void ChildProcessRunner::ReadAvailable() {
  if (m_process == nullptr) return;
  while (m_process->bytesAvailable() > 0) {
    const QByteArray chunk = m_process->read(kReadSize);
    if (chunk.isEmpty()) break;
    if (m_log != nullptr) m_log->AppendBytes(CutAtContinuePrompt(chunk));
  }
}

void ChildProcessRunner::TerminateIfCancelled() {
  if (!m_cancel || m_process == nullptr || m_terminated) return;
  if (m_process->state() == QProcess::NotRunning) return;
  ReadAvailable();
  m_terminated = true;
  m_process->kill();
}
