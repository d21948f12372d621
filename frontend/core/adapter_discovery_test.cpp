#include "adapter_discovery.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

TEST(AdapterDiscoveryTest, BoxAddressProposal) {
  const struct {
    const char* pc;
    const char* box;
  } cases[] = {
      {"192.168.1.10", "192.168.1.11"},
      {"192.168.1.255", "192.168.1.0"},
      {"10.0.0.254", "10.0.0.255"},
      {"10.0.0.255", "10.0.0.0"},
      {"10.0.255.255", "10.0.255.0"},
      {"0.0.0.0", "0.0.0.1"},
      {"", ""},
      {"not an address", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProposeStbAddress(c.pc), c.box) << c.pc;
}

TEST(AdapterDiscoveryTest, AddressListAdapterByAdapter) {
  AdapterInfo info;
  info.SetRecords({
      {"eth0", "192.168.1.10,10.0.0.5"},
      {"eth1", ""},          // no address
      {"wlan0", "0.0.0.0"},  // DHCP without a lease
      {"eth2", "255.255.255.255,bogus,172.16.0.1"},
      {"eth3", "192.168.1.10"},  // duplicates stay
  });
  EXPECT_EQ(PcAddressList(info),
            QStringList({"192.168.1.10", "10.0.0.5", "0.0.0.0", "172.16.0.1", "192.168.1.10"}));
}

TEST(AdapterDiscoveryTest, AtMostTenAdapters) {
  QVector<AdapterRecord> twelve;
  for (int i = 0; i < 12; ++i)
    twelve.append({QString("eth%1").arg(i), QString("10.0.0.%1").arg(i)});
  AdapterInfo info;
  info.SetRecords(twelve);
  EXPECT_EQ(info.Count(), AdapterInfo::kMaxAdapters);
  EXPECT_EQ(PcAddressList(info).last(), "10.0.0.9");

  // The real collection keeps the bound and puts loopback adapters last.
  info.Collect();
  EXPECT_LE(info.Count(), AdapterInfo::kMaxAdapters);
  const QStringList addresses = PcAddressList(info);
  const qsizetype loopback = addresses.indexOf("127.0.0.1");
  if (loopback >= 0) {
    for (qsizetype i = loopback; i < addresses.size(); ++i) {
      EXPECT_TRUE(addresses[i].startsWith("127.")) << addresses[i].toStdString();
    }
  }
}

}  // namespace
