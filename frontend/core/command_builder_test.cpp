#include "command_builder.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

// The builder as on Windows, so the command lines read as the operator knows
// them; the Linux layout is checked separately below.
CommandBuilder WindowsBuilder() { return CommandBuilder("C:\\tools\\", "boot.exe", '\\'); }

CommandSettings Settings(const char* chip, const char* port, int mode) {
  CommandSettings settings;
  settings.chip_type = chip;
  settings.port = port;
  settings.mode_index = mode;
  if (mode >= 0 && mode <= 8) settings.mode_text = kModeTexts[mode];
  return settings;
}

struct ExampleCase {
  const char* name;
  CommandSettings settings;
  const char* command;
};

TEST(CommandBuilderTest, KnownCommandLines) {
  CommandSettings serial = Settings("vk8805", "COM3", kModeSerialDown);
  serial.section = Segment{"All", 0, 0x200000};
  serial.file = "C:\\fw\\app.bin";

  CommandSettings net = Settings("vk8801", "COM1", kModeNetDown);
  net.section = Segment{"Main Code", 0x10000, 0x120000};
  net.file = "D:\\a.bin";
  net.yaffs = true;
  net.pc_address = "192.168.1.10";
  net.box_address = "192.168.1.11";

  CommandSettings dump = Settings("7301-dvbc", "COM2", kModeSerialDump);
  dump.section = Segment{"Logo", 0x130000, 0x8000};
  dump.file = "C:\\d\\logo.bin";

  CommandSettings erase = Settings("OTHER", "COM3", kModeFlashErase);
  erase.boot_file_name = "X.boot";
  erase.section = Segment{"Bootload", 0, 0x10000};

  CommandSettings erase_all = Settings("vk8802", "COM4", kModeFlashEraseAll);

  CommandSettings conf_usb = Settings("vk8805", "COM3", kModeConfDownUsb);
  conf_usb.file = "C:\\c\\f.conf";
  conf_usb.bin_path = "C:\\c\\all.bin";

  const ExampleCase cases[] = {
      {"serialdown", serial,
       R"(boot.exe -m vk7301-8805-dvbs2 -d COM3 -c "serialdown 0x00000000 'C:\\fw\\app.bin'")"},
      {"netdown", net,
       R"(boot.exe -m vk7301-8801-dvbs2 -d COM1 -c "netdown 0x00010000 'D:\\a.bin' yaffs" -p 192.168.1.10 -s 192.168.1.11)"},
      {"serialdump", dump,
       R"(boot.exe -m vk7301-7301-dvbc -d COM2 -c "serialdump 0x00130000 0x00008000 'C:\\d\\logo.bin'")"},
      {"flash erase", erase,
       R"(boot.exe -b "C:\tools\boot_file\X.boot" -d COM3 -c "flash erase 0x00000000 0x00010000")"},
      {"flash eraseall", erase_all, R"(boot.exe -m vk7301-8802-dvbs2 -d COM4 -c flash eraseall)"},
      {"conf_down_usb", conf_usb,
       R"(boot.exe -m vk7301-8805-dvbs2 -d COM3 -c "load_conf_down 'C:\\c\\f.conf' usbdown 'C:\\c\\all.bin'")"},
  };
  for (const ExampleCase& c : cases) {
    EXPECT_EQ(WindowsBuilder().BuildCommand(c.settings).toStdString(), c.command) << c.name;
  }
}

TEST(CommandBuilderTest, ProgramPartPerChipType) {
  const struct {
    const char* chip;
    const char* program;
  } cases[] = {
      {"vk8801", "boot.exe -m vk7301-8801-dvbs2"},
      {"vk8802", "boot.exe -m vk7301-8802-dvbs2"},
      {"vk8805", "boot.exe -m vk7301-8805-dvbs2"},
      {"7301-dvbc", "boot.exe -m vk7301-7301-dvbc"},
      {"OTHER", R"(boot.exe -b "C:\tools\boot_file\my loader.boot")"},
      {"other", ""},  // comparisons are case-sensitive
      {"vk8806", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    CommandSettings settings = Settings(c.chip, "COM1", kModeFlashEraseAll);
    settings.boot_file_name = "my loader.boot";
    EXPECT_EQ(WindowsBuilder().ProgramPart(settings).toStdString(), c.program) << c.chip;
  }
}

TEST(CommandBuilderTest, ModePartPerMode) {
  const struct {
    int mode;
    const char* mode_part;
  } cases[] = {
      {kModeSerialDown, R"( -c "serialdown 0x00138800 'C:\\x y\\f.bin' yaffs")"},
      {kModeNetDown, R"( -c "netdown 0x00138800 'C:\\x y\\f.bin' yaffs" -p 10.0.0.1 -s 10.0.0.2)"},
      {kModeUsbDown, R"( -c "usbdown 0x00138800 'C:\\x y\\f.bin' yaffs")"},
      // yaffs is ignored from here on.
      {kModeSerialDump, R"( -c "serialdump 0x00138800 0x00007800 'C:\\x y\\f.bin'")"},
      {kModeFlashErase, R"( -c "flash erase 0x00138800 0x00007800")"},
      {kModeFlashEraseAll, " -c flash eraseall"},
      {kModeConfDownSerial, R"( -c "load_conf_down 'C:\\x y\\f.bin' serialdown")"},
      {kModeConfDownNet,
       R"( -c "load_conf_down 'C:\\x y\\f.bin' netdown" -p 10.0.0.1 -s 10.0.0.2)"},
      {kModeConfDownUsb, R"( -c "load_conf_down 'C:\\x y\\f.bin' usbdown '\\\\srv\\all.bin'")"},
      {-1, ""},  // nothing selected: no -c part at all
  };
  for (const auto& c : cases) {
    CommandSettings settings = Settings("vk8805", "COM1", c.mode);
    settings.file = "C:\\x y\\f.bin";
    settings.bin_path = "\\\\srv\\all.bin";
    settings.yaffs = true;
    settings.pc_address = "10.0.0.1";
    settings.box_address = "10.0.0.2";
    settings.section = Segment{"Default UsrDB", 0x138800, 0x7800};
    EXPECT_EQ(CommandBuilder::ModePart(settings).toStdString(), c.mode_part) << c.mode;
  }
}

TEST(CommandBuilderTest, NoModeEndsAfterThePort) {
  CommandSettings settings = Settings("vk8801", "/dev/ttyUSB0", -1);
  EXPECT_EQ(WindowsBuilder().BuildCommand(settings),
            "boot.exe -m vk7301-8801-dvbs2 -d /dev/ttyUSB0");
}

TEST(CommandBuilderTest, Validation) {
  const struct {
    const char* chip;
    const char* boot_file;
    int mode;
    const char* file;
    const char* message;
  } cases[] = {
      {"OTHER", "", kModeFlashEraseAll, "", "Please choose to the bin first!"},
      {"OTHER", "", kModeSerialDown, "", "Please choose to the bin first!"},
      {"OTHER", "X.boot", kModeFlashEraseAll, "", ""},
      {"vk8805", "", kModeSerialDown, "", "Please choose to download files!"},
      {"vk8805", "", kModeNetDown, "", "Please choose to download files!"},
      {"vk8805", "", kModeUsbDown, "", "Please input download files!"},
      {"vk8805", "", kModeSerialDump, "", "Please choose to dump files!"},
      {"vk8805", "", kModeFlashErase, "", ""},
      {"vk8805", "", kModeFlashEraseAll, "", ""},
      {"vk8805", "", kModeConfDownSerial, "", "Please choose config file!"},
      {"vk8805", "", kModeConfDownNet, "", "Please choose config file!"},
      {"vk8805", "", kModeConfDownUsb, "", "Please choose config file!"},
      {"vk8805", "", -1, "", ""},
      {"vk8805", "", kModeSerialDown, "a.bin", ""},
  };
  for (const auto& c : cases) {
    CommandSettings settings = Settings(c.chip, "COM1", c.mode);
    settings.boot_file_name = c.boot_file;
    settings.file = c.file;
    EXPECT_EQ(CommandBuilder::Validate(settings).toStdString(), c.message)
        << c.chip << " mode " << c.mode;
  }
}

TEST(CommandBuilderTest, SectionNeededByTheFirstFiveModes) {
  for (int mode = -1; mode <= 8; ++mode) {
    CommandSettings settings = Settings("vk8805", "COM1", mode);
    const bool needs = mode >= 0 && mode <= 4;
    EXPECT_EQ(CommandBuilder::ValidateSection(settings).isEmpty(), !needs) << mode;
    if (needs) {
      EXPECT_EQ(CommandBuilder::ValidateSection(settings), "Please choose the section first!");
    }
    settings.section = Segment{"All", 0, 0x200000};
    EXPECT_TRUE(CommandBuilder::ValidateSection(settings).isEmpty()) << mode;
  }
}

TEST(CommandBuilderTest, DoubleBackslashesStoresAndReturns) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"/home/op/app.bin", "/home/op/app.bin"},
      {"C:\\a\\b.bin", "C:\\\\a\\\\b.bin"},
      {"\\\\", "\\\\\\\\"},
      {"\xe5\x9b\xba\\x", "\xe5\x9b\xba\\\\x"},
  };
  for (const auto& c : cases) {
    QString text = QString::fromUtf8(c.in);
    EXPECT_EQ(DoubleBackslashes(&text), QString::fromUtf8(c.out));
    EXPECT_EQ(text, QString::fromUtf8(c.out));
  }
}

TEST(CommandBuilderTest, PathsEchoAndFullLineOnLinux) {
  CommandBuilder builder("/home/op/");
  EXPECT_EQ(builder.ToolFolderPrefix(), "/home/op/boot_file/");
  EXPECT_EQ(builder.ToolPath(), "/home/op/boot_file/boot");
  EXPECT_EQ(builder.SectionFilePath(), "/home/op/boot_file/config.ini");

  CommandSettings settings = Settings("OTHER", "/dev/ttyUSB0", kModeFlashEraseAll);
  settings.boot_file_name = "X.boot";
  const QString command = builder.BuildCommand(settings);
  EXPECT_EQ(command, R"(boot -b "/home/op/boot_file/X.boot" -d /dev/ttyUSB0 -c flash eraseall)");
  EXPECT_EQ(builder.FullCommandLine(command), "/home/op/boot_file/" + command);
  EXPECT_EQ(CommandBuilder::EchoText(command), "\r\n" + command + "\r\n\r\n");
  EXPECT_TRUE(CommandBuilder::WorkingFolder().endsWith('/'));
}

}  // namespace
