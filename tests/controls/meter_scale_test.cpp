#include "meter_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "draw_context.h"

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(MeterScaleTest, DialFollowsTheLargerSide) {
    const DialGeometry dial = DialFromClient(GdiRect{0, 0, 324, 286});
    EXPECT_EQ(dial.radius, 138);
    EXPECT_EQ(dial.center, QPoint(162, 156));

    const DialGeometry wide = DialFromClient(GdiRect{0, 0, 600, 100});
    EXPECT_EQ(wide.radius, 257);
    EXPECT_EQ(wide.center, QPoint(300, 75));
}

TEST(MeterScaleTest, RadiiOfTheDialogsDial) {
    const DialRadii r = RadiiFromRadius(138);
    EXPECT_EQ(r.rim, 7);
    EXPECT_EQ(r.zoneOuter, 131);
    EXPECT_EQ(r.tickOuter, 124);
    EXPECT_EQ(r.majorInner, 110);
    EXPECT_EQ(r.minorInner, 117);
    EXPECT_EQ(r.labelHeight, 23);
    EXPECT_EQ(RadiiFromRadius(17).rim, 0);
}

TEST(MeterScaleTest, SweepSettingsGiveNinetyOneTicksEndingShortOfTheScaleEnd) {
    EXPECT_EQ(TickStep(210, 330, 9, 10), 266);
    const TickWalk walk = WalkTicks(QPoint(162, 156), RadiiFromRadius(138), 210, 330, 9, 10);
    ASSERT_EQ(walk.count, 91);
    EXPECT_DOUBLE_EQ(walk.ticks[0].angleDeg, 210.0);
    EXPECT_NEAR(walk.ticks[90].angleDeg, -29.4, 1e-9);
    for (int n = 0; n < walk.count; ++n) {
        EXPECT_EQ(walk.ticks[n].major, n % 10 == 0) << n;
    }
    // Outer ends at Rb = 124, rounded: 210 degrees is (162 - 107.39, 156 + 62).
    EXPECT_EQ(walk.ticks[0].outer, QPoint(55, 218));
    EXPECT_EQ(walk.ticks[0].inner, QPoint(67, 211));
    // Minor ticks end at Rm = 117.
    EXPECT_EQ(walk.ticks[1].inner, RoundedPolar(QPoint(162, 156), 117, 207.34));
}

TEST(MeterScaleTest, DefaultSettingsGiveFiftyOneTicks) {
    EXPECT_EQ(TickStep(225, 315, 10, 5), 540);
    const TickWalk walk = WalkTicks(QPoint(0, 0), RadiiFromRadius(100), 225, 315, 10, 5);
    EXPECT_EQ(walk.count, 51);
    EXPECT_DOUBLE_EQ(walk.ticks[50].angleDeg, -45.0);
}

TEST(MeterScaleTest, WalkNeverPassesTheBoundaryCapacity) {
    const DialRadii radii = RadiiFromRadius(100);
    struct Case {
        int32_t a0, a1, majors, minors;
    };
    for (const Case& c :
         {Case{210, 330, 1000, 1000}, Case{210, 330, 0, 0}, Case{210, 330, -5, -7},
          Case{720, 0, 100, 10},
          Case{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 1, 1},
          Case{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 1, 1}}) {
        const TickWalk walk = WalkTicks(QPoint(0, 0), radii, c.a0, c.a1, c.majors, c.minors);
        EXPECT_LE(walk.count, kMaxTickPositions) << c.a0 << " " << c.majors;
    }
    // A scale that runs backwards has no ticks.
    EXPECT_EQ(WalkTicks(QPoint(0, 0), radii, 0, 720, 9, 10).count, 0);
}

TEST(MeterScaleTest, NeedleAngleStaysOnTheScale) {
    // Dialog settings: -75 .. 15 dBm over 210 .. -30 degrees.
    EXPECT_DOUBLE_EQ(NeedleAngle(-30.0, -75.0, 15.0, 210, 330), 90.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(-75.0, -75.0, 15.0, 210, 330), 210.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(-80.0, -75.0, 15.0, 210, 330), 210.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(15.0, -75.0, 15.0, 210, 330), -30.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(50.0, -75.0, 15.0, 210, 330), -30.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(kNaN, -75.0, 15.0, 210, 330), 210.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(kInf, -75.0, 15.0, 210, 330), -30.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(-kInf, -75.0, 15.0, 210, 330), 210.0);
    // Equal ends: start up to that value, end above it.
    EXPECT_DOUBLE_EQ(NeedleAngle(5.0, 5.0, 5.0, 210, 330), 210.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(4.0, 5.0, 5.0, 210, 330), 210.0);
    EXPECT_DOUBLE_EQ(NeedleAngle(6.0, 5.0, 5.0, 210, 330), -30.0);
}

TEST(MeterScaleTest, LabelAlignmentChangesJustAboveEachBoundary) {
    const QPoint p(100, 100);
    const int h = 23;
    struct Case {
        double phi;
        int align;
        QPoint at;
    };
    for (const Case& c : {
             Case{190.01, kTaLeft | kTaBottom, QPoint(100, 111)},
             Case{190.0, kTaLeft | kTaBaseline, QPoint(100, 107)},
             Case{170.0, kTaLeft | kTaBaseline, QPoint(100, 111)},
             Case{135.0, kTaLeft | kTaTop, QPoint(95, 98)},
             Case{100.0, kTaCenter | kTaTop, QPoint(100, 100)},
             Case{80.0, kTaRight | kTaBottom, QPoint(107, 123)},
             Case{45.0, kTaRight | kTaBaseline, QPoint(100, 111)},
             Case{10.0, kTaRight | kTaBaseline, QPoint(100, 107)},
             Case{-10.0, kTaRight | kTaBottom, QPoint(100, 111)},
         }) {
        const LabelPlacement place = PlaceLabel(c.phi, p, h);
        EXPECT_EQ(place.align, c.align) << c.phi;
        EXPECT_EQ(place.at, c.at) << c.phi;
    }
}

TEST(MeterScaleTest, HubShadesFromBlackRimToWhiteCentre) {
    EXPECT_EQ(HubGrey(0, 13), 255);
    EXPECT_EQ(HubGrey(9, 13), 19);
    EXPECT_LT(HubGrey(9, 13), HubGrey(5, 13));
    EXPECT_EQ(HubGrey(0, 0), 255);
}

}  // namespace
}  // namespace korvel
