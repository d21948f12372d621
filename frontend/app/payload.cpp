#include "app/payload.h"

#include <QFile>
#include <QSaveFile>

const char kPayloadResource[] = ":/payload/boot";

QString WritePayload(const QString& resource, const QString& path) {
  QFile source(resource);
  if (!source.exists())
    return QStringLiteral("查找资源文件失败!\n%1: %2").arg(resource, QStringLiteral("not found"));
  if (!source.open(QIODevice::ReadOnly))
    return QStringLiteral("装载资源文件失败!\n%1: %2").arg(resource, source.errorString());
  const QByteArray bytes = source.readAll();
  if (bytes.size() != source.size() || bytes.isEmpty())
    return QStringLiteral("装载资源文件失败!\n%1: %2").arg(resource, source.errorString());

  const QString createFailed = QStringLiteral("创建boot.exe文件失败!\n%1: %2");
  QSaveFile target(path);
  target.setDirectWriteFallback(false);
  if (!target.open(QIODevice::WriteOnly)) return createFailed.arg(path, target.errorString());
  // A short write would leave a broken tool that fails only when a run
  // starts; it is reported here instead.
  if (target.write(bytes) != bytes.size()) {
    const QString reason = target.errorString();
    target.cancelWriting();
    return createFailed.arg(path, reason);
  }
  if (!target.commit()) return createFailed.arg(path, target.errorString());
  const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther;
  if (!QFile::setPermissions(path, executable))
    return createFailed.arg(path, QStringLiteral("cannot set the execute permission"));
  return QString();
}
