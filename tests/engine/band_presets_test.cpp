#include "analysis/band_presets.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel {
namespace {

TEST(BandPresets, ElevenBandsInOrderEachWidenedByFivePercentOutwardToWholeKHz) {
    const auto presets = BandPresets();
    ASSERT_EQ(presets.size(), 11u);
    EXPECT_EQ(presets.front().name, "160 m");
    EXPECT_EQ(presets.back().name, "6 m");
    uint32_t previousHigh = 0;
    for (const BandPreset& p : presets) {
        SCOPED_TRACE(std::string(p.name));
        EXPECT_GT(p.bandLowKHz, previousHigh);
        previousHigh = p.bandHighKHz;
        // Margins in hundredths of a kHz: 5 % of the width, rounded up.
        const uint64_t fivePercent = uint64_t{p.bandHighKHz - p.bandLowKHz} * 5;
        const uint64_t below = uint64_t{p.bandLowKHz - p.startKHz} * 100;
        EXPECT_EQ(uint64_t{p.stopKHz - p.bandHighKHz} * 100, below);
        EXPECT_GE(below, fivePercent);
        EXPECT_LT(below, fivePercent + 100);
    }
    EXPECT_EQ(presets[4].startKHz, 10097u);  // 30 m: 2.5 kHz a side, rounded up
}

}  // namespace
}  // namespace korvel
