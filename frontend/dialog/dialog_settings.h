#pragma once

// The seven values the dialog keeps from one start to the next, in the
// per-user settings store (QSettings with the application's organisation and
// name), group "Kavrin_boot". Lists are kept by selection index, -1 meaning
// nothing selected; a value that is missing or unreadable reads as its default.

#include <QString>

struct DialogSettings {
  int firmware_list = 0;  // "FIRMWARELIST": Boot File list index
  int chip_type = 0;      // "CHIPTYPE": Chip Type list index
  int com = 0;            // "COM": Serial Port list index
  int mode = 0;           // "MODE": Mode list index
  int yaffs = 0;          // "YAFFS": 0 unchecked, 1 checked
  int pc_ip = 0;          // "PCIP": PC IP list index
  QString stb_ip;         // "STBIP": STB IP field text

  static DialogSettings Load();
  // Writes the seven keys in the order above.
  void Save() const;
};
