// Start-up, the written-out tool and the settings kept between two starts.

#include "dialog/downloader_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

#include "dialog/dialog_template.h"
#include "dialog/test_dialog_fixture.h"

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

QVariant Stored(const char* key) {
  QSettings store;
  return store.value(QStringLiteral("Kavrin_boot/") + QLatin1String(key));
}

void Store(const char* key, const QVariant& value) {
  QSettings store;
  store.setValue(QStringLiteral("Kavrin_boot/") + QLatin1String(key), value);
}

TEST_F(DialogTest, FirstStartInAnEmptyFolder) {
  DownloaderDialog& dialog = Open();
  EXPECT_TRUE(dialog.StartupCompleted());
  EXPECT_TRUE(QFileInfo(m_workingFolder + "boot_file").isDir());
  const QString tool = m_workingFolder + "boot_file/boot";
  EXPECT_EQ(dialog.ToolPath(), tool);
  EXPECT_EQ(Contents(tool), Contents(QStringLiteral(PAYLOAD_FILE)));
  EXPECT_TRUE(QFileInfo(tool).isExecutable());
  EXPECT_TRUE(QFileInfo::exists(m_workingFolder + "boot_file/config.ini"));
  EXPECT_TRUE(m_boxes.Boxes().isEmpty());

  EXPECT_EQ(Control<QComboBox>(kBootFileList)->count(), 0);
  EXPECT_EQ(Items(Control<QComboBox>(kChipTypeList)),
            QStringList({"vk8801", "vk8802", "vk8805", "7301-dvbc", "OTHER"}));
  EXPECT_EQ(Items(Control<QComboBox>(kModeList)),
            QStringList({"serialdown", "netdown", "usbdown", "serialdump", "flash erase",
                         "flash eraseall", "conf_down_serial", "conf_down_net", "conf_down_usb"}));
  for (int id : {kChipTypeList, kModeList, kSerialPortList})
    EXPECT_EQ(Control<QComboBox>(id)->currentIndex(), 0) << id;
  EXPECT_FALSE(Control<QCheckBox>(kYaffsBox)->isChecked());
  EXPECT_EQ(Items(Control<QComboBox>(kSectionList)),
            QStringList({"All", "Bootload", "Main Code", "Logo", "Common Data", "Default UsrDB",
                         "UsrDB", "SysDB", "Key"}));
  EXPECT_EQ(Control<QComboBox>(kSectionList)->currentText(), QStringLiteral("All"));
  EXPECT_TRUE(Control<QPlainTextEdit>(kSectionEditor)->toPlainText().startsWith("[Main]"));
  EXPECT_TRUE(Control<QPlainTextEdit>(kSectionEditor)->isReadOnly());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("KAVRIN V1.031"));
}

TEST_F(DialogTest, ListsOnlyNamesWithBootAfterTheFirstCharacter) {
  for (const char* name : {"a.boot", "b.boot.old", ".boot", "c.bin", "config.ini"})
    Touch(QStringLiteral("boot_file/") + name);
  Open();
  EXPECT_EQ(Items(Control<QComboBox>(kBootFileList)), QStringList({"a.boot", "b.boot.old"}));
}

TEST_F(DialogTest, ToolIsWrittenAtStartAndDeletedAtClose) {
  Touch(QStringLiteral("boot_file/boot"));  // an earlier copy is replaced
  DownloaderDialog& dialog = Open();
  const QString tool = dialog.ToolPath();
  EXPECT_EQ(Contents(tool), Contents(QStringLiteral(PAYLOAD_FILE)));
  Close();
  EXPECT_FALSE(QFileInfo::exists(tool));
  EXPECT_TRUE(QFileInfo::exists(m_workingFolder + "boot_file/config.ini"));
}

TEST_F(DialogTest, MissingPayloadStopsStartUpWithANotice) {
  Touch(QStringLiteral("boot_file/x.boot"));
  Store("CHIPTYPE", 3);
  m_options.payload_resource = QStringLiteral(":/payload/none");
  DownloaderDialog& dialog = Open();
  ASSERT_EQ(m_boxes.Boxes().size(), 1);
  EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("提示"));
  EXPECT_TRUE(m_boxes.Boxes()[0].text.startsWith(QStringLiteral("查找资源文件失败!")));
  EXPECT_EQ(m_boxes.Boxes()[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(dialog.StartupCompleted());
  // The Boot File list was filled before the failure; nothing after it was.
  EXPECT_EQ(Control<QComboBox>(kBootFileList)->count(), 1);
  for (int id : {kChipTypeList, kSerialPortList, kModeList, kPcIpList, kSectionList})
    EXPECT_EQ(Control<QComboBox>(id)->count(), 0) << id;
  EXPECT_FALSE(dialog.windowTitle().startsWith(QStringLiteral("KAVRIN")));
  Close();
  // Closing after such a start keeps the saved settings.
  EXPECT_EQ(Stored("CHIPTYPE").toInt(), 3);
  EXPECT_FALSE(Stored("MODE").isValid());
}

TEST_F(DialogTest, ToolThatCannotBeCreatedStopsStartUp) {
  Touch(QStringLiteral("boot_file"));  // a file where the folder should be
  DownloaderDialog& dialog = Open();
  ASSERT_EQ(m_boxes.Boxes().size(), 1);
  EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("提示"));
  EXPECT_TRUE(m_boxes.Boxes()[0].text.startsWith(QStringLiteral("创建boot.exe文件失败!\n") +
                                                 m_workingFolder + "boot_file/boot"))
      << m_boxes.Boxes()[0].text.toStdString();
  EXPECT_FALSE(dialog.StartupCompleted());
}

TEST_F(DialogTest, SettingsAreWrittenOnCloseAndRestoredAtTheNextStart) {
  Touch(QStringLiteral("boot_file/a.boot"));
  Touch(QStringLiteral("boot_file/b.boot"));
  m_options.extra_ports = QStringList({"/dev/ttyFIRST", "/dev/ttySECOND"});
  Open();
  Control<QComboBox>(kChipTypeList)->setCurrentIndex(4);
  Control<QComboBox>(kBootFileList)->setCurrentIndex(1);
  Control<QComboBox>(kSerialPortList)->setCurrentIndex(1);
  Control<QComboBox>(kModeList)->setCurrentIndex(7);
  Control<QCheckBox>(kYaffsBox)->setChecked(true);
  Control<QLineEdit>(kStbIpField)->setText(QStringLiteral("10.9.8.7"));
  const int pcIndex = Control<QComboBox>(kPcIpList)->currentIndex();
  Close();

  EXPECT_EQ(Stored("FIRMWARELIST").toInt(), 1);
  EXPECT_EQ(Stored("CHIPTYPE").toInt(), 4);
  EXPECT_EQ(Stored("COM").toInt(), 1);
  EXPECT_EQ(Stored("MODE").toInt(), 7);
  EXPECT_EQ(Stored("YAFFS").toInt(), 1);
  EXPECT_EQ(Stored("PCIP").toInt(), pcIndex);
  EXPECT_EQ(Stored("STBIP").toString(), QStringLiteral("10.9.8.7"));

  Open();
  EXPECT_EQ(Control<QComboBox>(kChipTypeList)->currentText(), QStringLiteral("OTHER"));
  EXPECT_TRUE(Control<QComboBox>(kBootFileList)->isEnabled());
  EXPECT_EQ(Control<QComboBox>(kBootFileList)->currentText(), QStringLiteral("b.boot"));
  EXPECT_EQ(Control<QComboBox>(kSerialPortList)->currentText(), QStringLiteral("/dev/ttySECOND"));
  EXPECT_EQ(Control<QComboBox>(kModeList)->currentText(), QStringLiteral("conf_down_net"));
  EXPECT_TRUE(Control<QCheckBox>(kYaffsBox)->isChecked());
  EXPECT_EQ(Control<QComboBox>(kPcIpList)->currentIndex(), pcIndex);
  EXPECT_EQ(Control<QLineEdit>(kStbIpField)->text(), QStringLiteral("10.9.8.7"));
}

TEST_F(DialogTest, NoSelectionIsKeptAsMinusOne) {
  Touch(QStringLiteral("boot_file/a.boot"));
  Open();
  Control<QComboBox>(kBootFileList)->setCurrentIndex(-1);
  Close();
  EXPECT_EQ(Stored("FIRMWARELIST").toInt(), -1);
  Open();
  EXPECT_EQ(Control<QComboBox>(kBootFileList)->currentIndex(), -1);
  EXPECT_EQ(Control<QComboBox>(kBootFileList)->currentText(), QString());
}

TEST_F(DialogTest, IndexesBeyondTheListsSelectNothing) {
  Store("CHIPTYPE", 7);
  Store("MODE", 12);
  Store("COM", 1000);
  Store("PCIP", 99);
  Store("FIRMWARELIST", 5);
  Touch(QStringLiteral("boot_file/a.boot"));
  Open();
  for (int id : {kChipTypeList, kModeList, kSerialPortList, kPcIpList, kBootFileList}) {
    EXPECT_EQ(Control<QComboBox>(id)->currentIndex(), -1) << id;
    EXPECT_EQ(Control<QComboBox>(id)->currentText(), QString()) << id;
  }
  // No chip type is not "OTHER".
  EXPECT_FALSE(Control<QComboBox>(kBootFileList)->isEnabled());
  Close();
  EXPECT_EQ(Stored("CHIPTYPE").toInt(), -1);
  EXPECT_EQ(Stored("MODE").toInt(), -1);
}

TEST_F(DialogTest, StoredBoxAddressReplacesTheProposalOnlyWhenNotEmpty) {
  Open();
  const QString pcAddress = Control<QComboBox>(kPcIpList)->currentText();
  if (pcAddress.isEmpty()) GTEST_SKIP() << "this machine shows no IPv4 address";
  const QString proposal = Control<QLineEdit>(kStbIpField)->text();
  EXPECT_FALSE(proposal.isEmpty());
  Control<QLineEdit>(kStbIpField)->clear();
  Close();  // stores an empty STBIP

  Open();
  EXPECT_EQ(Control<QLineEdit>(kStbIpField)->text(), proposal);
  Control<QLineEdit>(kStbIpField)->setText(QStringLiteral("1.2.3.4"));
  Close();
  Open();
  EXPECT_EQ(Control<QLineEdit>(kStbIpField)->text(), QStringLiteral("1.2.3.4"));
}

}  // namespace
