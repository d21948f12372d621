#include "dialog/downloader_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>

#include "app/payload.h"
#include "app/version.h"
#include "core/port_discovery.h"
#include "dialog/dialog_settings.h"
#include "dialog/dialog_template.h"
#include "dialog/file_chooser.h"
#include "dialog/mode_layout.h"
#include "dialog/template_controls.h"
#include "widgets/about_dialog.h"
#include "widgets/app_icon.h"
#include "widgets/dialog_units.h"
#include "widgets/flat_button.h"

namespace {

// The dialog's font size in points; the family is the platform's.
constexpr int kFontPoints = 9;

const char kToolFolder[] = "boot_file";
const char kLoaderMarker[] = ".boot";

// Selects `index` in `list`; an index outside the list selects nothing.
void SelectIndex(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

}  // namespace

DownloaderDialog::DownloaderDialog(DialogOptions options, QWidget* parent)
    : QDialog(parent),
      m_options(std::move(options)),
      m_builder(m_options.working_folder),
      m_sectionFile(m_builder.SectionFilePath()) {
  if (m_options.payload_resource.isEmpty())
    m_options.payload_resource = QString::fromLatin1(kPayloadResource);
  if (!m_options.file_chooser) {
    m_systemFileChooser = std::make_unique<SystemFileChooser>();
    m_options.file_chooser = m_systemFileChooser.get();
  }
  BuildControls();
  ConnectSignals();
  m_startupCompleted = OnInitDialog();
}

DownloaderDialog::~DownloaderDialog() = default;

void DownloaderDialog::BuildControls() {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Kavrin_boot"));
  QFont dialogFont = font();
  dialogFont.setPointSize(kFontPoints);
  setFont(dialogFont);
  const DialogUnits units(dialogFont);
  setFixedSize(units.Size(kDialogWidth, kDialogHeight));

  QList<QWidget*> tabChain;
  for (const ControlTemplate& control : kDialogControls) {
    QWidget* widget = CreateControl(control, units, this);
    if (control.id != kNoId) m_controls.insert(control.id, widget);
    if (widget->focusPolicy() & Qt::TabFocus) tabChain.append(widget);
  }
  auto button = [this](int id) { return static_cast<FlatButton*>(m_controls.value(id)); };
  auto list = [this](int id) { return static_cast<QComboBox*>(m_controls.value(id)); };
  auto edit = [this](int id) { return static_cast<QLineEdit*>(m_controls.value(id)); };
  auto label = [this](int id) { return static_cast<QLabel*>(m_controls.value(id)); };
  auto pane = [this](int id) { return static_cast<QPlainTextEdit*>(m_controls.value(id)); };
  m_startButton = button(kStartButton);
  m_openSwButton = button(kOpenSwButton);
  m_clearButton = button(kClearButton);
  m_logPane = pane(kLogPane);
  m_sectionEditorPane = pane(kSectionEditor);
  m_commandBox = edit(kCommandBox);
  m_fileField = edit(kFileField);
  m_binPathField = edit(kBinPathField);
  m_stbIpField = edit(kStbIpField);
  m_modeList = list(kModeList);
  m_pcIpList = list(kPcIpList);
  m_serialPortList = list(kSerialPortList);
  m_chipTypeList = list(kChipTypeList);
  m_bootFileList = list(kBootFileList);
  m_sectionList = list(kSectionList);
  m_sectionLabel = label(kSectionLabel);
  m_fileLabel = label(kFileLabel);
  m_bootFileLabel = label(kBootFileLabel);
  m_pcIpLabel = label(kPcIpLabel);
  m_stbIpLabel = label(kStbIpLabel);
  m_yaffsBox = static_cast<QCheckBox*>(m_controls.value(kYaffsBox));
  m_startButton->setDefault(true);

  // The usage guide lies over the log pane while the log is empty; clicks go
  // through to the pane.
  for (const GuideText& guide : kUsageGuide) {
    auto* text = new QLabel(QString::fromUtf8(guide.text), this);
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setWordWrap(true);
    text->setGeometry(units.Rect(guide.x, guide.y, guide.width, guide.height));
    text->setObjectName(QStringLiteral("usageGuide%1").arg(m_guideLabels.size() + 1));
    text->setAttribute(Qt::WA_TransparentForMouseEvents);
    text->raise();
    m_guideLabels.append(text);
  }

  m_aboutButton = static_cast<FlatButton*>(CreateControl(kAboutButton, units, this));
  m_aboutButton->setObjectName(QStringLiteral("aboutButton"));
  tabChain.append(m_aboutButton);

  m_progressBar = new QProgressBar(this);
  m_progressBar->setObjectName(QStringLiteral("progressBar"));
  m_progressBar->setGeometry(
      units.Rect(kProgressBar.x, kProgressBar.y, kProgressBar.width, kProgressBar.height));
  m_progressBar->setRange(0, 100);
  m_progressBar->setValue(0);
  m_progressBar->setTextVisible(false);
  m_elapsedLabel = static_cast<QLabel*>(CreateControl(kElapsedLabel, units, this));
  m_elapsedLabel->setObjectName(QStringLiteral("elapsedLabel"));
  m_elapsedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_elapsedLabel->setToolTip(tr("Time of the current or last run"));

  for (qsizetype i = 1; i < tabChain.size(); ++i) setTabOrder(tabChain[i - 1], tabChain[i]);
  m_elapsedTicker.setInterval(1000);
}

// Every connection and event filter of the dialog.
void DownloaderDialog::ConnectSignals() {
  connect(m_startButton, &QPushButton::clicked, this, &DownloaderDialog::OnStartCancel);
  connect(m_openSwButton, &QPushButton::clicked, this, &DownloaderDialog::OnOpenFile);
  connect(m_clearButton, &QPushButton::clicked, this, &DownloaderDialog::OnClear);
  connect(m_aboutButton, &QPushButton::clicked, this, &DownloaderDialog::OnAbout);
  connect(m_chipTypeList, &QComboBox::currentIndexChanged, this,
          &DownloaderDialog::OnChipTypeChanged);
  connect(m_modeList, &QComboBox::currentIndexChanged, this, &DownloaderDialog::OnModeChanged);
  connect(m_pcIpList, &QComboBox::currentIndexChanged, this, &DownloaderDialog::OnPcAddressChanged);
  connect(m_sectionList, &QComboBox::currentIndexChanged, this,
          &DownloaderDialog::OnSectionSelected);
  connect(&m_log, &OutputRenderer::Edited, this, &DownloaderDialog::OnLogEdited);
  connect(&m_log, &OutputRenderer::Cleared, this, &DownloaderDialog::OnLogCleared);
  connect(&m_elapsedTicker, &QTimer::timeout, this, &DownloaderDialog::UpdateElapsed);
  m_commandBox->installEventFilter(this);
  m_sectionEditorPane->installEventFilter(this);
  m_logPane->installEventFilter(this);
}

bool DownloaderDialog::OnInitDialog() {
  setWindowIcon(AppIcon());
  const DialogSettings settings = DialogSettings::Load();

  const QString folder = m_options.working_folder + QLatin1String(kToolFolder);
  const QFileInfo folderInfo(folder);
  if (!folderInfo.exists()) {
    // A folder that cannot be created shows when the tool is written into it.
    QDir().mkdir(folder);
  } else if (folderInfo.isDir()) {
    ListBootFiles(folder);
    SelectIndex(m_bootFileList, settings.firmware_list);
  }

  const QString failure = WritePayload(m_options.payload_resource, ToolPath());
  if (!failure.isEmpty()) {
    QMessageBox::warning(this, QStringLiteral("提示"), failure);
    return false;
  }

  {
    // The handlers run once below, explicitly, as start-up calls them.
    const QSignalBlocker chipSignals(m_chipTypeList);
    for (const char* chip : kChipTypes) m_chipTypeList->addItem(QString::fromLatin1(chip));
    SelectIndex(m_chipTypeList, settings.chip_type);
  }
  OnChipTypeChanged();

  m_serialPortList->addItems(m_options.extra_ports);
  m_serialPortList->addItems(SplitPortList(ListSerialPorts()));
  SelectIndex(m_serialPortList, settings.com);

  {
    const QSignalBlocker modeSignals(m_modeList);
    for (const char* mode : kModeTexts) m_modeList->addItem(QString::fromLatin1(mode));
    SelectIndex(m_modeList, settings.mode);
  }
  m_yaffsBox->setChecked(settings.yaffs != 0);

  {
    const QSignalBlocker addressSignals(m_pcIpList);
    m_adapters.Collect();
    m_pcIpList->addItems(PcAddressList(m_adapters));
    SelectIndex(m_pcIpList, settings.pc_ip);
  }
  OnPcAddressChanged();
  if (!settings.stb_ip.isEmpty()) m_stbIpField->setText(settings.stb_ip);

  OnModeChanged();
  LoadSectionFile();
  setWindowTitle(QStringLiteral("KAVRIN ") + GetVersionString());
  return true;
}

void DownloaderDialog::ListBootFiles(const QString& folder) {
  // Sorted by name, which is the order the original platform's file system
  // lists a folder in, so a saved index finds the same file again.
  const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System,
                                                   QDir::Name | QDir::IgnoreCase);
  for (const QString& name : names) {
    if (name.indexOf(QLatin1String(kLoaderMarker), 1) >= 1) m_bootFileList->addItem(name);
  }
}

void DownloaderDialog::LoadSectionFile() { ApplyEditorEffects(m_sectionEditor.Load()); }

void DownloaderDialog::OnChipTypeChanged() {
  const bool other = m_chipTypeList->currentText() == QStringLiteral("OTHER");
  m_bootFileLabel->setEnabled(other);
  m_bootFileList->setEnabled(other);
}

void DownloaderDialog::OnModeChanged() {
  m_fileField->clear();
  const int mode = m_modeList->currentIndex();
  if (mode < 0 || mode >= static_cast<int>(kModeLayouts.size())) return;
  const ModeLayout& layout = kModeLayouts[mode];
  m_yaffsBox->setVisible(layout.yaffs);
  m_pcIpLabel->setVisible(layout.pc_label != nullptr);
  if (layout.pc_label) {
    m_pcIpLabel->setText(QString::fromLatin1(layout.pc_label));
    GrowToText(m_pcIpLabel);
  }
  m_pcIpList->setVisible(layout.pc_list);
  m_stbIpLabel->setVisible(layout.stb_ip);
  if (layout.stb_ip) m_stbIpLabel->setText(QStringLiteral("STB IP:"));
  m_stbIpField->setVisible(layout.stb_ip);
  m_binPathField->setVisible(layout.bin_path);
  m_sectionLabel->setVisible(layout.section);
  m_sectionList->setVisible(layout.section);
  m_fileLabel->setVisible(layout.file_label != nullptr);
  if (layout.file_label) {
    m_fileLabel->setText(QString::fromLatin1(layout.file_label));
    GrowToText(m_fileLabel);
  }
  m_fileField->setVisible(layout.file_label != nullptr);
  m_openSwButton->setVisible(layout.open_sw);
  m_fileField->setReadOnly(!layout.file_editable);
}

void DownloaderDialog::OnOpenFile() {
  const QString download = QString::fromLatin1(kDownloadFilter);
  const QString config = QString::fromLatin1(kConfigFilter);
  QString chosen;
  switch (m_modeList->currentIndex()) {
    case kModeSerialDown:
    case kModeNetDown:
    case kModeUsbDown:
      chosen = m_options.file_chooser->OpenFile(this, download);
      break;
    case kModeSerialDump:
      chosen = m_options.file_chooser->SaveFile(this, download);
      if (!chosen.isEmpty()) chosen = DumpFileName(chosen);
      break;
    case kModeConfDownSerial:
    case kModeConfDownNet:
    case kModeConfDownUsb:
      chosen = m_options.file_chooser->OpenFile(this, config);
      break;
    default:
      return;
  }
  if (!chosen.isEmpty()) m_fileField->setText(chosen);
}

void DownloaderDialog::OnClear() { m_log.Clear(); }

void DownloaderDialog::OnStartCancel() { m_runs.OnStartCancel(); }

void DownloaderDialog::RunTypedCommand(const QString& text) {
  m_commandBox->setText(text);
  m_runs.RunTypedCommand(text);
}

void DownloaderDialog::OnAbout() {
  AboutDialog about(GetVersionString(), BuildLine(), this);
  about.exec();
}

void DownloaderDialog::OnPcAddressChanged() {
  const QString proposal = ProposeStbAddress(m_pcIpList->currentText());
  if (!proposal.isEmpty()) m_stbIpField->setText(proposal);
}

void DownloaderDialog::OnSectionSelected(int index) { m_segments.Select(index); }

void DownloaderDialog::RefillSectionList() {
  const QSignalBlocker blocker(m_sectionList);
  m_sectionList->clear();
  for (const Segment& segment : m_segments.Entries()) m_sectionList->addItem(segment.name);
  SelectIndex(m_sectionList, m_segments.SelectedIndex());
}

void DownloaderDialog::ApplyEditorEffects(const EditorEffects& effects) {
  if (effects.sections_reloaded) RefillSectionList();
  if (effects.set_text) m_sectionEditorPane->setPlainText(effects.text);
  if (effects.read_only) m_sectionEditorPane->setReadOnly(*effects.read_only);
  const QString caption = QStringLiteral("Information");
  if (!effects.information.isEmpty()) QMessageBox::information(this, caption, effects.information);
  if (!effects.error.isEmpty()) QMessageBox::information(this, caption, effects.error);
  if (effects.refocus) m_sectionEditorPane->setFocus(Qt::OtherFocusReason);
}

void DownloaderDialog::OnSectionEditorLeft() {
  const SectionEditor::Question question =
      m_sectionEditor.OnLeave(m_sectionEditorPane->toPlainText());
  if (question == SectionEditor::Question::kNone) return;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                  SectionEditor::QuestionText(question), QMessageBox::NoButton, this);
  if (question == SectionEditor::Question::kSaveChanges) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
  }
  const int answer = box.exec();
  SectionEditor::Reply reply = SectionEditor::Reply::kCancel;
  if (answer == QMessageBox::Yes) reply = SectionEditor::Reply::kYes;
  if (answer == QMessageBox::No) reply = SectionEditor::Reply::kNo;
  // Escape on the Yes/No question means No, as its default.
  if (answer != QMessageBox::Yes && answer != QMessageBox::No &&
      question == SectionEditor::Question::kCancelEditing)
    reply = SectionEditor::Reply::kNo;
  ApplyEditorEffects(m_sectionEditor.Answer(reply));
}

bool DownloaderDialog::OnCommandBoxKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      RunTypedCommand(m_commandBox->text());
      return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const std::optional<QString> recalled =
          event.key() == Qt::Key_Up ? m_runs.History().Up() : m_runs.History().Down();
      if (recalled) {
        m_commandBox->setText(*recalled);
        m_commandBox->end(false);
      }
      return true;
    }
    default:
      return false;
  }
}

bool DownloaderDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() == Qt::Key_Escape) return true;
    if (watched == m_commandBox) return OnCommandBoxKey(key);
    if (watched == m_sectionEditorPane) {
      const EditorEffects effects =
          m_sectionEditor.OnKey(key.key(), key.modifiers(), m_sectionEditorPane->toPlainText());
      ApplyEditorEffects(effects);
      if (effects.consume_key) return true;
    }
    // Return in a read-only pane stays there, as in a multi-line edit that
    // takes Return; it must not press the default button.
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    if (enter && (watched == m_logPane || watched == m_sectionEditorPane)) {
      const auto* pane = static_cast<QPlainTextEdit*>(watched);
      if (pane->isReadOnly()) return true;
    }
  } else if (event->type() == QEvent::FocusOut && watched == m_sectionEditorPane) {
    // Only a move of the focus inside the dialog leaves the editor; switching
    // to another window or opening a menu does not.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
      QMetaObject::invokeMethod(this, &DownloaderDialog::OnSectionEditorLeft, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void DownloaderDialog::keyPressEvent(QKeyEvent* event) {
  // Escape never closes the dialog; only closing the window does.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void DownloaderDialog::closeEvent(QCloseEvent* event) {
  m_runs.OnClose();
  // A start-up that stopped early restored nothing; writing its empty lists
  // would throw the operator's settings away.
  if (m_startupCompleted) SaveSettings();
  QFile::remove(ToolPath());
  QDialog::closeEvent(event);
}

void DownloaderDialog::SaveSettings() const {
  DialogSettings settings;
  settings.firmware_list = m_bootFileList->currentIndex();
  settings.chip_type = m_chipTypeList->currentIndex();
  settings.com = m_serialPortList->currentIndex();
  settings.mode = m_modeList->currentIndex();
  settings.yaffs = m_yaffsBox->isChecked() ? 1 : 0;
  settings.pc_ip = m_pcIpList->currentIndex();
  settings.stb_ip = m_stbIpField->text();
  settings.Save();
}

CommandSettings DownloaderDialog::CurrentSettings() {
  CommandSettings settings;
  settings.mode_index = m_modeList->currentIndex();
  settings.mode_text = m_modeList->currentText();
  settings.chip_type = m_chipTypeList->currentText();
  settings.boot_file_name = m_bootFileList->currentText();
  settings.port = m_serialPortList->currentText();
  settings.file = m_fileField->text();
  settings.bin_path = m_binPathField->text();
  settings.pc_address = m_pcIpList->currentText();
  settings.box_address = m_stbIpField->text();
  settings.yaffs = m_yaffsBox->isChecked();
  if (const Segment* section = m_segments.Selected()) settings.section = *section;
  return settings;
}

void DownloaderDialog::ShowMessage(MessageKind kind, const QString& text) {
  if (kind == MessageKind::kError)
    QMessageBox::warning(this, QStringLiteral("Error"), text);
  else
    QMessageBox::information(this, QStringLiteral("Info"), text);
}

void DownloaderDialog::ApplyInputs(const InputState& state) {
  m_chipTypeList->setEnabled(state.chip_type_enabled);
  m_serialPortList->setEnabled(state.serial_port_enabled);
  m_modeList->setEnabled(state.mode_enabled);
  m_yaffsBox->setEnabled(state.yaffs_enabled);
  m_sectionList->setEnabled(state.section_enabled);
  m_openSwButton->setEnabled(state.open_sw_enabled);
  if (state.boot_file_list_enabled) m_bootFileList->setEnabled(*state.boot_file_list_enabled);
  if (state.file_field_read_only) m_fileField->setReadOnly(*state.file_field_read_only);
  if (state.pc_ip_enabled) m_pcIpList->setEnabled(*state.pc_ip_enabled);
  if (state.stb_ip_enabled) m_stbIpField->setEnabled(*state.stb_ip_enabled);
  if (state.bin_path_read_only) m_binPathField->setReadOnly(*state.bin_path_read_only);
}

void DownloaderDialog::SetRunButtons(const QString& start_text, bool clear_enabled) {
  const bool starting =
      start_text == QLatin1String(RunControl::kCancelText) && m_startButton->text() != start_text;
  m_startButton->setText(start_text);
  m_clearButton->setEnabled(clear_enabled);
  if (starting) {
    // A run begins: the progress and the clock start from zero.
    m_progress.Reset();
    m_progressBar->setValue(0);
    m_runClock.start();
    UpdateElapsed();
    m_elapsedTicker.start();
  } else if (start_text == QLatin1String(RunControl::kStartText) && m_elapsedTicker.isActive()) {
    UpdateElapsed();
    m_elapsedTicker.stop();
  }
}

void DownloaderDialog::ResetCommandBox() {
  m_commandBox->clear();
  m_commandBox->setFocus(Qt::OtherFocusReason);
}

void DownloaderDialog::OnLogEdited(const LogEdit& edit) {
  QTextCursor cursor(m_logPane->document());
  cursor.movePosition(QTextCursor::End);
  if (edit.display_erased > 0)
    cursor.setPosition(cursor.position() - edit.display_erased, QTextCursor::KeepAnchor);
  cursor.insertText(edit.display_appended);
  m_logPane->verticalScrollBar()->setValue(m_logPane->verticalScrollBar()->maximum());
  m_progress.Feed(edit.appended);
  m_progressBar->setValue(m_progress.Percent());
  UpdateGuideVisibility();
}

void DownloaderDialog::OnLogCleared() {
  m_logPane->clear();
  UpdateGuideVisibility();
}

void DownloaderDialog::UpdateGuideVisibility() {
  const bool empty = m_log.Text().isEmpty();
  for (QLabel* guide : m_guideLabels) guide->setVisible(empty);
}

void DownloaderDialog::UpdateElapsed() {
  if (!m_runClock.isValid()) return;
  const qint64 seconds = m_runClock.elapsed() / 1000;
  m_elapsedLabel->setText(
      QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
}
