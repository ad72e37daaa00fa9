#include "analysis/band_presets.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace korvel {
namespace {

TEST(BandPresets, TheElevenBandsFrom160To6MetresInOrder) {
    const auto presets = BandPresets();
    ASSERT_EQ(presets.size(), 11u);
    EXPECT_EQ(presets.front().name, "160 m");
    EXPECT_EQ(presets.back().name, "6 m");
    std::set<std::string> names;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        names.emplace(presets[i].name);
        if (i > 0) {
            EXPECT_GT(presets[i].bandLowKHz, presets[i - 1].bandHighKHz) << presets[i].name;
        }
    }
    EXPECT_EQ(names.size(), presets.size());
    EXPECT_EQ(presets[4].name, "30 m");
    EXPECT_EQ(presets[4].bandLowKHz, 10100u);
    EXPECT_EQ(presets[4].bandHighKHz, 10150u);
}

TEST(BandPresets, EachSideIsWidenedByFivePercentRoundedOutwardToWholeKHz) {
    for (const BandPreset& p : BandPresets()) {
        SCOPED_TRACE(std::string(p.name));
        ASSERT_LT(p.bandLowKHz, p.bandHighKHz);
        // Margins in hundredths of a kHz, compared with 5 % of the width.
        const uint64_t fivePercent = uint64_t{p.bandHighKHz - p.bandLowKHz} * 5;
        const uint64_t below = uint64_t{p.bandLowKHz - p.startKHz} * 100;
        const uint64_t above = uint64_t{p.stopKHz - p.bandHighKHz} * 100;
        EXPECT_GE(below, fivePercent);
        EXPECT_LT(below, fivePercent + 100);
        EXPECT_EQ(below, above);
        EXPECT_LT(p.startKHz, p.bandLowKHz);
        EXPECT_GT(p.stopKHz, p.bandHighKHz);
    }
}

TEST(BandPresets, KnownRanges) {
    const auto presets = BandPresets();
    EXPECT_EQ(presets[0].startKHz, 1790u);  // 160 m: 1.8-2.0, 10 kHz each side
    EXPECT_EQ(presets[0].stopKHz, 2010u);
    EXPECT_EQ(presets[4].startKHz, 10097u);  // 30 m: 2.5 kHz rounded up to 3
    EXPECT_EQ(presets[4].stopKHz, 10153u);
    EXPECT_EQ(presets[5].startKHz, 13982u);  // 20 m: 17.5 kHz rounded up to 18
    EXPECT_EQ(presets[5].stopKHz, 14368u);
    EXPECT_EQ(presets[10].startKHz, 49800u);  // 6 m: 200 kHz
    EXPECT_EQ(presets[10].stopKHz, 54200u);
}

}  // namespace
}  // namespace korvel
