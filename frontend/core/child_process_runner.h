#pragma once

#include <QString>

class OutputRenderer;
class QEventLoop;
class QProcess;

// Runs one command line as a child process and streams its output into the
// log while the caller's event loop keeps turning.
//
// The command line is one text in the Windows convention (program path
// first; see SplitCommandLine). The process gets standard output and standard
// error joined, no standard input (the null device), and runs in
// `working_folder`, or in the front end's own current folder when that is
// empty.
//
// Lifetime: one runner per run. Construct it, optionally AppendOutput() a
// header, Run() once, read GetExitCode(), then keep it until the next run
// replaces it. `log` is not owned and may be nullptr (then nothing is shown);
// it must outlive the runner. Dialog thread only; no other threads are used.
class ChildProcessRunner {
 public:
  // The texts that Run writes into the log.
  static const char kCanceledNote[];  // "\r\n\r\nCanceled.\r\nProcess terminated.\r\n"

  ChildProcessRunner(QString command_line, OutputRenderer* log, QString working_folder = {});
  virtual ~ChildProcessRunner();
  ChildProcessRunner(const ChildProcessRunner&) = delete;
  ChildProcessRunner& operator=(const ChildProcessRunner&) = delete;

  // Starts the process and returns only when it has ended, has been
  // terminated after Cancel(), or could not be started. Meanwhile it runs a
  // nested QEventLoop, so window events (the Cancel click, keys, the close of
  // the dialog) are handled during the run; no busy loop and no polling.
  // Output is appended as it arrives (the "Press any key to continue . . ."
  // cut applied per chunk), and whatever is still in the pipe when the
  // process ends is read before Run returns. Must not be re-entered.
  //
  // Exit code afterwards: the process's own exit status when it ended by
  // itself (128 + signal number when a signal not sent by us killed it); 0
  // when it was terminated after Cancel() (the log then ends with
  // kCanceledNote); -1 when the runner failed, with a report in the log: the
  // message ("\r\nError creating process" when the program cannot be
  // started, "ReadFile fialed" on a read error), "\r\n", and the system's
  // text with a line end.
  virtual void Run();

  // Asks Run to terminate the process. Safe to call from handlers that run
  // inside Run's event loop; takes effect once the output already waiting has
  // been read. Outside a run it only sets the flag (a later Run then
  // terminates its process at once). Never cleared.
  virtual void Cancel();

  int GetExitCode() const { return m_exit_code; }
  bool IsRunning() const { return m_loop != nullptr; }
  bool IsCancelled() const { return m_cancel; }

  // Appends `text` to the log the way tool output is appended (backspaces
  // rendered). Nothing happens without a log.
  void AppendOutput(const QString& text);

 private:
  void ReadAvailable();
  void TerminateIfCancelled();
  void ReportError(const QString& message, const QString& system_text);

  QString m_command_line;
  OutputRenderer* m_log = nullptr;
  QString m_working_folder;
  bool m_cancel = false;
  bool m_terminated = false;
  int m_exit_code = 0;
  QProcess* m_process = nullptr;  // exists during Run only
  QEventLoop* m_loop = nullptr;   // exists during Run only
};
