#include "meter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <limits>
#include <numbers>

#include "chart_test_support.h"
#include "draw_context.h"
#include "power_meter.h"
#include "text_recorder.h"

namespace korvel {
namespace {

using testing::Is;
using testing::Render;

constexpr ColorRef kNeedle = RGB(200, 200, 200);
const QPoint kCenter(162, 156);  // of a 324 x 286 meter, R = 138

// The meter as the main dialog configures it.
void ConfigureAsDialog(CMeter& meter) {
    meter.resize(324, 286);
    ConfigureAsPowerMeter(meter);
}

QPoint Polar(double radius, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    return QPoint(static_cast<int>(std::lround(kCenter.x() + radius * std::cos(a))),
                  static_cast<int>(std::lround(kCenter.y() - radius * std::sin(a))));
}

bool IsNeedleAt(const QImage& image, double radius, double degrees) {
    const QPoint p = Polar(radius, degrees);
    return Is(image, p.x(), p.y(), kNeedle);
}

TEST(MeterTest, DialogScaleLabelsAndTicks) {
    CMeter meter;
    ConfigureAsDialog(meter);
    TextRecorder texts;
    Render(meter);
    EXPECT_TRUE(meter.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(meter.BoundaryCount(), 91);

    const char* expected[] = {"-75", "-65", "-55", "-45", "-35", "-25", "-15", "-5", "5", "15"};
    std::vector<QString> labels;
    for (const TextDraw& d : texts.Draws()) {
        labels.push_back(d.text);
    }
    ASSERT_GE(labels.size(), 12u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(labels[i], expected[i]) << i;
    }
    // Anchors are the inner ends of ticks 0, 40 and 90 (at 210, 103.6 and
    // -29.4 degrees, radius 110), moved by the alignment table with h = 23.
    const TextDraw* first = texts.Find("-75");
    EXPECT_EQ(first->at, QPoint(67, 211 + 11));
    EXPECT_EQ(first->align, kTaLeft | kTaBottom);
    const TextDraw* top = texts.Find("-35");
    EXPECT_EQ(top->at, QPoint(136 - 5, 49 - 2));
    EXPECT_EQ(top->align, kTaLeft | kTaTop);
    const TextDraw* last = texts.Find("15");
    EXPECT_EQ(last->at, QPoint(258, 210 + 11));
    EXPECT_EQ(last->align, kTaRight | kTaBottom);
    EXPECT_EQ(first->cellHeight, 23);
    EXPECT_FALSE(first->opaque);

    // Read-out: units over the value, centred on the value box.
    const TextDraw* units = texts.Find("dBm");
    ASSERT_NE(units, nullptr);
    // Value box (93, 183) - (231, 225): centre (162, 204); value R/5 lower.
    EXPECT_EQ(units->at, QPoint(162, 204));
    EXPECT_EQ(units->align, kTaCenter | kTaTop);
    EXPECT_TRUE(units->opaque);
    ASSERT_NE(texts.Find("0.0"), nullptr);
    EXPECT_EQ(texts.Find("0.0")->at, QPoint(162, 204 + 27));
}

TEST(MeterTest, NeedleBelowTheRangeRestsAtTheScaleStart) {
    CMeter meter;
    ConfigureAsDialog(meter);
    meter.m_value = -80.0;
    TextRecorder texts;
    const QImage image = Render(meter);
    EXPECT_TRUE(IsNeedleAt(image, 60, 210));
    EXPECT_FALSE(IsNeedleAt(image, 60, 90));
    EXPECT_NE(texts.Find("-80.0"), nullptr) << "the read-out shows the value itself";
}

TEST(MeterTest, NeedleStandsStraightUpAtMinusThirty) {
    CMeter meter;
    ConfigureAsDialog(meter);
    meter.m_value = -30.0;
    const QImage image = Render(meter);
    for (int r : {40, 70, 100, 118}) {
        EXPECT_TRUE(IsNeedleAt(image, r, 90)) << r;
    }
    EXPECT_FALSE(IsNeedleAt(image, 60, 210));
    // The fill stops at the tick boundary (Rb = 124): no needle colour in the
    // column above it, although the kite's tip reaches 0.95 R = 131.
    for (int y = kCenter.y() - 131; y < kCenter.y() - 125; ++y) {
        for (int x = kCenter.x() - 3; x <= kCenter.x() + 3; ++x) {
            EXPECT_FALSE(Is(image, x, y, kNeedle)) << x << "," << y;
        }
    }
    // Hub: white at the centre, dark at its rim (r = 9) over the needle.
    EXPECT_TRUE(Is(image, kCenter.x(), kCenter.y(), RGB(255, 255, 255)));
    EXPECT_LT(qRed(image.pixel(kCenter.x() - 9, kCenter.y())), 40);
}

TEST(MeterTest, NeedleAboveTheRangeRestsAtTheScaleEnd) {
    CMeter meter;
    ConfigureAsDialog(meter);
    meter.m_value = 40.0;
    const QImage image = Render(meter);
    EXPECT_TRUE(IsNeedleAt(image, 60, -30));
    EXPECT_FALSE(IsNeedleAt(image, 60, 90));
}

TEST(MeterTest, ZonesRimAndFace) {
    CMeter meter;
    ConfigureAsDialog(meter);
    const QImage image = Render(meter);
    // Zone 0 (yellow) sits at the start of the scale, between 0.8 R and Ro.
    EXPECT_TRUE(Is(image, Polar(120, 200).x(), Polar(120, 200).y(), RGB(255, 255, 0)));
    // Zone 2 (red) in the middle fifth, around 90 degrees.
    EXPECT_TRUE(Is(image, Polar(120, 92).x(), Polar(120, 92).y(), RGB(255, 0, 0)));
    // Rim: blue-tinted band along radius R on the scale side, none below.
    const QRgb rim = image.pixel(Polar(138, 90));
    EXPECT_EQ(qBlue(rim), 255);
    EXPECT_LT(qRed(rim), 255);
    const QRgb face = image.pixel(5, 5);
    EXPECT_EQ(image.pixel(Polar(138, 300)), face);
    EXPECT_EQ(face & 0xFFFFFF, meter.palette().color(QPalette::Button).rgb() & 0xFFFFFF);
}

TEST(MeterTest, DialPictureIsCachedUntilConfigurationOrResize) {
    CMeter meter;
    ConfigureAsDialog(meter);
    EXPECT_FALSE(meter.HasDialPicture());
    Render(meter);
    EXPECT_TRUE(meter.HasDialPicture());
    {
        // A steady paint draws only the read-out.
        TextRecorder texts;
        meter.m_value = -12.34;
        Render(meter);
        ASSERT_EQ(texts.Draws().size(), 2u);
        EXPECT_EQ(texts.Draws()[1].text, "-12.3");
    }
    meter.SetUnits("mW");
    EXPECT_FALSE(meter.HasDialPicture());
    {
        TextRecorder texts;
        Render(meter);
        EXPECT_EQ(texts.Draws().size(), 12u);
        EXPECT_NE(texts.Find("mW"), nullptr);
    }
    // A resize of a shown meter drops the picture at once.
    meter.show();
    Render(meter);
    ASSERT_TRUE(meter.HasDialPicture());
    meter.resize(200, 200);
    EXPECT_FALSE(meter.HasDialPicture());
    meter.hide();
    // A hidden meter learns its new size only at the paint: rebuilt there.
    meter.resize(250, 220);
    TextRecorder texts;
    const QImage image = Render(meter);
    EXPECT_EQ(image.size(), QSize(250, 220));
    EXPECT_EQ(texts.Draws().size(), 12u);
    EXPECT_TRUE(meter.HasDialPicture());
}

TEST(MeterTest, ScaleFormatsAndDecimals) {
    CMeter meter;
    meter.resize(324, 286);
    TextRecorder texts;
    Render(meter);
    // Defaults: 10 majors from -75 to 15.
    EXPECT_NE(texts.Find("-66"), nullptr);
    EXPECT_NE(texts.Find("RF Power"), nullptr);
    EXPECT_NE(texts.Find("50.0"), nullptr);
    EXPECT_EQ(meter.BoundaryCount(), 51);

    meter.SetScaleDecimals(2);
    meter.SetValueDecimals(3);
    texts.Clear();
    Render(meter);
    EXPECT_NE(texts.Find("-75.00"), nullptr);
    EXPECT_NE(texts.Find("50.000"), nullptr);
}

TEST(MeterTest, HostileSettingsPaintWithoutFault) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CMeter meter;
    meter.resize(324, 286);
    meter.SetMajorTicks(0);
    meter.SetMinorTicks(-5);
    meter.m_value = nan;
    Render(meter);
    EXPECT_LE(meter.BoundaryCount(), kMaxTickPositions);

    meter.SetMajorTicks(1000000);
    meter.SetMinorTicks(1000000);
    meter.SetRange(nan, inf);
    meter.SetScaleDecimals(-3);
    meter.SetValueDecimals(500);
    meter.m_value = -inf;
    Render(meter);
    EXPECT_EQ(meter.BoundaryCount(), kMaxTickPositions);

    meter.SetAngles(std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
    meter.SetRange(5.0, 5.0);
    meter.m_value = 6.0;
    Render(meter);
    EXPECT_LE(meter.BoundaryCount(), kMaxTickPositions);
}

TEST(MeterTest, SmallAndWideControlsPaintWithoutFault) {
    CMeter meter;
    ConfigureAsDialog(meter);
    for (QSize size : {QSize(1, 1), QSize(9, 9), QSize(20, 15), QSize(600, 100)}) {
        meter.resize(size);
        const QImage image = Render(meter);
        EXPECT_EQ(image.size(), size);
    }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Ten repaints a second with the same power reuse the composed picture; a new
// value or a new setting composes it again.
TEST(MeterCache, SameValueReusesThePictureAndChangesRecompose) {
    CMeter meter;
    meter.resize(324, 286);
    meter.SetRange(-75.0, 15.0);
    meter.m_value = -30.0;
    const QImage first = testing::Render(meter);
    {
        TextRecorder texts;
        EXPECT_EQ(testing::Render(meter), first);
        EXPECT_TRUE(texts.Draws().empty());
    }
    meter.m_value = -10.0;
    const QImage moved = testing::Render(meter);
    EXPECT_NE(moved, first);
    meter.SetNeedleColor(RGB(0, 0, 255));
    EXPECT_NE(testing::Render(meter), moved);
    meter.m_value = -30.0;
    meter.SetNeedleColor(RGB(255, 0, 0));
    EXPECT_EQ(testing::Render(meter), first);
}

}  // namespace
}  // namespace korvel
