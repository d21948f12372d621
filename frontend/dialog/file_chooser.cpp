#include "dialog/file_chooser.h"

#include <QFileDialog>

const char kDownloadFilter[] = "*.bin;*.dat (*.bin *.dat);;(All File) *.* (*)";
const char kConfigFilter[] = "*.conf (*.conf);;(All File) *.* (*)";

QString SystemFileChooser::OpenFile(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString SystemFileChooser::SaveFile(QWidget* parent, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

QString DumpFileName(const QString& path) {
  if (path.contains(QLatin1Char('.'))) return path;
  return path + QStringLiteral(".bin");
}
