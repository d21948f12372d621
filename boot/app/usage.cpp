#include "app/usage.h"

#include <cstdio>

const char kVersionText[] = "boot version:v1.9-dev --20151020\n";
const char kLongVersionText[] = "boot version:v2.9.2  --20151020\n";

std::string UsageText(const std::string& machines) {
  // The colons of the command list line up in column 18.
  return "Usage: boot [-m <machine>] [-b <bootloader file>] [-c <boot command line>] "
         "[-d <serial device>] [-p <pcip>] [-s <stbip>] [-h] [-v]\n"
         "  -m & -b:if you use -b, you don't need to use -m.\n"
         "  -m machine list:" +
         machines +
         "\n"
         "  -c command list:netdown <flash addr|partition name> <file name> [yaffs2]\n"
         "                 :serialdown <flash addr|partition name> <file name> [yaffs2]\n"
         "                 :usbdown <flash addr|partition name> <file name> [yaffs2]\n"
         "                 :serialdump <flash addr|partition name> <length> <file name>\n"
         "                 :flash erase <flash addr> <length>\n"
         "                 :flash eraseall\n"
         "                 :load_conf_down <config file name|merge bin name> "
         "<serialdown|netdown|usbdown> [usb bin path]\n"
         "                 :vk_otp <status|lock> \n"
         "                 :vk_otp read <vk otp address> <length> \n"
         "                 :vk_otp write <vk otp address> <file name> \n"
         "                 :sflash_otp <lock|status|erase|setregion num|getregion> \n"
         "                 :sflash_otp read <otp address> <length> \n"
         "                 :sflash_otp write <otp address> <file name> \n"
         "  ex. boot -m vk7301-7301-dvbc -c netdown 0 loader-sflash.bin\n"
         "      boot -m vk7301 -c netdown 0 loader-sflash.bin -d /dev/ttyS3 "
         "-p 192.168.120.100 -s 192.168.120.101\n"
         "  For help with your box or its loaders, contact the support of your box's supplier.\n";
}

void boot_usage_detailed(const std::string& machines) {
  std::fputs(UsageText(machines).c_str(), stderr);
}
