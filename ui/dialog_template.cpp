#include "dialog_template.h"

#include <array>

namespace korvel {

namespace {

using K = ControlKind;

constexpr std::array kControls = {
    ControlTemplate{kIdSubmitSmith, K::kDefaultButton, "Submit Smith", 7, 239, 54, 15},
    ControlTemplate{kIdSmithFreq, K::kEdit, "", 107, 2, 31, 12},
    ControlTemplate{kIdVswr1Start, K::kEdit, "", 275, 2, 27, 12},
    ControlTemplate{kIdVswr1Stop, K::kEdit, "", 780, 2, 27, 12},
    ControlTemplate{kIdVswr2Start, K::kEdit, "", 276, 94, 27, 12},
    ControlTemplate{kIdVswr2Stop, K::kEdit, "", 780, 94, 27, 12},
    ControlTemplate{kIdVswr3Start, K::kEdit, "", 276, 187, 27, 12},
    ControlTemplate{kIdVswr3Stop, K::kEdit, "", 780, 187, 27, 12},
    ControlTemplate{kIdStatic, K::kTextCentred, "KHz", 141, 3, 14, 8},
    ControlTemplate{kIdSubmitScan, K::kButton, "Submit and Start Continuous Scan", 273, 415, 115,
                    14},
    ControlTemplate{kIdEnableVswr1, K::kCheckBox, "Check2", 322, 4, 10, 10},
    ControlTemplate{kIdEnableVswr2, K::kCheckBox, "Check2", 322, 96, 10, 10},
    ControlTemplate{kIdEnableVswr3, K::kCheckBox, "Check2", 323, 189, 10, 10},
    ControlTemplate{kIdFrameVswr1, K::kBlackFrame, "", 274, 15, 542, 79},
    ControlTemplate{kIdFrameVswr2, K::kBlackFrame, "", 274, 107, 542, 79},
    ControlTemplate{kIdFrameVswr3, K::kBlackFrame, "", 274, 201, 542, 79},
    ControlTemplate{kIdZoCalibration, K::kButton, "Zo Calebration", 6, 395, 52, 16, true},
    ControlTemplate{kIdFrameS21, K::kBlackFrame, "", 274, 279, 542, 131},
    ControlTemplate{kIdFrameMeter, K::kBlackFrame, "", 58, 259, 216, 176},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 304, 189, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 304, 96, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 304, 3, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 807, 4, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 808, 96, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "MHz", 808, 189, 14, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "USB", 7, 3, 14, 8},
    ControlTemplate{kIdFrameLamp, K::kBlackFrame, "", 23, 2, 12, 11},
    ControlTemplate{kIdStatic, K::kLogo, "", 738, 414, 78, 15},
    ControlTemplate{kIdSaveView, K::kButton, "Save View", 7, 273, 50, 16},
    ControlTemplate{kIdVswr1Color, K::kButton, "VSWR1 Color", 414, 2, 61, 12},
    ControlTemplate{kIdVswr2Color, K::kButton, "VSWR2 Color", 413, 94, 60, 12},
    ControlTemplate{kIdVswr3Color, K::kButton, "VSWR3 Color", 413, 187, 59, 12},
    ControlTemplate{kIdS21Color, K::kButton, "S21 Color", 475, 187, 57, 12},
    ControlTemplate{kIdBackgroundColor, K::kButton, "Background Color", 613, 415, 60, 14},
    ControlTemplate{kIdCoordinateColor, K::kButton, "Coordinate Color", 676, 415, 59, 14},
    ControlTemplate{kIdCableLength, K::kEdit, "", 233, 2, 21, 12},
    ControlTemplate{kIdStatic, K::kTextCentred, "m", 255, 3, 8, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "Cable(50ohm) Length:", 162, 3, 72, 8},
    ControlTemplate{kIdStatic, K::kTextLeft, "Smith Frequency:", 48, 3, 57, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "Enable VSWR1", 333, 4, 48, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "Enable VSWR2", 334, 96, 48, 8},
    ControlTemplate{kIdStatic, K::kTextCentred, "Enable VSWR3 and S21", 334, 189, 76, 8},
    ControlTemplate{kIdPinCalibration, K::kButton, "Pin Calebration", 6, 414, 52, 16, true},
    ControlTemplate{kIdStatic, K::kTextCentred, "Dangerous OP", 6, 382, 47, 8, true},
};

}  // namespace

std::span<const ControlTemplate> MainDialogControls() {
    return kControls;
}

}  // namespace korvel
