#include "dis_line.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "chart_test_support.h"
#include "draw_context.h"
#include "text_recorder.h"

namespace korvel {
namespace {

using testing::CountInRow;
using testing::Fill;
using testing::Is;
using testing::Render;
using testing::Samples;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr ColorRef kGrid = RGB(0, 153, 0);
constexpr ColorRef kYellow = RGB(255, 255, 0);

// Plot area of an 813 x 128 chart: (20, 20) - (743, 108).
constexpr int kLeft = 20;
constexpr int kTop = 20;
constexpr int kRight = 743;
constexpr int kBottom = 108;
// A row of the plot that no text and no horizontal grid line reaches in the
// worked example.
constexpr int kClearRow = 45;

void ExpectTextAt(const TextRecorder& texts, const QString& text, int x, int y) {
    const TextDraw* draw = texts.Find(text);
    ASSERT_NE(draw, nullptr) << "missing text " << text.toStdString();
    EXPECT_EQ(draw->at, QPoint(x, y)) << text.toStdString();
}

TEST(DisLineTest, WorkedVswrExampleTextsAndGrid) {
    Samples samples;
    Fill(samples, {1.2, 2.0, 3.5}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    TextRecorder texts;
    const QImage image = Render(chart);

    EXPECT_TRUE(chart.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(chart.m_xPointCount, 200u);
    EXPECT_EQ(chart.m_plotRect, (GdiRect{kLeft, kTop, kRight, kBottom}));
    ExpectTextAt(texts, "Y: 1(SWR)/Div", (kLeft + kRight) / 2 + 30, kBottom);
    ExpectTextAt(texts, " 1", kLeft, kBottom - 15);
    ExpectTextAt(texts, " 4", kLeft, kTop);
    ExpectTextAt(texts, "X:100K(Hz)/Div", (kLeft + kRight) / 2 - 80, kBottom);
    ExpectTextAt(texts, "6.100MHz", kLeft, kBottom);
    ExpectTextAt(texts, "VSWR1", 55, 3);
    // The last sample carries its value: x(199) = 20 + 199 * 723 / 200,
    // y(1.5) = 108 - 0.6 * 88 / 3.
    ExpectTextAt(texts, "   1.5(SWR)", 739, 90);

    // 19 vertical lines: 0 to 1.8 MHz every 100 kHz, the last at the right edge.
    EXPECT_EQ(CountInRow(image, kClearRow, 0, image.width(), kGrid), 19);
    EXPECT_TRUE(Is(image, kRight, kClearRow, kGrid));
    // Horizontal lines at the three divisions, each leaving out its last pixel.
    for (int y : {108, 79, 50, 20}) {
        EXPECT_TRUE(Is(image, 100, y, kGrid)) << y;
        EXPECT_FALSE(Is(image, kRight + 1, y, kGrid)) << y;
    }
    // Legend swatch, 14 x 6 at (36, 8).
    EXPECT_TRUE(Is(image, 36, 8, kYellow));
    EXPECT_TRUE(Is(image, 49, 13, kYellow));
    EXPECT_FALSE(Is(image, 50, 13, kYellow));
    EXPECT_FALSE(Is(image, 49, 14, kYellow));
    // Background outside the plot.
    EXPECT_TRUE(Is(image, 5, 60, RGB(0, 50, 0)));
}

TEST(DisLineTest, DbChartWorkedExample) {
    Samples samples;
    Fill(samples, {-30.0, -1.0}, -10.0);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    chart.resize(813, 213);
    chart.m_curveName[0] = "S21";
    chart.m_curveMarkMin[0] = 0;
    chart.m_yUnit = "(dB)";
    chart.m_swrScale = 0;
    TextRecorder texts;
    Render(chart);

    ExpectTextAt(texts, "Y:10(dB)/Div", (kLeft + kRight) / 2 + 30, 193);
    ExpectTextAt(texts, "-40", kLeft, 193 - 15);
    ExpectTextAt(texts, "10", kLeft, kTop);
    EXPECT_NE(texts.Find(" -10.0(dB)"), nullptr);
    for (const TextDraw& d : texts.Draws()) {
        EXPECT_FALSE(d.text.endsWith("(MHz)")) << "no minimum marker on S21";
    }
}

TEST(DisLineTest, EmptyChartShowsThePlaceholderRange) {
    CDisLine chart;
    chart.resize(813, 128);
    TextRecorder texts;
    const QImage image = Render(chart);
    EXPECT_NE(texts.Find("Y:0.0001(SWR)/Div"), nullptr);
    ExpectTextAt(texts, "-10.1211", kLeft, kBottom - 15);
    ExpectTextAt(texts, "-10.1198", kLeft, kTop);
    EXPECT_EQ(texts.Find("Cur0"), nullptr) << "hidden curves have no legend";

    // A shown curve whose samples all lack a value looks the same.
    Samples samples;
    Fill(samples, {}, kNaN);
    testing::ConfigureVswr(chart, samples);
    texts.Clear();
    Render(chart);
    EXPECT_NE(texts.Find("Y:0.0001(SWR)/Div"), nullptr);
    EXPECT_NE(texts.Find("VSWR1"), nullptr);
    EXPECT_EQ(texts.Find("   nan(SWR)"), nullptr);
}

TEST(DisLineTest, MinimumMarkerOnlyFromSampleOneOn) {
    Samples samples;
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);

    Fill(samples, {2.0, 1.8, 1.5, 1.3, 1.2, 1.1, 1.4}, 2.5);
    {
        TextRecorder texts;
        const QImage image = Render(chart);
        // x(5) = trunc(20 + 5 * 723 / 200) = 38.
        ExpectTextAt(texts, "1.1(SWR)", 38 - 20, kTop + 3);
        ExpectTextAt(texts, "6.145(MHz)", 38 - 30, kTop - 10);
        // The marker line runs from the bottom up to top + 20 (excluded).
        EXPECT_TRUE(Is(image, 38, 62, kYellow));
        EXPECT_TRUE(Is(image, 38, kTop + 21, kYellow));
        EXPECT_FALSE(Is(image, 38, kTop + 19, kYellow));
    }

    Fill(samples, {1.0}, 2.0);
    {
        TextRecorder texts;
        Render(chart);
        for (const TextDraw& d : texts.Draws()) {
            EXPECT_FALSE(d.text.endsWith("(MHz)")) << d.text.toStdString();
        }
    }

    // The marker texts always say SWR and MHz, whatever the units.
    Fill(samples, {2.0, 1.0}, 2.0);
    chart.m_yUnit = "(dB)";
    {
        TextRecorder texts;
        Render(chart);
        EXPECT_NE(texts.Find("1.0(SWR)"), nullptr);
        EXPECT_NE(texts.Find("6.109(MHz)"), nullptr);
        EXPECT_NE(texts.Find("   2.0(dB)"), nullptr);
    }
}

TEST(DisLineTest, CursorAtIndexZeroIsInvisible) {
    Samples samples;
    Fill(samples, {1.2, 2.0, 3.5}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    chart.m_cursorText = "cursor read-out";

    chart.m_cursorIndex = 0;
    TextRecorder texts;
    QImage image = Render(chart);
    EXPECT_EQ(texts.Find("cursor read-out"), nullptr);
    // x(50) = trunc(20 + 50 * 3.615) = 200 lies between two grid lines.
    EXPECT_FALSE(Is(image, 200, kClearRow, kGrid));

    chart.m_cursorIndex = 50;
    texts.Clear();
    image = Render(chart);
    ExpectTextAt(texts, "cursor read-out", kRight - 150, kBottom);
    EXPECT_TRUE(Is(image, 200, kClearRow, kGrid));
    // The horizontal cursor line at y(1.5) = 90 crosses the whole plot.
    EXPECT_TRUE(Is(image, 400, 90, kGrid) || Is(image, 400, 90, kYellow));
    EXPECT_TRUE(Is(image, 600, 90, kGrid) || Is(image, 600, 90, kYellow));

    // An index beyond the samples draws the text but reads no sample.
    chart.m_cursorIndex = 5000;
    texts.Clear();
    Render(chart);
    EXPECT_NE(texts.Find("cursor read-out"), nullptr);
}

TEST(DisLineTest, FrequencySpanEdges) {
    Samples samples;
    Fill(samples, {}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);

    // A stop below its start reaches the chart as a wrapped step.
    chart.m_stepHz = static_cast<uint32_t>(-9000);
    {
        TextRecorder texts;
        const QImage image = Render(chart);
        EXPECT_NE(texts.Find("X:1G(Hz)/Div"), nullptr);
        EXPECT_EQ(CountInRow(image, kClearRow, 0, image.width(), kGrid), 6);
    }

    // A zero span has no vertical lines at all.
    chart.m_stepHz = 0;
    {
        TextRecorder texts;
        const QImage image = Render(chart);
        EXPECT_NE(texts.Find("X:1(Hz)/Div"), nullptr);
        EXPECT_EQ(CountInRow(image, kClearRow, 0, image.width(), kGrid), 0);
    }

    // A wide range: 1 to 60 MHz in 200 steps of 295 kHz, lines every 10 MHz.
    chart.m_startFreqHz = 1000000;
    chart.m_stepHz = 295000;
    {
        TextRecorder texts;
        const QImage image = Render(chart);
        EXPECT_NE(texts.Find("X:10M(Hz)/Div"), nullptr);
        EXPECT_NE(texts.Find("1.000MHz"), nullptr);
        EXPECT_EQ(CountInRow(image, kClearRow, 0, image.width(), kGrid), 7);
    }
}

TEST(DisLineTest, SamplesWithoutValueLeaveGapsAndChangeNoRange) {
    Samples plain;
    Fill(plain, {1.2, 2.0, 3.5}, 1.5);
    Samples holes;
    Fill(holes, {1.2, 2.0, kNaN, 3.5}, 1.5);
    holes[100].store(kNaN);
    holes[199].store(kNaN);

    CDisLine a;
    testing::ConfigureVswr(a, plain);
    TextRecorder texts;
    Render(a);
    const std::vector<TextDraw> plainTexts = texts.Draws();

    CDisLine b;
    testing::ConfigureVswr(b, holes);
    texts.Clear();
    const QImage image = Render(b);
    EXPECT_NE(texts.Find("Y: 1(SWR)/Div"), nullptr);
    EXPECT_NE(texts.Find(" 4"), nullptr);
    // No label for a last sample without a value.
    EXPECT_EQ(texts.Find("   1.5(SWR)"), nullptr);
    EXPECT_NE(plainTexts.size(), 0u);
    // The gap at sample 100: x(99) = 377, x(101) = 385; nothing yellow between.
    EXPECT_EQ(CountInRow(image, 90, 378, 385, kYellow), 0);
    EXPECT_GT(CountInRow(image, 90, 300, 370, kYellow), 0);
}

TEST(DisLineTest, TwoCurvesShareTheRangeAndTheLegend) {
    Samples first;
    Fill(first, {}, 1.5);
    Samples second;
    Fill(second, {}, 8.0);
    CDisLine chart;
    testing::ConfigureVswr(chart, first);
    chart.m_curveData[1] = second.data();
    chart.m_curveCount[1] = 200;
    chart.m_curveShown[1] = 1;
    chart.m_cursorIndex = 10;
    TextRecorder texts;
    Render(chart);
    ExpectTextAt(texts, "VSWR1", 55, 3);
    ExpectTextAt(texts, "Cur1", 165, 3);
    // 8.0 widens the range: the top label is above 8.
    const TextDraw* top = nullptr;
    for (const TextDraw& d : texts.Draws()) {
        if (d.at == QPoint(kLeft, kTop)) {
            top = &d;
        }
    }
    ASSERT_NE(top, nullptr);
    EXPECT_GT(top->text.toDouble(), 8.0);
}

TEST(DisLineTest, MissingSampleArrayDrawsOnlyTheLegend) {
    CDisLine chart;
    chart.resize(813, 128);
    chart.m_curveShown[2] = 1;
    chart.m_curveCount[2] = 200;  // no array behind it
    TextRecorder texts;
    Render(chart);
    ExpectTextAt(texts, "Cur2", 55, 3);
    EXPECT_NE(texts.Find("Y:0.0001(SWR)/Div"), nullptr);
}

TEST(DisLineTest, RepaintsAtTheNewSizeAfterAResize) {
    Samples samples;
    Fill(samples, {}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    Render(chart);

    chart.resize(400, 100);
    TextRecorder texts;
    const QImage image = Render(chart);
    EXPECT_EQ(image.size(), QSize(400, 100));
    EXPECT_EQ(chart.m_plotRect, (GdiRect{20, 20, 330, 80}));
    ExpectTextAt(texts, "6.100MHz", 20, 80);
    EXPECT_TRUE(Is(image, 5, 50, RGB(0, 50, 0)));
}

TEST(DisLineTest, TinyAndOddSizesPaintWithoutFault) {
    Samples samples;
    Fill(samples, {}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    chart.m_cursorIndex = 3;
    for (QSize size : {QSize(1, 1), QSize(50, 30), QSize(90, 40), QSize(2000, 5)}) {
        chart.resize(size);
        const QImage image = Render(chart);
        EXPECT_EQ(image.size(), size);
    }
}

// A chart that has drawn other values and come back draws what a chart that
// never saw them draws: nothing of an earlier picture stays behind.
TEST(DisLineTest, RedrawAfterAChangeMatchesAFreshChart) {
    const auto showFirst = [](CDisLine& chart, Samples& samples) {
        Fill(samples, {1.2, 2.0, 3.5}, 1.5);
        chart.m_cursorIndex = 42;
        chart.m_cursorText = "x";
    };
    Samples samples;
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    showFirst(chart, samples);
    Render(chart);
    Fill(samples, {9.0, 4.0}, 2.5);
    chart.m_cursorIndex = 120;
    chart.m_cursorText = "f=7.180MHz  VSWR=2.5";
    const QImage changed = Render(chart);
    showFirst(chart, samples);
    const QImage back = Render(chart);

    Samples sameSamples;
    CDisLine fresh;
    testing::ConfigureVswr(fresh, sameSamples);
    showFirst(fresh, sameSamples);
    const QImage expected = Render(fresh);
    EXPECT_NE(changed, expected);
    EXPECT_EQ(back, expected);
}

TEST(DisLineTest, ScreenShowsTheSamePictureAsARenderedImage) {
    Samples samples;
    Fill(samples, {1.2, 2.0, 3.5}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    chart.show();
    QCoreApplication::processEvents();
    const QImage onScreen = chart.screen()->grabWindow(chart.winId()).toImage();
    EXPECT_EQ(onScreen.convertToFormat(QImage::Format_RGB32), Render(chart));
}

// Mainly for the ThreadSanitizer build (scripts/sanitize.sh tsan): the worker
// writes samples while the window paints. Every picture must still be whole.
TEST(DisLineTest, PaintsWhileTheSamplesAreBeingWritten) {
    Samples samples;
    Fill(samples, {}, 1.5);
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        double v = 1.0;
        while (!stop.load(std::memory_order_relaxed)) {
            for (auto& s : samples) {
                s.store(v, std::memory_order_relaxed);
            }
            v = v > 9.0 ? 1.0 : v + 0.1;
        }
    });
    for (int i = 0; i < 10; ++i) {
        const QImage image = Render(chart);
        // Render() fills with magenta first: any left means a part went unpainted.
        int unpainted = 0;
        for (int y = 0; y < image.height(); ++y) {
            unpainted += CountInRow(image, y, 0, image.width(), RGB(255, 0, 255));
        }
        EXPECT_EQ(unpainted, 0) << i;
        EXPECT_TRUE(Is(image, 5, 60, RGB(0, 50, 0))) << i;
        EXPECT_TRUE(Is(image, 36, 8, kYellow)) << i;
    }
    stop.store(true, std::memory_order_relaxed);
    writer.join();
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// The window repaints the charts ten times a second; an unchanged chart reuses
// its picture, and any change of a sample or a field draws it anew.
TEST(DisLineCache, UnchangedInputsReuseThePictureAndEveryChangeRedraws) {
    testing::Samples samples;
    CDisLine chart;
    testing::ConfigureVswr(chart, samples);
    testing::Fill(samples, {2.0, 1.8, 1.5, 1.3, 1.2, 1.1, 1.4}, 2.5);
    const QImage first = testing::Render(chart);
    {
        TextRecorder texts;
        EXPECT_EQ(testing::Render(chart), first);
        EXPECT_TRUE(texts.Draws().empty());  // nothing was drawn again
    }
    samples[150].store(9.0, std::memory_order_relaxed);
    const QImage moved = testing::Render(chart);
    EXPECT_NE(moved, first);
    chart.m_gridColor = RGB(200, 0, 0);
    const QImage recoloured = testing::Render(chart);
    EXPECT_NE(recoloured, moved);
    chart.m_cursorIndex = 20;
    chart.m_cursorText = "f=6.190MHz  VSWR=2.5";
    TextRecorder texts;
    testing::Render(chart);
    EXPECT_NE(texts.Find("f=6.190MHz  VSWR=2.5"), nullptr);
}

// Each input of a drawing, changed alone and however slightly, draws the
// chart anew; equal inputs, gaps included, reuse the picture even when the
// samples come from another array.
TEST(DisLineCache, AnyOneInputChangedAloneRedraws) {
    using Change = std::function<void(CDisLine&, testing::Samples&, testing::Samples&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"one sample, by one step",
         [](CDisLine&, testing::Samples& a, testing::Samples&) {
             a[137].store(std::nextafter(1.5, 2.0), std::memory_order_relaxed);
         }},
        {"a sample of the second curve",
         [](CDisLine&, testing::Samples&, testing::Samples& b) {
             b[199].store(1.25, std::memory_order_relaxed);
         }},
        {"zero to negative zero",
         [](CDisLine&, testing::Samples& a, testing::Samples&) {
             a[3].store(-0.0, std::memory_order_relaxed);
         }},
        {"a gap filled", [](CDisLine&, testing::Samples& a,
                            testing::Samples&) { a[1].store(1.5, std::memory_order_relaxed); }},
        {"point count", [](CDisLine& c, auto&, auto&) { c.m_xPointCount = 300; }},
        {"start", [](CDisLine& c, auto&, auto&) { c.m_startFreqHz += 1; }},
        {"step", [](CDisLine& c, auto&, auto&) { c.m_stepHz += 1; }},
        {"background", [](CDisLine& c, auto&, auto&) { c.m_backColor = RGB(0, 51, 0); }},
        {"grid", [](CDisLine& c, auto&, auto&) { c.m_gridColor = RGB(0, 154, 0); }},
        {"x unit", [](CDisLine& c, auto&, auto&) { c.m_xUnit = "(kHz)"; }},
        {"y unit", [](CDisLine& c, auto&, auto&) { c.m_yUnit = "(dB)"; }},
        {"cursor text", [](CDisLine& c, auto&, auto&) { c.m_cursorText = "y"; }},
        {"cursor index", [](CDisLine& c, auto&, auto&) { c.m_cursorIndex = 43; }},
        {"scale", [](CDisLine& c, auto&, auto&) { c.m_swrScale = 0; }},
        {"curve colour", [](CDisLine& c, auto&, auto&) { c.m_curveColor[3] = RGB(1, 2, 3); }},
        {"curve count", [](CDisLine& c, auto&, auto&) { c.m_curveCount[3] = 199; }},
        {"curve shown", [](CDisLine& c, auto&, auto&) { c.m_curveShown[3] = 0; }},
        {"minimum marker", [](CDisLine& c, auto&, auto&) { c.m_curveMarkMin[3] = 1; }},
        {"curve name", [](CDisLine& c, auto&, auto&) { c.m_curveName[3] = "VSWR3"; }},
        {"last-sample label", [](CDisLine& c, auto&, auto&) { c.m_curveLabelLast[3] = 0; }},
        {"decimals", [](CDisLine& c, auto&, auto&) { c.m_curveDecimals[3] = 2; }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        testing::Samples a;
        testing::Samples b;
        testing::Samples copyOfB;
        testing::Fill(a, {2.0, kNaN, 1.3, 0.0}, 1.5);
        testing::Fill(b, {3.0, 2.5}, 1.7);
        testing::Fill(copyOfB, {3.0, 2.5}, 1.7);
        CDisLine chart;
        testing::ConfigureVswr(chart, a);
        chart.m_cursorIndex = 42;
        chart.m_cursorText = "x";
        chart.m_curveData[3] = b.data();
        chart.m_curveCount[3] = 200;
        chart.m_curveShown[3] = 1;
        const QImage first = testing::Render(chart);
        chart.m_curveData[3] = copyOfB.data();
        {
            TextRecorder texts;
            EXPECT_EQ(testing::Render(chart), first);
            ASSERT_TRUE(texts.Draws().empty()) << "equal inputs drew again";
        }
        change(chart, a, copyOfB);
        TextRecorder texts;
        testing::Render(chart);
        EXPECT_FALSE(texts.Draws().empty()) << "a changed input reused the picture";
    }
}

}  // namespace
}  // namespace korvel
