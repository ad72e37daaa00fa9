// The pointer read-out over the charts: fixed pixel bands of the window's
// layout, the position t along the plot, the sample index and the text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace korvel {

enum class ReadoutKind { kVswr, kS21 };

struct PointerBand {
    int xMin, xMax, yMin, yMax;  // inclusive, client pixels of the window
    ReadoutKind kind;
    bool Contains(int x, int y) const { return x >= xMin && x <= xMax && y >= yMin && y <= yMax; }
};

// VSWR1, VSWR2, VSWR3, S21, in that order. VSWR3 and S21 overlap at y 432-434.
inline constexpr std::array<PointerBand, 4> kPointerBands = {{
    {430, 1152, 44, 130, ReadoutKind::kVswr},
    {430, 1152, 195, 281, ReadoutKind::kVswr},
    {430, 1152, 348, 434, ReadoutKind::kVswr},
    {430, 1152, 432, 640, ReadoutKind::kS21},
}};

inline constexpr int kPointerXMin = 430;
inline constexpr int kPointerXMax = 1152;

inline bool PointerXInside(int x) {
    return x >= kPointerXMin && x <= kPointerXMax;
}

// t = (x - 431) * 200 / 722 as a real number.
double PointerT(int x);

// trunc(t + 0.5) clamped to 0..199; defined for every t (NaN gives 0).
int PointerIndex(double t);

// start + step * t, both as unsigned hertz, held in single precision.
float PointerFrequencyHz(uint32_t startHz, uint32_t stepHz, double t);

// "f=%5.3fMHz  VSWR=%3.1f" or "f=%5.3fMHz  S21=%3.1fdB".
std::string ReadoutText(ReadoutKind kind, double frequencyMHz, double value);

}  // namespace korvel
