#include "dialog/dialog_template.h"

using K = ControlKind;

// Template order is tab order.
const std::array<ControlTemplate, 26> kDialogControls = {{
    {kStartButton, K::kFlatButton, 56, 232, 63, 20, "&Start"},
    {kLogPane, K::kLogPane, 173, 10, 247, 255, ""},
    {kCommandBox, K::kEdit, 210, 274, 174, 15, ""},
    {kNoId, K::kLabel, 13, 86, 20, 8, "Mode:"},
    {kNoId, K::kLabel, 13, 64, 35, 8, "Serial Port:"},
    {kSerialPortList, K::kDropDownList, 51, 62, 110, 360, ""},
    {kModeList, K::kDropDownList, 51, 84, 82, 192, ""},
    {kPcIpLabel, K::kLabel, 13, 152, 32, 8, "PC IP:"},
    {kPcIpList, K::kDropDownList, 51, 150, 110, 192, ""},
    {kFileLabel, K::kLabel, 13, 130, 32, 8, "File:"},
    {kFileField, K::kReadOnlyEdit, 51, 128, 82, 12, ""},
    {kOpenSwButton, K::kFlatButton, 134, 126, 33, 14, "Open SW"},
    {kNoId, K::kLabel, 13, 20, 35, 8, "Chip Type:"},
    {kChipTypeList, K::kDropDownList, 51, 15, 110, 285, ""},
    {kClearButton, K::kFlatButton, 392, 275, 28, 13, "&Clear"},
    {kNoId, K::kFrame, 6, 3, 165, 297, ""},
    {kBootFileLabel, K::kLabel, 13, 42, 30, 8, "Boot File:"},
    {kSectionLabel, K::kLabel, 13, 108, 27, 8, "Section:"},
    {kSectionList, K::kDropDownList, 50, 107, 110, 190, ""},
    {kSectionEditor, K::kTextPane, 429, 7, 95, 289, ""},
    {kNoId, K::kPlainButton, 174, 278, 35, 10, "Command:"},
    {kStbIpLabel, K::kLabel, 13, 174, 24, 8, "STB IP:"},
    {kStbIpField, K::kEdit, 51, 172, 110, 12, ""},
    {kBootFileList, K::kDropDownList, 51, 40, 110, 258, ""},
    {kYaffsBox, K::kCheckBox, 136, 86, 26, 9, "yaffs"},
    {kBinPathField, K::kEdit, 51, 150, 82, 12, ""},
}};

const std::array<GuideText, 7> kUsageGuide = {{
    {193, 34, 188, 19, "STEP-1  CHIP TYPE OPTION SELECT\"Other\""},
    {193, 57, 208, 21, "STEP-2 Boot File Option Select\"ZA8805r-odivere-zadadu.zaza\""},
    {193, 76, 119, 19, "Step-3 Select Serial Port"},
    {193, 95, 169, 22, "Step-4 Mode Option Select\"Serialdown\""},
    {193, 115, 167, 22, "Step-5 Section Option Select\"All\""},
    {193, 136, 203, 25, "Step-6 File Option Select\"Vk Chip Firmware\"Browes Your Pc"},
    {193, 157, 203, 23, "Step-7 And Then Press\"Start\" Button And Power On STB."},
}};
