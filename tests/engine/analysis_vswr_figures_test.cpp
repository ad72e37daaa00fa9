#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/vswr_figures.h"

namespace korvel {
namespace {

// Reference values worked out separately from |G| = (S-1)/(S+1),
// RL = -20 log10 |G|, ML = -10 log10 (1 - |G|^2).
TEST(VswrFigures, KnownReadings) {
    struct Case {
        double vswr, gamma, rl, ml;
    };
    const Case cases[] = {
        {1.5, 0.2, 13.979400086720375, 0.17728766960431602},
        {2.0, 1.0 / 3.0, 9.54242509439325, 0.5115252244738131},
        {3.0, 0.5, 6.020599913279624, 1.2493873660829993},
        {10.0, 0.8181818181818182, 1.743003514378003, 4.807253789884879},
        {1.01, 0.004975124378109458, 46.063921148409776, 0.00010749730372781016},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vswr);
        const auto f = FiguresFromVswr(c.vswr);
        ASSERT_TRUE(f);
        EXPECT_NEAR(f->gammaMag, c.gamma, 1e-12);
        EXPECT_NEAR(f->returnLossDb, c.rl, 1e-9);
        EXPECT_NEAR(f->mismatchLossDb, c.ml, 1e-9);
    }
}

TEST(VswrFigures, PerfectMatchAndHugeReadingsStayDefined) {
    const auto match = FiguresFromVswr(1.0);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->gammaMag, 0.0);
    EXPECT_EQ(match->returnLossDb, std::numeric_limits<double>::infinity());
    EXPECT_NEAR(match->mismatchLossDb, 0.0, 1e-15);

    const auto huge = FiguresFromVswr(1e300);
    ASSERT_TRUE(huge);
    EXPECT_NEAR(huge->gammaMag, 1.0, 1e-12);
    EXPECT_TRUE(std::isfinite(huge->returnLossDb));
    EXPECT_GE(huge->returnLossDb, 0.0);
    // 10 log10(S/4) for a large S: finite, not the infinity 1-|G|^2 = 0 would give.
    EXPECT_NEAR(huge->mismatchLossDb, 3000.0 - 10.0 * std::log10(4.0), 1e-6);
}

TEST(VswrFigures, OnlyReadingsAtOrAboveOneAreMeasurements) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {0.0, -0.0, 0.999, -1.0, std::nan(""), inf, -inf}) {
        SCOPED_TRACE(v);
        EXPECT_FALSE(IsMeasuredVswr(v));
        EXPECT_FALSE(FiguresFromVswr(v));
    }
    EXPECT_TRUE(IsMeasuredVswr(1.0));
    EXPECT_TRUE(IsMeasuredVswr(10.0));
}

}  // namespace
}  // namespace korvel
