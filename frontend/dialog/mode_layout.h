#pragma once

// Which controls each mode shows, how it labels them, and whether the File
// field can be typed into. Index = the Mode list's index.

#include <array>

struct ModeLayout {
  bool yaffs;              // yaffs box shown
  const char* pc_label;    // PC IP label text, nullptr when hidden
  bool pc_list;            // PC IP list shown
  bool stb_ip;             // STB IP label and field shown
  bool bin_path;           // Bin Path field shown
  bool section;            // Section label and list shown
  const char* file_label;  // File label text, nullptr when hidden (with the File field)
  bool open_sw;            // Open SW button shown
  bool file_editable;      // File field can be typed into
};

extern const std::array<ModeLayout, 9> kModeLayouts;
