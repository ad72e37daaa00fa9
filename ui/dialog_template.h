// The main window's layout: every control of the dialog in tab order, with
// its id, kind, text and place in dialog units.
#pragma once

#include <span>

namespace korvel {

// Control ids.
inline constexpr int kIdStatic = -1;
inline constexpr int kIdSubmitSmith = 1;
inline constexpr int kIdSmithFreq = 1000;
inline constexpr int kIdCableLength = 1002;
inline constexpr int kIdVswr1Start = 1004;
inline constexpr int kIdSubmitScan = 1005;
inline constexpr int kIdVswr1Stop = 1006;
inline constexpr int kIdVswr2Start = 1007;
inline constexpr int kIdVswr2Stop = 1008;
inline constexpr int kIdVswr3Start = 1009;
inline constexpr int kIdVswr3Stop = 1010;
inline constexpr int kIdEnableVswr1 = 1012;
inline constexpr int kIdEnableVswr2 = 1013;
inline constexpr int kIdEnableVswr3 = 1014;
inline constexpr int kIdFrameVswr1 = 1015;
inline constexpr int kIdFrameVswr2 = 1016;
inline constexpr int kIdFrameVswr3 = 1017;
inline constexpr int kIdZoCalibration = 1018;
inline constexpr int kIdFrameMeter = 1019;
inline constexpr int kIdFrameLamp = 1020;
inline constexpr int kIdSaveView = 1021;
inline constexpr int kIdVswr1Color = 1022;
inline constexpr int kIdFrameS21 = 1023;
inline constexpr int kIdVswr2Color = 1024;
inline constexpr int kIdVswr3Color = 1025;
inline constexpr int kIdS21Color = 1026;
inline constexpr int kIdBackgroundColor = 1027;
inline constexpr int kIdCoordinateColor = 1028;
inline constexpr int kIdPinCalibration = 1029;
inline constexpr int kIdLamp = 65535;

enum class ControlKind {
    kDefaultButton,
    kButton,
    kEdit,
    kCheckBox,
    kTextCentred,
    kTextLeft,
    kBlackFrame,
    kLogo,
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, width, height;  // dialog units
    bool disabled = false;
};

inline constexpr int kDialogWidthDlu = 823;
inline constexpr int kDialogHeightDlu = 436;
inline constexpr const char* kDialogCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";

// All controls in template (tab) order.
std::span<const ControlTemplate> MainDialogControls();

}  // namespace korvel
