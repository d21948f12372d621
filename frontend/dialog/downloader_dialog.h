#pragma once

// The front end's only window: chip type, loader file, serial port, mode,
// section, file and addresses on the left; the tool's output, the usage guide
// and the command box in the middle; the section file's text on the right.
//
// Construction builds the controls from the template, wires them and runs
// the start-up (OnInitDialog): boot_file is created, the loader files are
// listed, the boot tool is written out, the lists are filled, the settings
// restored, the section file loaded and the caption set. Closing cancels a
// run, writes the settings and deletes the written-out tool.
//
// The logic of runs, the section file and discovery lives in the core
// library; this class shows its state and forwards the operator's actions.
// Dialog thread only; handlers may be re-entered from inside a run.

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "core/adapter_discovery.h"
#include "core/command_builder.h"
#include "core/output_renderer.h"
#include "core/run_control.h"
#include "core/section_editor.h"
#include "core/section_file.h"
#include "core/segment_table.h"
#include "dialog/progress_tracker.h"

class FileChooser;
class FlatButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

struct DialogOptions {
  // The folder every path is built on, with a trailing '/': the current
  // folder at start (see CommandBuilder::WorkingFolder()).
  QString working_folder;
  // Where the carried boot tool is read from.
  QString payload_resource;
  // Ports offered before the system's ones (for example a pseudo-terminal).
  QStringList extra_ports;
  // The file dialogs; the system's when null. Not owned.
  FileChooser* file_chooser = nullptr;
};

class DownloaderDialog : public QDialog, public RunView {
  Q_OBJECT

 public:
  explicit DownloaderDialog(DialogOptions options, QWidget* parent = nullptr);
  ~DownloaderDialog() override;

  // Handlers.
  void OnChipTypeChanged();
  void OnModeChanged();
  void OnOpenFile();
  void OnClear();
  void OnStartCancel();
  void OnAbout();
  // Runs `text` as Return in the command box does.
  void RunTypedCommand(const QString& text);

  // Whether start-up ran to its end (false after a payload failure).
  bool StartupCompleted() const { return m_startupCompleted; }
  QString ToolPath() const { return m_builder.ToolPath(); }
  RunControl& Runs() { return m_runs; }
  const SegmentTable& Sections() const { return m_segments; }
  // The rendered log, as the log pane shows it.
  const QString& LogText() const { return m_log.Text(); }
  int ProgressPercent() const { return m_progress.Percent(); }

  // RunView.
  CommandSettings CurrentSettings() override;
  void ShowMessage(MessageKind kind, const QString& text) override;
  void ApplyInputs(const InputState& state) override;
  void SetRunButtons(const QString& start_text, bool clear_enabled) override;
  void ResetCommandBox() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectSignals();
  bool OnInitDialog();
  void ListBootFiles(const QString& folder);
  void FillLists();
  void LoadSectionFile();
  void SaveSettings() const;

  void ApplyEditorEffects(const EditorEffects& effects);
  void RefillSectionList();
  void OnSectionSelected(int index);
  void OnPcAddressChanged();
  void OnSectionEditorLeft();
  bool OnCommandBoxKey(const QKeyEvent& event);

  void OnLogEdited(const LogEdit& edit);
  void OnLogCleared();
  void UpdateGuideVisibility();
  void UpdateElapsed();

  DialogOptions m_options;
  CommandBuilder m_builder;
  OutputRenderer m_log;
  SectionFile m_sectionFile;
  SegmentTable m_segments;
  SectionEditor m_sectionEditor{&m_sectionFile, &m_segments};
  AdapterInfo m_adapters;
  RunControl m_runs{m_builder, &m_log, this};
  std::unique_ptr<FileChooser> m_systemFileChooser;
  bool m_startupCompleted = false;

  ProgressTracker m_progress;
  QElapsedTimer m_runClock;
  QTimer m_elapsedTicker;

  // The controls, each also reachable by the object name "ctl<number>".
  QHash<int, QWidget*> m_controls;
  FlatButton* m_startButton = nullptr;
  QPlainTextEdit* m_logPane = nullptr;
  QLineEdit* m_commandBox = nullptr;
  QComboBox* m_modeList = nullptr;
  QComboBox* m_pcIpList = nullptr;
  QLineEdit* m_fileField = nullptr;
  QLineEdit* m_binPathField = nullptr;
  FlatButton* m_openSwButton = nullptr;
  QComboBox* m_serialPortList = nullptr;
  QComboBox* m_chipTypeList = nullptr;
  FlatButton* m_clearButton = nullptr;
  QComboBox* m_bootFileList = nullptr;
  QComboBox* m_sectionList = nullptr;
  QPlainTextEdit* m_sectionEditorPane = nullptr;
  QLabel* m_sectionLabel = nullptr;
  QLabel* m_fileLabel = nullptr;
  QLabel* m_bootFileLabel = nullptr;
  QLineEdit* m_stbIpField = nullptr;
  QCheckBox* m_yaffsBox = nullptr;
  QLabel* m_pcIpLabel = nullptr;
  QLabel* m_stbIpLabel = nullptr;
  QList<QLabel*> m_guideLabels;
  FlatButton* m_aboutButton = nullptr;
  QProgressBar* m_progressBar = nullptr;
  QLabel* m_elapsedLabel = nullptr;
};
