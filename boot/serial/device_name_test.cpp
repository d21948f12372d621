#include "serial/device_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

TEST(ResolveDeviceName, MapsTheAcceptedForms) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"/dev/pts/3", "/dev/pts/3"}, {"ttyUSB0", "/dev/ttyUSB0"},
      {"ttyACM1", "/dev/ttyACM1"},      {"COM1", "/dev/ttyS0"},       {"COM3", "/dev/ttyS2"},
      {"COM12", "/dev/ttyS11"},
  };
  for (const auto& c : cases) {
    std::string path;
    Status status = ResolveDeviceName(c.name, &path);
    EXPECT_TRUE(status.ok()) << c.name << ": " << status.message();
    EXPECT_EQ(path, c.path) << c.name;
  }
}

TEST(ResolveDeviceName, RefusesOtherNames) {
  for (const char* name : {"", "dev/ttyS0", "./ttyS0", "..", "COM0", "COM", "COMx", "COM3a"}) {
    std::string path;
    Status status = ResolveDeviceName(name, &path);
    ASSERT_FALSE(status.ok()) << name;
    EXPECT_EQ(status.message(), std::string("error: open serial dev name is ") + name + "\n");
  }
}

TEST(ResolveDeviceName, LongNamesResolveToTheirTargetOrAreRefused) {
  std::string path;
  const std::string missing = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  Status status = ResolveDeviceName(missing, &path);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "error: serial device name " + missing +
                                  " is too long (at most 31 characters, or a link to such a "
                                  "device).\n");

  // A long stable link to a short device name opens that device.
  std::string directory = ::testing::TempDir() + "serial-by-id-with-a-long-name-XXXXXX";
  ASSERT_NE(mkdtemp(directory.data()), nullptr);
  const std::string link = directory + "/usb-Vendor_Serial_Adapter-if00-port0";
  std::filesystem::create_symlink("/dev/null", link);
  status = ResolveDeviceName(link, &path);
  EXPECT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(path, "/dev/null");
  std::filesystem::remove_all(directory);
}

TEST(ProbedDeviceNames, UsbThenAcmThenOnBoardPorts) {
  std::vector<std::string> names = ProbedDeviceNames();
  ASSERT_EQ(names.size(), 30u);
  EXPECT_EQ(names[0], "/dev/ttyUSB0");
  EXPECT_EQ(names[9], "/dev/ttyUSB9");
  EXPECT_EQ(names[10], "/dev/ttyACM0");
  EXPECT_EQ(names[20], "/dev/ttyS0");
  EXPECT_EQ(names[29], "/dev/ttyS9");
}
