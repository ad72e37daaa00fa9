#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/vswr_figures.h"

namespace korvel {
namespace {

TEST(VswrFigures, KnownReadingsAndTheirLimits) {
    // |G|, RL and ML worked out separately from (S-1)/(S+1), -20 log10|G|, -10 log10(1-|G|^2).
    const double cases[][4] = {
        {1.5, 0.2, 13.979400086720375, 0.17728766960431602},
        {3.0, 0.5, 6.020599913279624, 1.2493873660829993},
        {10.0, 0.8181818181818182, 1.743003514378003, 4.807253789884879},
        {1.01, 0.004975124378109458, 46.063921148409776, 0.00010749730372781016}};
    for (const auto& c : cases) {
        const auto f = FiguresFromVswr(c[0]);
        ASSERT_TRUE(f) << c[0];
        EXPECT_NEAR(f->gammaMag, c[1], 1e-12) << c[0];
        EXPECT_NEAR(f->returnLossDb, c[2], 1e-9) << c[0];
        EXPECT_NEAR(f->mismatchLossDb, c[3], 1e-9) << c[0];
    }
    const auto match = FiguresFromVswr(1.0);  // no reflection: an infinite return loss
    EXPECT_EQ(match->returnLossDb, std::numeric_limits<double>::infinity());
    EXPECT_NEAR(match->mismatchLossDb, 0.0, 1e-15);
    // 10 log10(S/4) for a huge S: finite, not what 1-|G|^2 = 0 would give.
    EXPECT_NEAR(FiguresFromVswr(1e300)->mismatchLossDb, 3000.0 - 10.0 * std::log10(4.0), 1e-6);
}

TEST(VswrFigures, OnlyReadingsAtOrAboveOneAreMeasurements) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {0.0, 0.999, -1.0, std::nan(""), inf, -inf}) {
        EXPECT_FALSE(IsMeasuredVswr(v)) << v;
        EXPECT_FALSE(FiguresFromVswr(v)) << v;
    }
    EXPECT_TRUE(IsMeasuredVswr(1.0));
}

}  // namespace
}  // namespace korvel
