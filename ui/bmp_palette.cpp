#include "bmp_palette.h"

#include <limits>

namespace korvel {
namespace {

constexpr std::array<QRgb, 2> kMonochrome = {qRgb(0, 0, 0), qRgb(255, 255, 255)};

// The standard 16 colours in the display's usual order: the dark half first.
constexpr std::array<QRgb, 16> kVga = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

constexpr int kCubeLevels = 6;  // 0, 51, ..., 255 per channel
constexpr int kCubeStep = 51;
constexpr int kCubeEntries = kCubeLevels * kCubeLevels * kCubeLevels;  // 216
constexpr int kGreyEntries = 256 - kCubeEntries;                       // 40

// Greys between the cube's own greys: round(i × 255 / 41) for i = 1 … 40.
constexpr int GreyLevel(int i) {
    return (i * 255 * 2 + 41) / (41 * 2);
}

constexpr std::array<QRgb, 256> MakeEightBitPalette() {
    std::array<QRgb, 256> table{};
    int k = 0;
    for (int r = 0; r < kCubeLevels; ++r) {
        for (int g = 0; g < kCubeLevels; ++g) {
            for (int b = 0; b < kCubeLevels; ++b) {
                table[k++] = qRgb(r * kCubeStep, g * kCubeStep, b * kCubeStep);
            }
        }
    }
    for (int i = 1; i <= kGreyEntries; ++i) {
        const int v = GreyLevel(i);
        table[k++] = qRgb(v, v, v);
    }
    return table;
}

constexpr std::array<QRgb, 256> kEightBit = MakeEightBitPalette();

int SquaredDistance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

uint8_t NearestBySearch(QRgb pixel, std::span<const QRgb> table) {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < static_cast<int>(table.size()); ++i) {
        const int d = SquaredDistance(pixel, table[static_cast<std::size_t>(i)]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

// The cube is separable, so its nearest entry rounds each channel on its own;
// the nearest grey is the one nearest to the channels' mean. The better of the
// two is the nearest entry of the whole table.
uint8_t NearestEightBit(QRgb pixel) {
    const int r = (qRed(pixel) + kCubeStep / 2) / kCubeStep;
    const int g = (qGreen(pixel) + kCubeStep / 2) / kCubeStep;
    const int b = (qBlue(pixel) + kCubeStep / 2) / kCubeStep;
    const int cube = (r * kCubeLevels + g) * kCubeLevels + b;

    const int sum = qRed(pixel) + qGreen(pixel) + qBlue(pixel);
    int grey = 1;  // index among the greys, 1 … 40
    int greyGap = std::numeric_limits<int>::max();
    for (int i = 1; i <= kGreyEntries; ++i) {
        const int gap = sum > 3 * GreyLevel(i) ? sum - 3 * GreyLevel(i) : 3 * GreyLevel(i) - sum;
        if (gap < greyGap) {
            greyGap = gap;
            grey = i;
        }
    }
    const int greyIndex = kCubeEntries + grey - 1;
    const int dCube = SquaredDistance(pixel, kEightBit[static_cast<std::size_t>(cube)]);
    const int dGrey = SquaredDistance(pixel, kEightBit[static_cast<std::size_t>(greyIndex)]);
    return static_cast<uint8_t>(dGrey < dCube ? greyIndex : cube);
}

}  // namespace

std::span<const QRgb> BmpPalette(int bits) {
    switch (bits) {
        case 1:
            return kMonochrome;
        case 4:
            return kVga;
        case 8:
            return kEightBit;
        default:
            return {};
    }
}

uint8_t BmpNearestIndex(QRgb pixel, int bits) {
    switch (bits) {
        case 1:
        case 4:
            return NearestBySearch(pixel, BmpPalette(bits));
        case 8:
            return NearestEightBit(pixel);
        default:
            return 0;
    }
}

}  // namespace korvel
