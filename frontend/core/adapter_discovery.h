#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One network adapter: its IPv4 addresses in dotted form joined by commas
// (e.g. "192.168.1.10,10.0.0.5"), at most 127 characters; empty when it has
// none.
struct AdapterRecord {
  QString name;  // the interface name, e.g. "eth0" (for diagnostics)
  QString addresses;
};

// The PC's network adapters, in the system's order with loopback ones last
// (so the first address offered is a real one), at most kMaxAdapters.
class AdapterInfo {
 public:
  static constexpr int kMaxAdapters = 10;

  virtual ~AdapterInfo() = default;

  // Reads the adapters from QNetworkInterface, replacing earlier records.
  void Collect();

  int Count() const { return static_cast<int>(m_records.size()); }
  const QVector<AdapterRecord>& Records() const { return m_records; }
  // For tests: records as if collected (kept up to kMaxAdapters).
  void SetRecords(QVector<AdapterRecord> records);

 private:
  QVector<AdapterRecord> m_records;
};

// The PC IP list's items: each record's addresses split at commas, in order,
// keeping those that read as an IPv4 address (0.0.0.0 is one,
// 255.255.255.255 is not). Duplicates are kept.
QStringList PcAddressList(const AdapterInfo& info);

// The box address proposed for a PC address: its last number plus one,
// modulo 256, without carry (192.168.1.255 gives 192.168.1.0). Empty when
// `pc_address` is empty or not an address (the dialog then leaves the STB IP
// field as it is).
QString ProposeStbAddress(const QString& pc_address);
