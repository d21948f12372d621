#pragma once

#include <QString>
#include <optional>

#include "segment_table.h"

// Indexes of the Mode list; the dialog fills the list in this order and the
// builder relies on the index alone.
enum ModeIndex {
  kModeSerialDown = 0,
  kModeNetDown = 1,
  kModeUsbDown = 2,
  kModeSerialDump = 3,
  kModeFlashErase = 4,
  kModeFlashEraseAll = 5,
  kModeConfDownSerial = 6,
  kModeConfDownNet = 7,
  kModeConfDownUsb = 8,
};

// The Mode list's texts, index by index (9 entries).
extern const char* const kModeTexts[9];
// The Chip Type list's texts in list order: "vk8801", "vk8802", "vk8805",
// "7301-dvbc", "OTHER".
extern const char* const kChipTypes[5];

// What the dialog's controls hold when Start is pressed. Texts are taken as
// they stand (no trimming); every comparison is exact and case-sensitive.
struct CommandSettings {
  int mode_index = -1;     // Mode list selection, -1 when nothing is selected
  QString mode_text;       // Mode list text (used for modes 0 to 5)
  QString chip_type;       // Chip Type list text
  QString boot_file_name;  // Boot File list text (chip type "OTHER")
  QString port;            // Serial Port list text, passed to -d unchanged
  QString file;            // File field
  QString bin_path;        // Bin Path field (conf_down_usb)
  QString pc_address;      // PC IP list text (netdown, conf_down_net)
  QString box_address;     // STB IP field (netdown, conf_down_net)
  bool yaffs = false;      // yaffs box checked
  // The SegmentTable entry at the Section list's selection; none when the
  // list has no selection (for example an empty table).
  std::optional<Segment> section;
};

// Returns `*text` with every backslash doubled and stores the result back
// into `*text` as well. An empty text stays empty.
QString DoubleBackslashes(QString* text);

// Builds the boot tool command line from the dialog's settings.
//
// The tool lives in `<working folder>boot_file<sep>` under the name
// `tool_name`. The defaults are this platform's: "boot" and '/'. Tests (and
// a Windows build) pass "boot.exe" and '\\'. The builder holds only texts;
// copy it freely.
class CommandBuilder {
 public:
  static const char kDefaultToolName[];  // "boot"

  // `working_folder` ends with the separator, e.g. "/home/op/" (see
  // WorkingFolder()).
  explicit CommandBuilder(QString working_folder, QString tool_name = kDefaultToolName,
                          QChar separator = QLatin1Char('/'));

  // The process's current folder with the separator appended, as recorded
  // at start-up.
  static QString WorkingFolder();

  const QString& working_folder() const { return m_working_folder; }
  // working folder + "boot_file" + separator: the tool's folder prefix.
  QString ToolFolderPrefix() const;
  // The tool's full path: ToolFolderPrefix() + tool name.
  QString ToolPath() const;
  // The section file's full path: ToolFolderPrefix() + "config.ini".
  QString SectionFilePath() const;

  // The checks made on every Start (or Cancel) click, in order: chip type
  // "OTHER" without a boot file, then the file each mode needs. Returns the
  // message to show in an "Error" box, or an empty text when they pass.
  static QString Validate(const CommandSettings& settings);
  // The extra check made only before a run starts: modes 0 to 4 need a
  // selected section. Returns "Please choose the section first!" when there
  // is none, an empty text otherwise.
  static QString ValidateSection(const CommandSettings& settings);

  // "boot -m vk7301-8805-dvbs2", "boot -b \"<prefix><boot file>\"", or an
  // empty text for any other chip type (also empty).
  QString ProgramPart(const CommandSettings& settings) const;
  // " -c ..." (plus " -p ... -s ..." for the network modes); empty for a
  // mode index outside 0..8. Modes 0 to 4 without a section use address 0
  // and size 0 (callers check ValidateSection first).
  static QString ModePart(const CommandSettings& settings);
  // ProgramPart + " -d " + port + ModePart: the command as echoed in the log.
  QString BuildCommand(const CommandSettings& settings) const;
  // ToolFolderPrefix() + command: the line that is run (not quoted).
  QString FullCommandLine(const QString& command) const;
  // "\r\n" + command + "\r\n\r\n": the run's header line in the log.
  static QString EchoText(const QString& command);

 private:
  QString m_working_folder;
  QString m_tool_name;
  QChar m_separator;
};
