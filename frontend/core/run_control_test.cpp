#include "run_control.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "output_renderer.h"
#include "test_printers.h"

namespace {

// The dialog as RunControl sees it: records what it is told to show.
class FakeView : public RunView {
 public:
  CommandSettings CurrentSettings() override { return settings; }
  void ShowMessage(MessageKind kind, const QString& text) override {
    messages.append((kind == MessageKind::kError ? "Error: " : "Info: ") + text);
  }
  void ApplyInputs(const InputState& state) override { inputs.append(state); }
  void SetRunButtons(const QString& start_text, bool clear_enabled) override {
    buttons.append(start_text + (clear_enabled ? "+clear" : "-clear"));
  }
  void ResetCommandBox() override { ++command_box_resets; }

  CommandSettings settings;
  QStringList messages;
  QVector<InputState> inputs;
  QStringList buttons;
  int command_box_resets = 0;
};

// A stand-in for the tool in boot_file/: prints its arguments, one per line,
// and behaves by them: "fail" exits 2, "wait" prints "waiting" and sleeps.
const char kStandInTool[] =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
    "case \"$*\" in\n"
    "  *fail*) exit 2 ;;\n"
    "  *wait*) echo waiting; sleep 20; exit 9 ;;\n"
    "esac\n"
    "exit 0\n";

class RunControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("boot_file"));
    QFile tool(m_builder.ToolPath());
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(kStandInTool);
    tool.close();
    tool.setPermissions(tool.permissions() | QFile::ExeOwner);

    m_view.settings.chip_type = "vk8805";
    m_view.settings.port = "/dev/ttyUSB0";
    m_view.settings.mode_index = kModeSerialDown;
    m_view.settings.mode_text = "serialdown";
    m_view.settings.file = "/data/fw app.bin";
    m_view.settings.section = Segment{"Main Code", 0x10000, 0x120000};

    // Every run is bounded: one still going after 30 s is cancelled.
    m_bound.setSingleShot(true);
    QObject::connect(&m_bound, &QTimer::timeout, [this] {
      if (m_control.CurrentRunner()) m_control.CurrentRunner()->Cancel();
    });
    m_bound.start(30000);
  }

  // Calls `action` once, from inside the run, when the tool says "waiting".
  void WhenWaiting(std::function<void()> action) {
    QObject::connect(&m_log, &OutputRenderer::Edited,
                     [this, action, done = false](const LogEdit&) mutable {
                       if (!done && m_log.Text().contains("waiting\n")) {
                         done = true;
                         action();
                       }
                     });
  }

  QTemporaryDir m_dir;
  CommandBuilder m_builder{m_dir.path() + "/"};
  OutputRenderer m_log;
  FakeView m_view;
  RunControl m_control{m_builder, &m_log, &m_view};
  QTimer m_bound;
};

TEST_F(RunControlTest, StartRunsTheBuiltCommandAndReportsCompleted) {
  m_control.OnStartCancel();
  const QString command =
      "boot -m vk7301-8805-dvbs2 -d /dev/ttyUSB0 -c \"serialdown 0x00010000 "
      "'/data/fw app.bin'\"";
  EXPECT_EQ(m_log.Text(), "\r\n" + command +
                              "\r\n\r\n[-m]\n[vk7301-8805-dvbs2]\n[-d]\n[/dev/ttyUSB0]\n[-c]\n"
                              "[serialdown 0x00010000 '/data/fw app.bin']\n\r\nCompleted.\r\n");
  EXPECT_EQ(m_view.messages, QStringList({"Info: Completed!"}));
  EXPECT_EQ(m_view.buttons, QStringList({"&Cancel-clear", "&Start+clear"}));
  ASSERT_EQ(m_view.inputs.size(), 2);
  EXPECT_FALSE(m_view.inputs[0].mode_enabled);
  EXPECT_TRUE(m_view.inputs[1].mode_enabled);
  EXPECT_TRUE(m_control.IsIdle());
  EXPECT_TRUE(QFile::exists(m_builder.ToolPath()));
}

TEST_F(RunControlTest, NonZeroExitReportsFail) {
  m_view.settings.file = "/data/fail.bin";
  m_control.OnStartCancel();
  EXPECT_TRUE(m_log.Text().endsWith("\r\nFail.\r\n"));
  EXPECT_EQ(m_view.messages, QStringList({"Info: Fail!"}));
}

TEST_F(RunControlTest, ValidationStopsBeforeAnyRun) {
  const struct {
    const char* chip;
    int mode;
    const char* file;
    bool section;
    const char* message;
  } cases[] = {
      {"OTHER", kModeSerialDown, "/a.bin", true, "Error: Please choose to the bin first!"},
      {"vk8805", kModeSerialDump, "", true, "Error: Please choose to dump files!"},
      {"vk8805", kModeFlashErase, "", false, "Error: Please choose the section first!"},
  };
  for (const auto& c : cases) {
    m_view.messages.clear();
    m_view.settings.chip_type = c.chip;
    m_view.settings.mode_index = c.mode;
    m_view.settings.file = c.file;
    if (!c.section) m_view.settings.section.reset();
    m_control.OnStartCancel();
    EXPECT_EQ(m_view.messages, QStringList({c.message}));
  }
  EXPECT_EQ(m_log.Text(), "");
  EXPECT_TRUE(m_view.buttons.isEmpty());
  EXPECT_EQ(m_control.CurrentRunner(), nullptr);
}

TEST_F(RunControlTest, CancelEndsTheRunWithoutAReport) {
  m_view.settings.file = "/data/wait.bin";
  WhenWaiting([this] {
    EXPECT_EQ(m_control.StartButtonText(), "&Cancel");
    m_control.OnStartCancel();  // the click on "&Cancel"
    // A quick second click must not start a run while the first still ends.
    m_control.OnStartCancel();
  });
  m_control.OnStartCancel();
  EXPECT_TRUE(m_log.Text().endsWith(QString("waiting\n") + ChildProcessRunner::kCanceledNote));
  EXPECT_EQ(m_log.Text().count("boot -m"), 1);
  EXPECT_TRUE(m_view.messages.isEmpty());
  EXPECT_EQ(m_view.buttons, QStringList({"&Cancel-clear", "&Start+clear", "&Start+clear"}));
  EXPECT_EQ(m_control.CurrentRunner()->GetExitCode(), 0);
}

TEST_F(RunControlTest, ClosingDuringARunCancelsAndDeletesTheTool) {
  m_view.settings.file = "/data/wait.bin";
  WhenWaiting([this] { m_control.OnClose(); });
  m_control.OnStartCancel();
  EXPECT_TRUE(m_log.Text().endsWith(ChildProcessRunner::kCanceledNote));
  EXPECT_TRUE(m_view.messages.isEmpty());  // a closed-down run did not complete
  EXPECT_TRUE(m_control.IsClosing());
  EXPECT_FALSE(QFile::exists(m_builder.ToolPath()));
}

TEST_F(RunControlTest, TypedCommandsRunFromTheToolsFolderAndJoinTheHistory) {
  EXPECT_FALSE(m_control.RunTypedCommand(""));
  ASSERT_TRUE(m_control.RunTypedCommand("boot -h \"two words\""));
  EXPECT_EQ(m_log.Text(), "\r\nboot -h \"two words\"\r\n\r\n[-h]\n[two words]\n\r\nCompleted.\r\n");
  EXPECT_EQ(m_view.command_box_resets, 1);
  EXPECT_EQ(m_view.messages, QStringList({"Info: Completed!"}));

  // A failing typed command is reported as the failure it is.
  m_view.messages.clear();
  ASSERT_TRUE(m_control.RunTypedCommand("boot fail"));
  EXPECT_EQ(m_view.messages, QStringList({"Info: Fail!"}));
  m_view.messages.clear();
  ASSERT_TRUE(m_control.RunTypedCommand("nothing-here -h"));
  EXPECT_TRUE(m_log.Text().endsWith(
      "\r\nError creating process\r\nNo such file or directory\r\n\r\nFail.\r\n"));
  EXPECT_EQ(m_view.messages, QStringList({"Info: Fail!"}));

  EXPECT_EQ(m_control.History().Entries(),
            QStringList({"boot -h \"two words\"", "boot fail", "nothing-here -h"}));
}

TEST_F(RunControlTest, ReturnDuringARunDoesNothing) {
  bool accepted = true;
  WhenWaiting([this, &accepted] {
    accepted = m_control.RunTypedCommand("boot -h");
    m_control.OnStartCancel();
  });
  ASSERT_TRUE(m_control.RunTypedCommand("boot wait"));
  EXPECT_FALSE(accepted);
  EXPECT_EQ(m_control.History().Entries(), QStringList({"boot wait"}));
  EXPECT_EQ(m_view.command_box_resets, 1);
}

TEST(InputsForTest, WhichControlsARunTouches) {
  const InputState other_usb = InputsFor(false, "OTHER", kModeUsbDown);
  EXPECT_FALSE(other_usb.chip_type_enabled);
  EXPECT_FALSE(other_usb.open_sw_enabled);
  EXPECT_EQ(other_usb.boot_file_list_enabled, std::optional<bool>(false));
  EXPECT_EQ(other_usb.file_field_read_only, std::optional<bool>(true));
  EXPECT_FALSE(other_usb.pc_ip_enabled.has_value());

  const InputState net = InputsFor(true, "vk8801", kModeNetDown);
  EXPECT_FALSE(net.boot_file_list_enabled.has_value());
  EXPECT_EQ(net.pc_ip_enabled, std::optional<bool>(true));
  EXPECT_EQ(net.stb_ip_enabled, std::optional<bool>(true));

  // conf_down_net leaves the address inputs usable during the run.
  const InputState conf_net = InputsFor(false, "vk8801", kModeConfDownNet);
  EXPECT_FALSE(conf_net.pc_ip_enabled.has_value());
  EXPECT_FALSE(conf_net.bin_path_read_only.has_value());
  EXPECT_EQ(InputsFor(false, "vk8801", kModeConfDownUsb).bin_path_read_only,
            std::optional<bool>(true));
}

// The real tool against the simulated box: what the operator's Start does.
class RunControlStbsimTest : public RunControlTest {
 protected:
  void SetUp() override {
    RunControlTest::SetUp();
    ASSERT_TRUE(QFile::remove(m_builder.ToolPath()));
    ASSERT_TRUE(QFile::copy(BOOT_EXE, m_builder.ToolPath()));

    m_box.setProgram(STBSIM_EXE);
    m_box.setArguments(
        {"--flash", m_dir.filePath("flash.bin"), "--flash-size", "2097152", "--once"});
    m_box.start();
    ASSERT_TRUE(m_box.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!m_box.canReadLine() && clock.elapsed() < 10000) m_box.waitForReadyRead(1000);
    ASSERT_TRUE(m_box.canReadLine()) << "stbsim printed no terminal";
    m_view.settings.port = QString::fromLocal8Bit(m_box.readLine()).trimmed();
  }
  void TearDown() override {
    m_box.terminate();
    if (!m_box.waitForFinished(5000)) m_box.kill();
    m_box.waitForFinished(5000);
  }

  QProcess m_box;
};

TEST_F(RunControlStbsimTest, SerialDownEndsWithCompletedAndTheBytesInFlash) {
  QByteArray data(70000, '\0');
  for (int i = 0; i < data.size(); ++i) data[i] = char((i * 7 + i / 251) & 0xFF);
  QFile file(m_dir.filePath("app.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(data);
  file.close();
  m_view.settings.file = file.fileName();

  m_control.OnStartCancel();

  EXPECT_EQ(m_view.messages, QStringList({"Info: Completed!"})) << m_log.Text().toStdString();
  EXPECT_TRUE(m_log.Text().startsWith("\r\nboot -m vk7301-8805-dvbs2 -d " + m_view.settings.port +
                                      " -c \"serialdown 0x00010000 '"))
      << m_log.Text().toStdString();
  EXPECT_TRUE(m_log.Text().contains("Found serial: " + m_view.settings.port));
  // The counter was drawn in place: only its last value is left.
  EXPECT_TRUE(m_log.Text().contains("100%")) << m_log.Text().toStdString();
  EXPECT_FALSE(m_log.Text().contains("\b"));
  EXPECT_TRUE(m_log.Text().endsWith("\r\nCompleted.\r\n"));

  QFile flash(m_dir.filePath("flash.bin"));
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  EXPECT_EQ(flash.readAll().mid(0x10000, data.size()), data);
}

}  // namespace
