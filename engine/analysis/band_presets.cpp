#include "band_presets.h"

#include <array>

namespace korvel {

namespace {

constexpr uint32_t kMarginPercent = 5;

constexpr BandPreset Widened(std::string_view name, uint32_t lowKHz, uint32_t highKHz) {
    const uint32_t marginKHz = ((highKHz - lowKHz) * kMarginPercent + 99) / 100;
    return {name, lowKHz, highKHz, lowKHz - marginKHz, highKHz + marginKHz};
}

constexpr std::array kBandPresets = {
    Widened("160 m", 1800, 2000),  Widened("80 m", 3500, 4000),   Widened("60 m", 5250, 5450),
    Widened("40 m", 7000, 7300),   Widened("30 m", 10100, 10150), Widened("20 m", 14000, 14350),
    Widened("17 m", 18068, 18168), Widened("15 m", 21000, 21450), Widened("12 m", 24890, 24990),
    Widened("10 m", 28000, 29700), Widened("6 m", 50000, 54000),
};

}  // namespace

std::span<const BandPreset> BandPresets() {
    return kBandPresets;
}

}  // namespace korvel
