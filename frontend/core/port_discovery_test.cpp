#include "port_discovery.h"

#include <gtest/gtest.h>

#include "test_printers.h"

namespace {

TEST(PortDiscoveryTest, FallbackListWhenTheSystemListsNone) {
  EXPECT_EQ(PortListText({}), kFallbackPortList);
  const QStringList items = SplitPortList(PortListText({}));
  EXPECT_EQ(items, QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM7",
                                "COM8", "COM9"}));
  EXPECT_EQ(items.value(7), "COM7");  // a saved index 7 selects the second COM7
}

TEST(PortDiscoveryTest, SystemLocationsInTheSystemsOrder) {
  const QString text = PortListText({"/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyACM10"});
  EXPECT_EQ(text, "/dev/ttyUSB1;/dev/ttyS0;/dev/ttyACM10;");
  EXPECT_EQ(SplitPortList(text), QStringList({"/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyACM10"}));
  EXPECT_EQ(SplitPortList(""), QStringList());
  // Whatever the system lists, the text ends with ';' and splits into its ports.
  EXPECT_TRUE(ListSerialPorts().endsWith(';') || ListSerialPorts() == kFallbackPortList);
}

}  // namespace
