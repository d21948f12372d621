#include "dialog/dialog_settings.h"

#include <QSettings>

namespace {

const char kGroup[] = "Kavrin_boot";

int ReadInt(const QSettings& store, const char* key, int fallback) {
  bool ok = false;
  const int value = store.value(QLatin1String(key)).toInt(&ok);
  return ok ? value : fallback;
}

}  // namespace

DialogSettings DialogSettings::Load() {
  QSettings store;
  store.beginGroup(QLatin1String(kGroup));
  DialogSettings settings;
  settings.firmware_list = ReadInt(store, "FIRMWARELIST", 0);
  settings.chip_type = ReadInt(store, "CHIPTYPE", 0);
  settings.com = ReadInt(store, "COM", 0);
  settings.mode = ReadInt(store, "MODE", 0);
  settings.yaffs = ReadInt(store, "YAFFS", 0);
  settings.pc_ip = ReadInt(store, "PCIP", 0);
  settings.stb_ip = store.value(QStringLiteral("STBIP")).toString();
  return settings;
}

void DialogSettings::Save() const {
  QSettings store;
  store.beginGroup(QLatin1String(kGroup));
  store.setValue(QStringLiteral("FIRMWARELIST"), firmware_list);
  store.setValue(QStringLiteral("CHIPTYPE"), chip_type);
  store.setValue(QStringLiteral("COM"), com);
  store.setValue(QStringLiteral("MODE"), mode);
  store.setValue(QStringLiteral("YAFFS"), yaffs);
  store.setValue(QStringLiteral("PCIP"), pc_ip);
  store.setValue(QStringLiteral("STBIP"), stb_ip);
  store.endGroup();
  store.sync();
}
