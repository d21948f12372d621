#include "run_control.h"

#include <QFile>
#include <QThread>

#include "output_renderer.h"

const char RunControl::kStartText[] = "&Start";
const char RunControl::kCancelText[] = "&Cancel";

namespace {

// The pause between a run's end (and its message box) and the inputs
// coming back.
constexpr unsigned long kEndPauseMs = 150;

}  // namespace

InputState InputsFor(bool enable, const QString& chip_type, int mode_index) {
  InputState state;
  state.chip_type_enabled = enable;
  state.serial_port_enabled = enable;
  state.mode_enabled = enable;
  state.yaffs_enabled = enable;
  state.section_enabled = enable;
  state.open_sw_enabled = enable;
  // Otherwise the chip type handler decides about the Boot File list.
  if (chip_type == QLatin1String("OTHER")) state.boot_file_list_enabled = enable;
  switch (mode_index) {
    case kModeUsbDown:
      state.file_field_read_only = !enable;
      break;
    case kModeNetDown:
      state.pc_ip_enabled = enable;
      state.stb_ip_enabled = enable;
      break;
    case kModeConfDownUsb:
      state.bin_path_read_only = !enable;
      break;
    default:
      break;
  }
  return state;
}

RunControl::RunControl(CommandBuilder builder, OutputRenderer* log, RunView* view)
    : m_builder(std::move(builder)), m_log(log), m_view(view) {}

RunControl::~RunControl() = default;

void RunControl::OnStartCancel() {
  const CommandSettings settings = m_view->CurrentSettings();
  QString message = CommandBuilder::Validate(settings);
  if (!message.isEmpty()) {
    m_view->ShowMessage(MessageKind::kError, message);
    return;
  }

  if (!IsIdle()) {
    // The run itself ends inside the invocation that started it, once the
    // runner has terminated the tool.
    m_view->ApplyInputs(InputsFor(true, settings.chip_type, settings.mode_index));
    m_running = false;
    if (m_runner) m_runner->Cancel();
    SetButtons(QLatin1String(kStartText), true);
    return;
  }

  // A cancelled run whose tool has not ended yet still owns the runner.
  if (m_runner && m_runner->IsRunning()) return;

  message = CommandBuilder::ValidateSection(settings);
  if (!message.isEmpty()) {
    m_view->ShowMessage(MessageKind::kError, message);
    return;
  }
  BeginRun();
  ExecuteAndReport(m_builder.BuildCommand(settings));
}

bool RunControl::RunTypedCommand(const QString& text) {
  if (text.isEmpty() || !IsIdle()) return false;
  if (m_runner && m_runner->IsRunning()) return false;
  BeginRun();
  m_history.Add(text);
  m_view->ResetCommandBox();
  ExecuteAndReport(text);
  return true;
}

void RunControl::OnClose() {
  m_closing = true;
  if (m_runner) m_runner->Cancel();
}

void RunControl::BeginRun() {
  const CommandSettings settings = m_view->CurrentSettings();
  m_view->ApplyInputs(InputsFor(false, settings.chip_type, settings.mode_index));
  m_running = true;
  SetButtons(QLatin1String(kCancelText), false);
}

void RunControl::ExecuteAndReport(const QString& command) {
  m_runner = std::make_unique<ChildProcessRunner>(m_builder.FullCommandLine(command), m_log);
  ChildProcessRunner* runner = m_runner.get();
  runner->AppendOutput(CommandBuilder::EchoText(command));
  runner->Run();

  // A run cancelled with the button reports nothing; neither does one cut
  // short by closing the dialog (it did not complete).
  if (m_running && !m_closing) {
    if (runner->GetExitCode() == 0) {
      runner->AppendOutput(QStringLiteral("\r\nCompleted.\r\n"));
      m_view->ShowMessage(MessageKind::kInfo, QStringLiteral("Completed!"));
    } else {
      runner->AppendOutput(QStringLiteral("\r\nFail.\r\n"));
      m_view->ShowMessage(MessageKind::kInfo, QStringLiteral("Fail!"));
    }
  }
  EndRun();
}

void RunControl::EndRun() {
  QThread::msleep(kEndPauseMs);
  SetButtons(QLatin1String(kStartText), true);
  const CommandSettings settings = m_view->CurrentSettings();
  m_view->ApplyInputs(InputsFor(true, settings.chip_type, settings.mode_index));
  if (m_closing) QFile::remove(m_builder.ToolPath());
}

void RunControl::SetButtons(const QString& start_text, bool clear_enabled) {
  m_start_text = start_text;
  m_view->SetRunButtons(start_text, clear_enabled);
}
