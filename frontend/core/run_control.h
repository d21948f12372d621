#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "child_process_runner.h"
#include "command_builder.h"
#include "command_history.h"

class OutputRenderer;

// How a message box looks: kError has the caption "Error" and a warning
// icon, kInfo the caption "Info" and an information icon. Both have one OK
// button.
enum class MessageKind { kError, kInfo };

// The enabling that EnableInputs(enable) asks of the dialog. The `bool`
// members always apply; an optional member is set only when the current
// chip type / mode affects that control, and nullopt means "leave it as it
// is". The Start button, the command box, the log pane and the section
// editor are never touched.
struct InputState {
  bool chip_type_enabled = true;               // Chip Type list (1010)
  bool serial_port_enabled = true;             // Serial Port list (1009)
  bool mode_enabled = true;                    // Mode list (1004)
  bool yaffs_enabled = true;                   // yaffs box (1025)
  bool section_enabled = true;                 // Section list (1018)
  bool open_sw_enabled = true;                 // Open SW button (1008)
  std::optional<bool> boot_file_list_enabled;  // (1015) chip type "OTHER" only
  std::optional<bool> file_field_read_only;    // (1006) mode usbdown only
  std::optional<bool> pc_ip_enabled;           // (1005) mode netdown only
  std::optional<bool> stb_ip_enabled;          // (1024) mode netdown only
  std::optional<bool> bin_path_read_only;      // (1007) mode conf_down_usb only
};

// The enabling for `enable` with the given chip type and mode index.
InputState InputsFor(bool enable, const QString& chip_type, int mode_index);

// What RunControl needs of the dialog. Implemented by the dialog; every call
// comes on the dialog's thread, some from inside a run's event loop.
class RunView {
 public:
  virtual ~RunView() = default;
  // The controls' current values (read at every click and at a run's end).
  virtual CommandSettings CurrentSettings() = 0;
  // Shows a modal message box (see MessageKind) and returns when it is closed.
  virtual void ShowMessage(MessageKind kind, const QString& text) = 0;
  virtual void ApplyInputs(const InputState& state) = 0;
  // The Start button's text ("&Start" or "&Cancel") and whether the Clear
  // button is enabled.
  virtual void SetRunButtons(const QString& start_text, bool clear_enabled) = 0;
  // Empties the command box and gives it the keyboard focus.
  virtual void ResetCommandBox() = 0;
};

// Start, cancel and end of runs: validation, the running and closing flags,
// the current runner, the typed-command history and the result report.
//
// Owned by the dialog, together with the log (`log`, not owned, must outlive
// it) and the view (`view`, not owned). One run at a time: while a run is in
// progress (StartButtonText() is "&Cancel") a Start click cancels and Return
// in the command box does nothing. OnStartCancel() and RunTypedCommand()
// return only when their run has ended; the dialog's events keep being
// handled meanwhile, so these members are re-entered from inside a run.
class RunControl {
 public:
  static const char kStartText[];   // "&Start"
  static const char kCancelText[];  // "&Cancel"

  RunControl(CommandBuilder builder, OutputRenderer* log, RunView* view);
  ~RunControl();

  // The Start button's click. Validation first (its message in an "Error"
  // box, and nothing else happens: also a Cancel click is refused when the
  // settings fail validation); then, if the button reads "&Cancel", the
  // cancel path (inputs enabled, "&Start", the runner cancelled, no result
  // reported); otherwise the section check, and the run: inputs disabled,
  // "&Cancel", Clear disabled, the echo of the command, the tool run, then
  // "\r\nCompleted.\r\n" + "Completed!" (exit code 0) or "\r\nFail.\r\n" +
  // "Fail!" (other codes, runner failures), a 150 ms pause, inputs enabled.
  void OnStartCancel();

  // Return in the command box with its text. Ignored (returns false, the box
  // keeps its text) while a run is in progress or when `text` is empty.
  // Otherwise the text joins the history, the command box is emptied, and
  // tool-folder prefix + text is run without any validation or escaping,
  // reported like a Start run. Returns true when a run took place.
  bool RunTypedCommand(const QString& text);

  // The dialog is closing: sets the closing flag and cancels a run in
  // progress. A run cut short this way reports no result, and when it ends
  // the tool file is deleted. The dialog writes its settings and deletes the
  // tool file itself too (Linux lets it go while the tool still runs).
  void OnClose();

  bool IsIdle() const { return m_start_text == QLatin1String(kStartText); }
  const QString& StartButtonText() const { return m_start_text; }
  bool IsClosing() const { return m_closing; }
  // The runner of the current or latest run, nullptr before the first.
  ChildProcessRunner* CurrentRunner() const { return m_runner.get(); }
  CommandHistory& History() { return m_history; }
  const CommandBuilder& Builder() const { return m_builder; }

 private:
  void BeginRun();
  void ExecuteAndReport(const QString& command);
  void EndRun();
  void SetButtons(const QString& start_text, bool clear_enabled);

  CommandBuilder m_builder;
  OutputRenderer* m_log = nullptr;
  RunView* m_view = nullptr;
  bool m_running = false;
  bool m_closing = false;
  QString m_start_text = QLatin1String(kStartText);
  std::unique_ptr<ChildProcessRunner> m_runner;
  CommandHistory m_history;
};
