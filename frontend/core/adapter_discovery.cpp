#include "adapter_discovery.h"

#include <arpa/inet.h>

#include <QHostAddress>
#include <QNetworkInterface>

namespace {

// The longest address text an adapter record holds.
constexpr qsizetype kMaxAddressText = 127;

// Whether inet_addr accepts the text; it cannot tell 255.255.255.255 from a
// failure, so that address is refused as well.
bool IsAcceptedAddress(const QString& text) {
  return inet_addr(text.toLatin1().constData()) != INADDR_NONE;
}

AdapterRecord RecordOf(const QNetworkInterface& interface) {
  AdapterRecord record;
  record.name = interface.name();
  QStringList addresses;
  for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
    const QHostAddress ip = entry.ip();
    if (ip.protocol() == QAbstractSocket::IPv4Protocol) addresses.append(ip.toString());
  }
  // Keep whole addresses only within the record's limit.
  while (addresses.join(QLatin1Char(',')).size() > kMaxAddressText) addresses.removeLast();
  record.addresses = addresses.join(QLatin1Char(','));
  return record;
}

}  // namespace

void AdapterInfo::Collect() {
  QVector<AdapterRecord> records;
  QVector<AdapterRecord> loopback;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    if (interface.flags().testFlag(QNetworkInterface::IsLoopBack)) {
      loopback.append(RecordOf(interface));
    } else {
      records.append(RecordOf(interface));
    }
  }
  records += loopback;
  SetRecords(std::move(records));
}

void AdapterInfo::SetRecords(QVector<AdapterRecord> records) {
  if (records.size() > kMaxAdapters) records.resize(kMaxAdapters);
  m_records = std::move(records);
}

QStringList PcAddressList(const AdapterInfo& info) {
  QStringList list;
  for (const AdapterRecord& record : info.Records()) {
    if (record.addresses.isEmpty()) continue;
    for (const QString& part : record.addresses.split(QLatin1Char(','))) {
      if (IsAcceptedAddress(part)) list.append(part);
    }
  }
  return list;
}

QString ProposeStbAddress(const QString& pc_address) {
  if (pc_address.isEmpty() || !IsAcceptedAddress(pc_address)) return {};
  const quint32 host = ntohl(inet_addr(pc_address.toLatin1().constData()));
  const quint32 proposed = (host & 0xFFFFFF00u) | ((host + 1) & 0xFFu);
  return QHostAddress(proposed).toString();
}
