#pragma once

// The main dialog's template: every control with its number, kind, place and
// size in dialog units and its initial text, in template order, which is also
// the tab order. The dialog builds its controls from this table.

#include <array>

// Control numbers; each control's object name is "ctl" + its number.
enum ControlId {
  kNoId = 0,
  kStartButton = 1000,
  kLogPane = 1001,
  kCommandBox = 1003,
  kModeList = 1004,
  kPcIpList = 1005,
  kFileField = 1006,
  kBinPathField = 1007,
  kOpenSwButton = 1008,
  kSerialPortList = 1009,
  kChipTypeList = 1010,
  kClearButton = 1011,
  kBootFileList = 1015,
  kSectionList = 1018,
  kSectionEditor = 1019,
  kSectionLabel = 1020,
  kFileLabel = 1021,
  kBootFileLabel = 1022,
  kStbIpField = 1024,
  kYaffsBox = 1025,
  kPcIpLabel = 1026,
  kStbIpLabel = 1027,
};

enum class ControlKind {
  kFlatButton,    // push button drawn flat, tab stop
  kPlainButton,   // push button without a handler, no tab stop
  kLogPane,       // multi-line, read-only, vertical scroll bar, no tab stop
  kEdit,          // single line, tab stop
  kReadOnlyEdit,  // single line, read-only, tab stop
  kDropDownList,  // combo box that cannot be typed into, not sorted, tab stop
  kLabel,         // static text
  kFrame,         // group box without text
  kCheckBox,      // automatic check box, tab stop
  kTextPane,      // multi-line, read-only, both scroll bars, no wrapping, tab stop
};

struct ControlTemplate {
  int id;  // kNoId for controls without a number
  ControlKind kind;
  int x, y, width, height;  // dialog units; a list's height includes its open list
  const char* text;
};

// The dialog's size in dialog units.
constexpr int kDialogWidth = 531;
constexpr int kDialogHeight = 303;

extern const std::array<ControlTemplate, 26> kDialogControls;

// The usage guide: seven left-aligned texts over the log pane, top to bottom.
struct GuideText {
  int x, y, width, height;
  const char* text;
};
extern const std::array<GuideText, 7> kUsageGuide;

// The controls added to the template on this platform: the about button
// (there is no system menu to carry the about entry), the progress bar and
// the elapsed time of a run below the log pane.
constexpr ControlTemplate kAboutButton = {kNoId, ControlKind::kFlatButton, 61, 280, 100,
                                          13,    "关于 Kavrin_boot(&A)..."};
constexpr ControlTemplate kProgressBar = {kNoId, ControlKind::kLabel, 173, 266, 206, 7, ""};
constexpr ControlTemplate kElapsedLabel = {kNoId, ControlKind::kLabel, 381, 265, 39, 8, "0:00"};
