#include "dialog/mode_layout.h"

namespace {
const char kPcIp[] = "PC IP:";
const char kBinPath[] = "Bin Path:";
const char kFile[] = "File:";
const char kConfFile[] = "Conf File:";
}  // namespace

// clang-format off
const std::array<ModeLayout, 9> kModeLayouts = {{
    // yaffs  pc_label  pc_list stb_ip bin_path section file_label open_sw file_editable
    {true,  nullptr,  false, false, false, true,  kFile,     true,  false},  // serialdown
    {true,  kPcIp,    true,  true,  false, true,  kFile,     true,  false},  // netdown
    {true,  nullptr,  false, false, false, true,  kFile,     false, true},   // usbdown
    {false, nullptr,  false, false, false, true,  kFile,     true,  false},  // serialdump
    {false, nullptr,  false, false, false, true,  nullptr,   false, false},  // flash erase
    {false, nullptr,  false, false, false, false, nullptr,   false, false},  // flash eraseall
    {false, nullptr,  false, false, false, false, kConfFile, true,  false},  // conf_down_serial
    {false, kPcIp,    true,  true,  false, false, kConfFile, true,  false},  // conf_down_net
    {false, kBinPath, false, false, true,  false, kConfFile, true,  false},  // conf_down_usb
}};
// clang-format on
