#include "app/payload.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PayloadTest, WritesTheBuiltToolExecutableAndReplacesAnOldCopy) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("boot"));
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("stale");
  }
  ASSERT_EQ(WritePayload(QString::fromLatin1(kPayloadResource), path), QString());
  EXPECT_EQ(Contents(path), Contents(QStringLiteral(PAYLOAD_FILE)));
  EXPECT_TRUE(QFile::permissions(path) & QFile::ExeOwner);
}

TEST(PayloadTest, FailuresCarryTheirMessageAndTheFile) {
  QTemporaryDir folder;
  const QString target = folder.filePath(QStringLiteral("boot"));
  QString failure = WritePayload(QStringLiteral(":/payload/missing"), target);
  EXPECT_TRUE(failure.startsWith(QStringLiteral("查找资源文件失败!\n:/payload/missing")))
      << failure.toStdString();

  const QString inMissingFolder = folder.filePath(QStringLiteral("no/such/folder/boot"));
  failure = WritePayload(QString::fromLatin1(kPayloadResource), inMissingFolder);
  EXPECT_TRUE(failure.startsWith(QStringLiteral("创建boot.exe文件失败!\n") + inMissingFolder))
      << failure.toStdString();
  EXPECT_FALSE(QFile::exists(target));
}

}  // namespace
