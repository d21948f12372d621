#include "child_process_runner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "output_renderer.h"
#include "test_printers.h"

namespace {

// Bounds every run: a runner that does not end by itself is cancelled, and the
// test sees that in its result.
void RunBounded(ChildProcessRunner* runner, int limit_ms = 20000) {
  QTimer bound;
  bound.setSingleShot(true);
  QObject::connect(&bound, &QTimer::timeout, [runner] { runner->Cancel(); });
  bound.start(limit_ms);
  runner->Run();
}

QString Shell(const char* script) {
  return QStringLiteral("/bin/sh -c \"%1\"").arg(QString::fromUtf8(script));
}

TEST(ChildProcessRunnerTest, ExitCodes) {
  const struct {
    const char* script;
    int exit_code;
  } cases[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"exit 255", 255},
      {"kill -9 $$", 128 + 9},  // killed by a signal we did not send
  };
  for (const auto& c : cases) {
    OutputRenderer log;
    ChildProcessRunner runner(Shell(c.script), &log);
    RunBounded(&runner);
    EXPECT_EQ(runner.GetExitCode(), c.exit_code) << c.script;
    EXPECT_EQ(log.Text(), "") << c.script;
  }
}

TEST(ChildProcessRunnerTest, OutputOfBothStreamsIsRenderedInOrder) {
  OutputRenderer log;
  log.Append(u"\r\nheader\r\n\r\n");
  ChildProcessRunner runner(
      Shell(
          "printf 'send:\\n'; printf '00%%' >&2; printf '\\b\\b\\b50%%'; "
          "printf '\\b\\b\\b99%%\\n' >&2; printf 'done\\nPress any key to continue . . . hidden'"),
      &log);
  RunBounded(&runner);
  EXPECT_EQ(runner.GetExitCode(), 0);
  EXPECT_EQ(log.Text(), "\r\nheader\r\n\r\nsend:\n99%\ndone\n");
}

TEST(ChildProcessRunnerTest, LargeOutputWrittenJustBeforeTheEndIsAllShown) {
  OutputRenderer log;
  // 300 KB, far beyond a pipe's buffer, then an immediate exit.
  ChildProcessRunner runner(Shell("head -c 300000 /dev/zero | tr '\\0' x; exit 4"), &log);
  RunBounded(&runner);
  EXPECT_EQ(runner.GetExitCode(), 4);
  EXPECT_EQ(log.Text(), QString(300000, 'x'));
}

TEST(ChildProcessRunnerTest, NoStandardInputAndTheFrontEndsFolder) {
  OutputRenderer log;
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  // `cat` ends at once on the null device instead of waiting for a terminal.
  ChildProcessRunner runner(Shell("cat; pwd"), &log);
  RunBounded(&runner);
  QDir::setCurrent(previous);
  EXPECT_EQ(runner.GetExitCode(), 0);
  EXPECT_EQ(log.Text(), QDir(dir.path()).canonicalPath() + "\n");
}

TEST(ChildProcessRunnerTest, CancelDuringAQuietMomentTerminatesTheProcess) {
  OutputRenderer log;
  ChildProcessRunner runner(Shell("echo started; sleep 20; exit 7"), &log);
  // Cancel as soon as the first output is shown, as an operator's click would.
  QObject::connect(&log, &OutputRenderer::Edited, [&](const LogEdit&) {
    if (log.Text().contains("started")) runner.Cancel();
  });
  RunBounded(&runner, 60000);
  // Left alone the script would end with 7 and no note.
  EXPECT_EQ(runner.GetExitCode(), 0);
  EXPECT_EQ(log.Text(), QString("started\n") + ChildProcessRunner::kCanceledNote);
  EXPECT_FALSE(runner.IsRunning());
}

TEST(ChildProcessRunnerTest, CancelBeforeRunTerminatesAtOnce) {
  OutputRenderer log;
  ChildProcessRunner runner(Shell("sleep 20; exit 7"), &log);
  runner.Cancel();
  RunBounded(&runner, 60000);
  EXPECT_EQ(runner.GetExitCode(), 0);
  EXPECT_EQ(log.Text(), ChildProcessRunner::kCanceledNote);
}

TEST(ChildProcessRunnerTest, ProgramThatCannotBeStarted) {
  QTemporaryDir dir;
  const QString not_executable = dir.filePath("plain");
  QFile file(not_executable);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const struct {
    QString command_line;
    const char* system_text;
  } cases[] = {
      {dir.filePath("missing") + " -h", "No such file or directory"},
      {"\"" + dir.filePath("with blank/boot") + "\" -h", "No such file or directory"},
      {not_executable, "Permission denied"},
      {"", "No such file or directory"},
  };
  for (const auto& c : cases) {
    OutputRenderer log;
    ChildProcessRunner runner(c.command_line, &log);
    RunBounded(&runner);
    EXPECT_EQ(runner.GetExitCode(), -1) << c.command_line.toStdString();
    EXPECT_EQ(log.Text(), QString("\r\nError creating process\r\n%1\r\n").arg(c.system_text))
        << c.command_line.toStdString();
  }
}

TEST(ChildProcessRunnerTest, WithoutALogTheRunStillHappens) {
  ChildProcessRunner runner(Shell("echo unseen; exit 5"), nullptr);
  runner.AppendOutput("ignored");
  RunBounded(&runner);
  EXPECT_EQ(runner.GetExitCode(), 5);
}

}  // namespace
