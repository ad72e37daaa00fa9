// The chart's held reference curve and owner-drawn marks: both invisible
// until set, the held curve dimmed under the live one, the marks where asked.
#include <gtest/gtest.h>

#include <QImage>
#include <limits>
#include <vector>

#include "chart_test_support.h"
#include "dis_line.h"
#include "draw_context.h"

namespace korvel {
namespace {

using testing::Fill;
using testing::Is;
using testing::Render;
using testing::Samples;

constexpr ColorRef kBack = RGB(0, 50, 0);
constexpr ColorRef kYellow = RGB(255, 255, 0);
constexpr ColorRef kDimmedYellow = RGB(127, 152, 0);

// A 490-pixel chart: plot (20, 20) - (420, 108), two pixels per sample.
constexpr int kLeft = 20;
constexpr int kRight = 420;
constexpr int kTop = 20;
constexpr int kBottom = 108;

void Configure(CDisLine& chart, const Samples& samples) {
    testing::ConfigureVswr(chart, samples);
    chart.resize(490, 128);
}

int CountInColumn(const QImage& image, int x, int fromY, int toY, ColorRef color) {
    int count = 0;
    for (int y = fromY; y <= toY; ++y) {
        count += Is(image, x, y, color) ? 1 : 0;
    }
    return count;
}

TEST(ChartHeldCurve, DimmedColourIsHalfwayToTheBackground) {
    EXPECT_EQ(DimmedColor(kYellow, kBack), kDimmedYellow);
    EXPECT_EQ(DimmedColor(RGB(0, 0, 0), RGB(255, 255, 255)), RGB(127, 127, 127));
    EXPECT_EQ(DimmedColor(RGB(10, 20, 30), RGB(10, 20, 30)), RGB(10, 20, 30));
}

TEST(ChartHeldCurve, DrawnDimmedWhereTheLiveCurveIsNot) {
    Samples live;
    Fill(live, {}, 1.5);
    CDisLine chart;
    Configure(chart, live);
    const QImage without = Render(chart);
    EXPECT_EQ(CountInColumn(without, 101, kTop, kBottom, kDimmedYellow), 0);

    chart.m_heldSamples.assign(200, 3.0);
    chart.update();
    const QImage with = Render(chart);
    EXPECT_NE(with, without);  // a new held curve is drawn, not the held picture shown
    EXPECT_GE(CountInColumn(with, 101, kTop, kBottom, kDimmedYellow), 1);
    EXPECT_GE(CountInColumn(with, 101, kTop, kBottom, kYellow), 1);

    chart.m_heldSamples.clear();
    chart.update();
    EXPECT_EQ(Render(chart), without);
}

TEST(ChartHeldCurve, LiesUnderTheLiveCurve) {
    Samples live;
    Fill(live, {}, 2.0);
    CDisLine chart;
    Configure(chart, live);
    chart.m_heldSamples.assign(200, 2.0);
    const QImage image = Render(chart);
    for (int x = kLeft + 10; x < kRight - 10; x += 7) {
        EXPECT_EQ(CountInColumn(image, x, kTop, kBottom, kDimmedYellow), 0) << "column " << x;
        EXPECT_GE(CountInColumn(image, x, kTop, kBottom, kYellow), 1) << "column " << x;
    }
}

TEST(ChartHeldCurve, CountsInTheValueAxisAndSkipsGaps) {
    Samples live;
    Fill(live, {}, 1.2);
    CDisLine chart;
    Configure(chart, live);
    std::vector<double> held(200, 1.2);
    held[100] = 40.0;  // far above the live curve: the axis must reach it
    held[150] = std::numeric_limits<double>::quiet_NaN();
    chart.m_heldSamples = held;
    TextRecorder texts;
    const QImage image = Render(chart);
    // The top value label shows an axis that includes the held peak.
    bool reaches = false;
    for (const TextDraw& draw : texts.Draws()) {
        if (draw.at == QPoint(kLeft, kTop) && draw.text.trimmed().toDouble() >= 40.0) {
            reaches = true;
        }
    }
    EXPECT_TRUE(reaches);
    // Nothing dimmed is drawn left of the plot or right of it.
    for (int y = 0; y < image.height(); ++y) {
        EXPECT_FALSE(Is(image, kLeft - 1, y, kDimmedYellow));
        EXPECT_FALSE(Is(image, kRight + 1, y, kDimmedYellow));
    }
}

TEST(ChartOverlayMarks, DashedLinesAtTheGivenFrequenciesAndTheText) {
    Samples live;
    Fill(live, {3.0, 2.5, 1.1}, 1.8);
    CDisLine chart;
    Configure(chart, live);
    const QImage plain = Render(chart);

    std::vector<double> seen;
    uint32_t seenStart = 0;
    uint32_t seenStep = 0;
    chart.m_overlayFor = [&](std::span<const double> samples, uint32_t startHz, uint32_t stepHz) {
        seen.assign(samples.begin(), samples.end());
        seenStart = startHz;
        seenStep = stepHz;
        ChartOverlay overlay;
        // Sample 50.5 lies at x = 20 + 101; the second line is off the plot.
        overlay.linesAtHz = {6100000 + 50.5 * 9000, 6100000 + 900.0 * 9000};
        overlay.text = QStringLiteral("2:1 test");
        return overlay;
    };
    chart.update();
    EXPECT_EQ(Render(chart), plain);  // set but not shown: nothing changes
    EXPECT_TRUE(seen.empty());

    chart.m_overlayShown = 1;
    chart.update();
    TextRecorder texts;
    const QImage marked = Render(chart);
    ASSERT_EQ(seen.size(), 200u);
    EXPECT_EQ(seen[2], 1.1);
    EXPECT_EQ(seenStart, 6100000u);
    EXPECT_EQ(seenStep, 9000u);

    int changed = 0;
    for (int y = kTop; y <= kBottom; ++y) {
        for (int x = 0; x < marked.width(); ++x) {
            if (marked.pixel(x, y) != plain.pixel(x, y)) {
                EXPECT_EQ(x, kLeft + 101) << "at y " << y;
                EXPECT_TRUE(Is(marked, x, y, kYellow));
                ++changed;
            }
        }
    }
    EXPECT_GE(changed, 20);
    // Dashed: the line has gaps of background between the marker's top and the bottom.
    EXPECT_GE(CountInColumn(marked, kLeft + 101, kTop + 21, kBottom - 1, kBack), 10);
    const TextDraw* text = texts.Find("2:1 test");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->at, QPoint(kRight, 3));
    EXPECT_EQ(text->align, kTaRight | kTaTop);

    chart.m_overlayShown = 0;
    chart.update();
    EXPECT_EQ(Render(chart), plain);
}

}  // namespace
}  // namespace korvel
