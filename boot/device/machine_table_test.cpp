#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "device/boot.h"
#include "images/default_boot.h"

namespace {

struct Row {
  const char* machine;
  const char* file;
  uint32_t length;
};

// The machine table as the boxes' loaders define it.
const Row kRows[] = {
    {"vk7300", "vk7300_boot.bin", 60484},
    {"vk7301", "vk7301_generic_boot.bin", 93570},
    {"vk7301-7331", "vk7301_7331_boot.bin", 121362},
    {"vk7301-8801-dvbs2", "vk7301_dvbs_8801_boot.bin", 93618},
    {"vk7301-8802-dvbs2", "vk7301_dvbs_8802_boot.bin", 93710},
    {"vk7301-8805-dvbs2", "vk7301_dvbs_8805_boot.bin", 93590},
    {"vk7301-7301-dvbc", "vk7301_dvbc_7301_boot.bin", 93550},
    {"vk7301-7301-dvbt2", "vk7301_dvbt2_7301_boot.bin", 93558},
    {"vk7301-7301e-dvbc", "vk7301_dvbc_7301e_boot.bin", 93518},
};

std::string ReadImageFile(const std::string& name) {
  std::ifstream file(std::string(SOURCE_DIR) + "/boot/images/" + name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(MachineTable, EmbedsEveryImageFileWithTheTablesLength) {
  Boot boot;
  int rows = 0;
  for (const boot_image* row = default_boot; row->name != nullptr; ++row) ++rows;
  EXPECT_EQ(rows, 9);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.machine);
    const uint8_t* image = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(boot.get_boot(row.machine, &image, &length), 0);
    EXPECT_EQ(length, row.length);
    std::string file = ReadImageFile(row.file);
    ASSERT_EQ(file.size(), length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image), length), file);
    EXPECT_EQ(file.substr(0, 4), "\xAA\x55\xAA\x55");
  }
}

TEST(MachineTable, FindsOnlyExactNames) {
  Boot boot;
  const uint8_t* image = reinterpret_cast<const uint8_t*>("stale");
  uint32_t length = 7;
  for (const char* name : {"VK7301", "vk7301-", "vk730", "vk7301 ", "", "vk7301-7301e-dvbc-x"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(boot.get_boot(name, &image, &length), -1);
    EXPECT_EQ(image, nullptr);  // outputs are cleared on entry
    EXPECT_EQ(length, 0u);
  }
  EXPECT_EQ(boot.get_boot(nullptr, &image, &length), -1);
  EXPECT_EQ(boot.get_boot("vk7301", nullptr, &length), -1);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(boot.get_boot("vk7301", &image, nullptr), -1);
  EXPECT_EQ(image, nullptr);

  ASSERT_EQ(boot.get_boot("vk7301-7301e-dvbc", &image, &length), 0);
  EXPECT_EQ(image, default_boot[8].image);  // the table's own array, not a copy
}

TEST(MachineTable, ListsTheNineMachinesInTableOrder) {
  const std::string list = Boot::GetMachines();
  EXPECT_EQ(list,
            "vk7300|vk7301|vk7301-7331|vk7301-8801-dvbs2|vk7301-8802-dvbs2|vk7301-8805-dvbs2|"
            "vk7301-7301-dvbc|vk7301-7301-dvbt2|vk7301-7301e-dvbc");
  EXPECT_EQ(list.size(), 132u);
  EXPECT_EQ(Boot::GetMachines(), list);  // rebuilt, not appended to, on every call
}

}  // namespace
