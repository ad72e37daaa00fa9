// Dialog-unit to pixel conversion for the main window's fixed layout: base
// units 6 x 13, so x pixels = x * 6 / 4 and y pixels = y * 13 / 8, rounded
// half away from zero as the window system's MulDiv does.
#pragma once

namespace korvel {

inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

// a * b / c rounded to nearest, halves away from zero (c > 0).
constexpr int MulDivRound(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

constexpr int DluToPixelsX(int dlu) {
    return MulDivRound(dlu, kBaseUnitX, 4);
}
constexpr int DluToPixelsY(int dlu) {
    return MulDivRound(dlu, kBaseUnitY, 8);
}

}  // namespace korvel
