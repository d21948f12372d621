#pragma once

#include <cstdint>

// One row of the built-in machine table: a machine name and its loader image.
struct boot_image {
  const char* name;      // machine name as given with -m; null in the end row
  const uint8_t* image;  // the loader's bytes, read-only, never released
  uint32_t length;       // the number of bytes of the image
};

// The built-in machine table, in the order of the machine list, ended by a
// row whose name is null. Generated at build time from the image files in
// boot/images/ (see images.cmake), so each length is the length of its file.
extern const boot_image default_boot[];
