// The built-in machine table: lookup of a loader image by machine name, and
// the machine list shown in the usage text.

#include <cstring>

#include "device/boot.h"
#include "images/default_boot.h"

int Boot::get_boot(const char* machine, const uint8_t** image, uint32_t* length) {
  if (image != nullptr) *image = nullptr;
  if (length != nullptr) *length = 0;
  if (machine == nullptr || image == nullptr || length == nullptr) return -1;
  // Exact, case-sensitive comparison of the whole name.
  for (const boot_image* row = default_boot; row->name != nullptr; ++row) {
    if (std::strcmp(row->name, machine) == 0) {
      *image = row->image;
      *length = row->length;
      return 0;
    }
  }
  return -1;
}

std::string Boot::GetMachines() {
  std::string list;
  for (const boot_image* row = default_boot; row->name != nullptr; ++row) {
    if (!list.empty()) list += '|';
    list += row->name;
  }
  return list;
}
