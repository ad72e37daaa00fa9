// The fixed colour tables of the palette depths and the mapping of a pixel to
// its nearest entry (smallest squared distance in RGB; the lower index wins a
// tie), as a screen read out at 1, 4 or 8 bits per pixel gives it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include <QRgb>

namespace korvel {

// Entries for 1, 4 and 8 bits; empty for the direct-colour depths.
std::span<const QRgb> BmpPalette(int bits);

// Index of the palette entry nearest to `pixel` (alpha ignored), for 1, 4 or
// 8 bits; 0 for any other depth.
uint8_t BmpNearestIndex(QRgb pixel, int bits);

}  // namespace korvel
