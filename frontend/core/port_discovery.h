#pragma once

#include <QString>
#include <QStringList>

// The text offered when the system lists no serial ports, kept as the
// front end has always shown it: ten items (COM7 twice), COM10 dropped
// because no ';' follows it.
extern const char kFallbackPortList[];  // "COM1;COM2;...;COM9;COM10"

// The serial ports as one text, each port's system location (the text for
// -d, e.g. "/dev/ttyUSB0") followed by ';', in the order the system lists
// them (QSerialPortInfo). kFallbackPortList when there are none.
QString ListSerialPorts();

// The same from a given list of locations (what ListSerialPorts uses).
QString PortListText(const QStringList& locations);

// The items of the Serial Port list: every piece of `text` that is followed
// by ';', in order; a last piece without ';' is dropped.
QStringList SplitPortList(const QString& text);
