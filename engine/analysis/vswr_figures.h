// Figures that follow from a VSWR reading by the usual transmission-line
// formulas: reflection magnitude, return loss and mismatch loss.
#pragma once

#include <optional>

namespace korvel {

struct MismatchFigures {
    double gammaMag;        // (VSWR-1)/(VSWR+1)
    double returnLossDb;    // -20*log10|G|; +infinity at VSWR 1 (writers show it empty / null)
    double mismatchLossDb;  // -10*log10(1-|G|^2)
};

// True when a stored sweep value is a measurement (the state's arrays hold 0
// until measured; a VSWR is never below 1 and always finite).
bool IsMeasuredVswr(double vswr);

// nullopt for anything IsMeasuredVswr rejects: NaN, infinities, values below 1, 0.
std::optional<MismatchFigures> FiguresFromVswr(double vswr);

}  // namespace korvel
