#include "port_discovery.h"

#include <QSerialPortInfo>

const char kFallbackPortList[] = "COM1;COM2;COM3;COM4;COM5;COM6;COM7;COM7;COM8;COM9;COM10";

QString ListSerialPorts() {
  QStringList locations;
  for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
    locations.append(port.systemLocation());
  }
  return PortListText(locations);
}

QString PortListText(const QStringList& locations) {
  if (locations.isEmpty()) return QString::fromLatin1(kFallbackPortList);
  QString text;
  for (const QString& location : locations) text += location + QLatin1Char(';');
  return text;
}

QStringList SplitPortList(const QString& text) {
  QStringList items = text.split(QLatin1Char(';'));
  // The piece after the last ';' (empty for a well-formed list) is no item.
  items.removeLast();
  return items;
}
