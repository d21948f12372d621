// The table that flash_printf prints for a loaded layout.
#include <cstdio>
#include <string>

#include "flash/flash_layout.h"

namespace {

const char* TypeName(uint8_t type) {
  switch (type) {
    case kTypeRaw:
      return "RAW";
    case kTypeRomfs:
      return "ROMFS";
    case kTypeCramfs:
      return "CRAMFS";
    case kTypeJffs2:
      return "JFFS2";
    case kTypeYaffs2:
      return "YAFFS2";
    case kTypeMinifs:
      return "MINIFS";
    case kTypeHide:
      return "HIDE";
    default:
      return "UNKNOWN";  // RAMFS included
  }
}

const char* TrueFalse(int value) { return value ? "TRUE" : "FALSE"; }

}  // namespace

char* get_size_str(char* buffer, unsigned n) {
  if (n > 0xFFFFF) {
    std::snprintf(buffer, 16, "%6.2f MB", n / 1048576.0);
  } else if (n >= 0x400) {
    std::snprintf(buffer, 16, "%6.2f KB", n / 1024.0);
  } else {
    std::snprintf(buffer, 16, "%6d  B", static_cast<int>(n));
  }
  return buffer;
}

extern "C" void flash_printf(flash* layout) {
  const std::string equals(106, '=');
  char size[16];
  std::printf("\n");
  std::printf("Partition Version   :  %d\n", layout->partition_version);
  std::printf("Flase Size          :%s\n", get_size_str(size, layout->flash_size));
  std::printf("Partition Count     :  %d\n", layout->count8);
  std::printf("Partition MAX Count :  %d\n", table_sect.max_partitions);
  std::printf("Table Enable        :  %s\n", TrueFalse(layout->table_enable));
  std::printf("Write Protect       :  %s\n", TrueFalse(layout->write_protect));
  std::printf("CRC32 Enable        :  %s\n", TrueFalse(layout->crc32_enable));
  std::printf("Table CRC32         :  %X\n", layout->table_crc32);
  std::printf("\n%s\n", equals.c_str());
  std::printf("%-3s%-8s%-3s%-8s%8s%8s%7s%9s%10s%10s%10s%8s%10s%3s\n", "ID", "NAME", "", "FS",
              "CRC32", "UPDATE", "VERION", "START", "SIZE", "PART", "USED", "USE%", "RESERVED",
              "OK");
  std::printf("%s\n", equals.c_str());
  for (int i = 0; i < layout->count; ++i) {
    const partition_slot& slot = layout->slots[i];
    const partition_entry& entry = *slot.entry;
    char crc[16] = "        ";
    if (entry.crc32 != 0) std::snprintf(crc, sizeof crc, "%08X", entry.crc32);
    char total[16], part[16], used[16], reserved[16];
    // An empty partition is shown as 0 % used rather than as "nan".
    double use = entry.part_size != 0 ? entry.file_size * 100.0 / entry.part_size : 0.0;
    std::printf("%-3d%-8s%-3s%-8s%-8s%8u%7u %08x %-10s %-10s%-10s%-5.1f%%  %-7s%3s\n", entry.index,
                entry.name, entry.mode == kModeReadWrite ? "RW" : "RO", TypeName(entry.type), crc,
                entry.update, entry.version, entry.start, get_size_str(total, entry.total_size),
                get_size_str(part, entry.part_size), get_size_str(used, entry.file_size), use,
                get_size_str(reserved, entry.reserved_size), slot.checked ? "*" : " ");
  }
  std::printf("%s\n\n", std::string(106, '-').c_str());
}
