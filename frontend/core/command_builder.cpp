#include "command_builder.h"

#include <QDir>

const char* const kModeTexts[9] = {"serialdown",       "netdown",       "usbdown",
                                   "serialdump",       "flash erase",   "flash eraseall",
                                   "conf_down_serial", "conf_down_net", "conf_down_usb"};
const char* const kChipTypes[5] = {"vk8801", "vk8802", "vk8805", "7301-dvbc", "OTHER"};

const char CommandBuilder::kDefaultToolName[] = "boot";

namespace {

QString Hex32(quint32 value) { return QStringLiteral(" 0x%1").arg(value, 8, 16, QLatin1Char('0')); }

}  // namespace

QString DoubleBackslashes(QString* text) {
  text->replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  return *text;
}

CommandBuilder::CommandBuilder(QString working_folder, QString tool_name, QChar separator)
    : m_working_folder(std::move(working_folder)),
      m_tool_name(std::move(tool_name)),
      m_separator(separator) {}

QString CommandBuilder::WorkingFolder() {
  QString folder = QDir::currentPath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QString CommandBuilder::ToolFolderPrefix() const {
  return m_working_folder + QLatin1String("boot_file") + m_separator;
}

QString CommandBuilder::ToolPath() const { return ToolFolderPrefix() + m_tool_name; }

QString CommandBuilder::SectionFilePath() const {
  return ToolFolderPrefix() + QLatin1String("config.ini");
}

QString CommandBuilder::Validate(const CommandSettings& settings) {
  if (settings.chip_type == QLatin1String("OTHER") && settings.boot_file_name.isEmpty()) {
    return QStringLiteral("Please choose to the bin first!");
  }
  if (!settings.file.isEmpty()) return {};
  switch (settings.mode_index) {
    case kModeSerialDown:
    case kModeNetDown:
      return QStringLiteral("Please choose to download files!");
    case kModeUsbDown:
      return QStringLiteral("Please input download files!");
    case kModeSerialDump:
      return QStringLiteral("Please choose to dump files!");
    case kModeConfDownSerial:
    case kModeConfDownNet:
    case kModeConfDownUsb:
      return QStringLiteral("Please choose config file!");
    default:
      return {};
  }
}

QString CommandBuilder::ValidateSection(const CommandSettings& settings) {
  const bool needs_section =
      settings.mode_index >= kModeSerialDown && settings.mode_index <= kModeFlashErase;
  if (needs_section && !settings.section) return QStringLiteral("Please choose the section first!");
  return {};
}

QString CommandBuilder::ProgramPart(const CommandSettings& settings) const {
  const QString& chip = settings.chip_type;
  const QString program = m_tool_name;
  if (chip == QLatin1String("OTHER")) {
    // The loader path is quoted but its backslashes are not doubled: the
    // tool's option parser takes -b as it stands.
    return program + QLatin1String(" -b \"") + ToolFolderPrefix() + settings.boot_file_name +
           QLatin1String("\"");
  }
  if (chip == QLatin1String("vk8801")) return program + QLatin1String(" -m vk7301-8801-dvbs2");
  if (chip == QLatin1String("vk8802")) return program + QLatin1String(" -m vk7301-8802-dvbs2");
  if (chip == QLatin1String("vk8805")) return program + QLatin1String(" -m vk7301-8805-dvbs2");
  if (chip == QLatin1String("7301-dvbc")) return program + QLatin1String(" -m vk7301-7301-dvbc");
  return {};
}

QString CommandBuilder::ModePart(const CommandSettings& settings) {
  QString file = settings.file;
  QString bin_path = settings.bin_path;
  const QString f = DoubleBackslashes(&file);
  const QString b = DoubleBackslashes(&bin_path);
  const QString yaffs = settings.yaffs ? QStringLiteral(" yaffs") : QString();
  const QString start = Hex32(settings.section ? settings.section->start_address : 0);
  const QString size = Hex32(settings.section ? settings.section->size : 0);
  const QString& mode = settings.mode_text;
  const QString addresses =
      QLatin1String(" -p ") + settings.pc_address + QLatin1String(" -s ") + settings.box_address;

  switch (settings.mode_index) {
    case kModeSerialDown:
    case kModeUsbDown:
      return " -c \"" + mode + start + " '" + f + "'" + yaffs + "\"";
    case kModeNetDown:
      return " -c \"" + mode + start + " '" + f + "'" + yaffs + "\"" + addresses;
    case kModeSerialDump:
      return " -c \"" + mode + start + size + " '" + f + "'\"";
    case kModeFlashErase:
      return " -c \"" + mode + start + size + "\"";
    case kModeFlashEraseAll:
      // Not quoted: the tool joins its further arguments to the command.
      return " -c " + mode;
    case kModeConfDownSerial:
      return " -c \"load_conf_down '" + f + "' serialdown\"";
    case kModeConfDownNet:
      return " -c \"load_conf_down '" + f + "' netdown\"" + addresses;
    case kModeConfDownUsb:
      return " -c \"load_conf_down '" + f + "' usbdown '" + b + "'\"";
    default:
      return {};
  }
}

QString CommandBuilder::BuildCommand(const CommandSettings& settings) const {
  return ProgramPart(settings) + QLatin1String(" -d ") + settings.port + ModePart(settings);
}

QString CommandBuilder::FullCommandLine(const QString& command) const {
  return ToolFolderPrefix() + command;
}

QString CommandBuilder::EchoText(const QString& command) {
  return QLatin1String("\r\n") + command + QLatin1String("\r\n\r\n");
}
