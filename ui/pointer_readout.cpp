#include "pointer_readout.h"

#include <cmath>

#include "core/sweep_plan.h"
#include "text_rules.h"

namespace korvel {

double PointerT(int x) {
    return (static_cast<double>(x) - 431.0) * static_cast<double>(kSweepPoints) / 722.0;
}

int PointerIndex(double t) {
    const double shifted = t + 0.5;
    if (!(shifted >= 0.0)) {
        return 0;  // below zero, or NaN
    }
    if (shifted >= 199.0) {
        return 199;
    }
    return static_cast<int>(shifted);
}

float PointerFrequencyHz(uint32_t startHz, uint32_t stepHz, double t) {
    return static_cast<float>(static_cast<double>(startHz) + static_cast<double>(stepHz) * t);
}

std::string ReadoutText(ReadoutKind kind, double frequencyMHz, double value) {
    std::string text = "f=" + FormatFixed(frequencyMHz, 5, 3) + "MHz  ";
    if (kind == ReadoutKind::kVswr) {
        return text + "VSWR=" + FormatFixed(value, 3, 1);
    }
    return text + "S21=" + FormatFixed(value, 3, 1) + "dB";
}

}  // namespace korvel
