#include "smith_panel.h"

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include "core/cable_transform.h"
#include "core/measurement_math.h"
#include "core/measurement_state.h"
#include "draw_context.h"
#include "text_recorder.h"

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGrid = qRgb(200, 200, 200);

// Sets the Smith results as the worker leaves them for a reflection.
void Measure(MeasurementState& state, double rho, double angle) {
    const Impedance z = ImpedanceFromGamma(rho, angle);
    state.smithGammaMag.store(rho, kRelaxed);
    state.smithGammaAngle.store(angle, kRelaxed);
    state.smithR.store(z.r, kRelaxed);
    state.smithX.store(z.x, kRelaxed);
    state.smithZMag.store(std::sqrt(z.r * z.r + z.x * z.x), kRelaxed);
    state.smithVswr.store(VswrFromGammaSmith(rho), kRelaxed);
    state.smithGammaShown.store(rho, kRelaxed);
}

struct Painted {
    QImage image;
    std::vector<TextDraw> texts;
};

Painted Paint(const MeasurementState& state, uint32_t freqKHz, double cableM) {
    Painted out{QImage(1235, 709, QImage::Format_RGB32), {}};
    out.image.fill(qRgb(240, 240, 240));
    TextRecorder recorder;
    QPainter painter(&out.image);
    PaintSmithPanel(painter, state, freqKHz, cableM);
    painter.end();
    out.texts = recorder.Draws();
    return out;
}

const TextDraw* Find(const Painted& p, const QString& text) {
    for (const TextDraw& d : p.texts) {
        if (d.text == text) {
            return &d;
        }
    }
    return nullptr;
}

void ExpectTextAt(const Painted& p, const QString& text, QPoint at) {
    const TextDraw* d = Find(p, text);
    ASSERT_NE(d, nullptr) << "missing text " << text.toStdString();
    EXPECT_EQ(d->at, at) << text.toStdString();
}

// Pure-red pixels inside the chart circle's square.
int RedInsideTheChart(const QImage& image) {
    int red = 0;
    for (int y = 30; y < 421; ++y) {
        for (int x = 21; x < 401; ++x) {
            red += image.pixel(x, y) == kRed ? 1 : 0;
        }
    }
    return red;
}

bool RedTriangleAt(const QImage& image, QPoint apex, QRgb colour) {
    // Apex and both base corners carry the pen's colour.
    return image.pixel(apex) == colour && image.pixel(apex + QPoint(-7, -8)) == colour &&
           image.pixel(apex + QPoint(7, -8)) == colour;
}

TEST(SmithGeometry, WorkedExampleMarkers) {
    const auto device = SmithTriangleAt(0.5 * kSmithPlotRadius, 0.0);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->apex, QPoint(301, 222));
    EXPECT_EQ(device->baseLeft, QPoint(294, 214));
    EXPECT_EQ(device->baseRight, QPoint(308, 214));

    const CablePortResult cable = CablePortImpedance(0.5, 0.0, 14270, 5.0);
    EXPECT_NEAR(cable.angle, 4.460745, 1e-5);
    const auto blue = SmithTriangleAt(0.5 * kSmithPlotRadius, cable.angle);
    ASSERT_TRUE(blue);
    EXPECT_EQ(blue->apex, QPoint(177, 318));
    EXPECT_EQ(blue->baseLeft, QPoint(170, 310));
    EXPECT_EQ(blue->baseRight, QPoint(184, 310));
}

TEST(SmithGeometry, CornersAreTruncatedFromTheirOwnExpressions) {
    // x = 202.5 + 10.3 = 212.8: x − 7 = 205.8 → 205, x + 7 = 219.8 → 219.
    const auto t = SmithTriangleAt(10.3, 0.0);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->apex, QPoint(212, 222));
    EXPECT_EQ(t->baseLeft, QPoint(205, 214));
    EXPECT_EQ(t->baseRight, QPoint(219, 214));
}

TEST(SmithGeometry, BoundsAreExclusiveAndRefuseNaN) {
    EXPECT_FALSE(SmithTriangleInBounds(12, 200));
    EXPECT_TRUE(SmithTriangleInBounds(12.001, 200));
    EXPECT_FALSE(SmithTriangleInBounds(393, 200));
    EXPECT_FALSE(SmithTriangleInBounds(200, 33));
    EXPECT_TRUE(SmithTriangleInBounds(200, 419.99));
    EXPECT_FALSE(SmithTriangleInBounds(200, 420));
    EXPECT_FALSE(SmithTriangleInBounds(kNaN, 200));
    EXPECT_FALSE(SmithTriangleInBounds(200, kInf));

    EXPECT_FALSE(SmithLabelInBounds(5, 100));
    EXPECT_TRUE(SmithLabelInBounds(329.9, 100));
    EXPECT_FALSE(SmithLabelInBounds(330, 100));
    EXPECT_FALSE(SmithLabelInBounds(100, 25));
    EXPECT_FALSE(SmithLabelInBounds(100, 400));
    EXPECT_FALSE(SmithLabelInBounds(100, kNaN));

    // A reflection beyond the chart, or not a number, has no marker.
    EXPECT_FALSE(SmithTriangleAt(1.2 * kSmithPlotRadius, 0.0));
    EXPECT_FALSE(SmithTriangleAt(kNaN, 0.0));
    EXPECT_FALSE(SmithTriangleAt(100, kNaN));
    EXPECT_FALSE(SmithTriangleAt(kInf, 1.0));
    EXPECT_FALSE(SmithLabelAt(-kInf, 0.0));
    // The label keeps clear of the right-hand side where a marker may still go.
    EXPECT_TRUE(SmithTriangleAt(0.8 * kSmithPlotRadius, 0.0));
    EXPECT_FALSE(SmithLabelAt(0.8 * kSmithPlotRadius, 0.0));
}

TEST(SmithGeometry, LinePixelsLeaveOutTheEndPoint) {
    const std::vector<QPoint> side = SmithLinePixels(QPoint(301, 222), QPoint(294, 214));
    ASSERT_EQ(side.size(), 8u);  // one per row, 222 down to 215
    EXPECT_EQ(side.front(), QPoint(301, 222));
    EXPECT_EQ(side.back(), QPoint(295, 215));
    for (std::size_t i = 0; i < side.size(); ++i) {
        EXPECT_EQ(side[i].y(), 222 - static_cast<int>(i));
    }
    const std::vector<QPoint> base = SmithLinePixels(QPoint(294, 214), QPoint(308, 214));
    ASSERT_EQ(base.size(), 14u);
    EXPECT_EQ(base.back(), QPoint(307, 214));
    EXPECT_TRUE(SmithLinePixels(QPoint(5, 5), QPoint(5, 5)).empty());
    // Absurd lengths draw nothing instead of overflowing or running long.
    EXPECT_TRUE(SmithLinePixels(QPoint(INT_MIN, INT_MIN), QPoint(INT_MAX, INT_MAX)).empty());
}

TEST(SmithTexts, ImpedanceFormats) {
    EXPECT_EQ(DevicePortText(150, 0, 150), QStringLiteral("150+ 0j"));
    EXPECT_EQ(DevicePortText(50, -20, 53.9), QStringLiteral("50-20j"));
    EXPECT_EQ(DevicePortText(5, 3, 5.8), QStringLiteral(" 5+ 3j"));
    EXPECT_EQ(DevicePortText(900, 400, 1000), QStringLiteral("900+400j"));
    EXPECT_EQ(DevicePortText(900, 450, 1000.1), QStringLiteral("+∞"));

    EXPECT_EQ(CablePortText(25.06, -32.27), QStringLiteral("25-32j"));
    EXPECT_EQ(CablePortText(50, 0), QStringLiteral("50+ 0j"));
    EXPECT_EQ(CablePortText(5, -3), QStringLiteral(" 5-3j"));
    EXPECT_EQ(CablePortText(600, 800), QStringLiteral("600+800j"));  // |Z| = 1000 exactly
    EXPECT_EQ(CablePortText(600, 800.1), QStringLiteral("+∞"));
    EXPECT_EQ(CablePortText(kInf, kInf), QStringLiteral("+∞"));
    EXPECT_EQ(CablePortText(1e200, -1e200), QStringLiteral("+∞"));  // squares overflow to ∞
}

TEST(SmithTexts, ValueLines) {
    EXPECT_EQ(SmithVswrLine(19.96), QStringLiteral("VSWR=20.0"));
    EXPECT_EQ(SmithZMagLine(1000.0), QStringLiteral("|Z|=1000.0"));
    EXPECT_EQ(SmithZMagLine(1000.1), QStringLiteral("|Z|=+∞"));
    EXPECT_EQ(SmithZMagLine(kNaN), QStringLiteral("|Z|=+∞"));
    // U+0393 and U+221E themselves, not look-alikes.
    EXPECT_EQ(SmithGammaLine(0.0).at(1).unicode(), 0x0393);
    EXPECT_EQ(SmithZMagLine(2000).at(5).unicode(), 0x221E);
}

TEST(SmithTexts, NumbersAreDefinedForEveryValue) {
    EXPECT_EQ(SmithFixed(2.5, 2, 0), QStringLiteral(" 2"));  // ties to even, as printf
    EXPECT_EQ(SmithFixed(-0.3, 2, 0), QStringLiteral("-0"));
    EXPECT_EQ(SmithFixed(kNaN, 3, 1), QStringLiteral("nan"));
    EXPECT_EQ(SmithFixed(-kInf, 3, 1), QStringLiteral("-inf"));
    EXPECT_EQ(SmithFixed(1e300, 2, 0).size(), 301);
    EXPECT_EQ(SmithFixed(-std::numeric_limits<double>::max(), 3, 1).size(), 312);
}

TEST(SmithPanelPaint, WorkedExample) {
    MeasurementState state;
    Measure(state, 0.5, 0.0);
    ASSERT_DOUBLE_EQ(state.smithR.load(), 150.0);
    const Painted p = Paint(state, 14270, 5.0);

    ExpectTextAt(p, QStringLiteral("Device Port Impedance:150+ 0j"), QPoint(25, 27));
    ExpectTextAt(p, QStringLiteral("Cable Port Impedance:25-32j"), QPoint(25, 44));
    ExpectTextAt(p, QStringLiteral("150+ 0j"), QPoint(301, 222));  // point label
    ExpectTextAt(p, QStringLiteral("VSWR=3.0"), QPoint(15, 306));
    ExpectTextAt(p, QStringLiteral("|Γ|=0.5"), QPoint(15, 323));
    ExpectTextAt(p, QStringLiteral("|Z|=150.0"), QPoint(15, 340));
    EXPECT_EQ(Find(p, QStringLiteral("50 ohm Calebration is doing....")), nullptr);
    ASSERT_EQ(p.texts.size(), 6u);
    for (std::size_t i = 1; i < p.texts.size(); ++i) {
        EXPECT_EQ(p.texts[i].cellHeight, 15) << p.texts[i].text.toStdString();
        EXPECT_FALSE(p.texts[i].opaque);
        EXPECT_EQ(p.texts[i].color, RGB(0, 0, 0));
    }

    EXPECT_TRUE(RedTriangleAt(p.image, QPoint(301, 222), kRed));
    EXPECT_TRUE(RedTriangleAt(p.image, QPoint(177, 318), kBlue));
    EXPECT_EQ(p.image.pixel(301, 214), kRed);  // base line
    EXPECT_EQ(p.image.pixel(177, 310), kBlue);
    // Legend squares 10 × 10.
    EXPECT_EQ(p.image.pixel(10, 30), kRed);
    EXPECT_EQ(p.image.pixel(19, 39), kRed);
    EXPECT_NE(p.image.pixel(20, 39), kRed);
    EXPECT_EQ(p.image.pixel(10, 47), kBlue);
    EXPECT_EQ(p.image.pixel(19, 56), kBlue);
    EXPECT_NE(p.image.pixel(19, 57), kBlue);
}

TEST(SmithPanelPaint, StartValuesPutBothMarkersAtTheCentre) {
    const MeasurementState state;
    const Painted p = Paint(state, 14270, 0.0);
    ExpectTextAt(p, QStringLiteral("Device Port Impedance:50+ 0j"), QPoint(25, 27));
    ExpectTextAt(p, QStringLiteral("Cable Port Impedance:50+ 0j"), QPoint(25, 44));
    ExpectTextAt(p, QStringLiteral("50+ 0j"), QPoint(202, 222));
    ExpectTextAt(p, QStringLiteral("VSWR=1.0"), QPoint(15, 306));
    ExpectTextAt(p, QStringLiteral("|Γ|=0.0"), QPoint(15, 323));
    ExpectTextAt(p, QStringLiteral("|Z|=50.0"), QPoint(15, 340));
    // The blue marker is drawn over the red one.
    EXPECT_TRUE(RedTriangleAt(p.image, QPoint(202, 222), kBlue));
}

TEST(SmithPanelPaint, CableOfZeroLengthTurnsNothing) {
    MeasurementState state;
    Measure(state, 0.45, 1.1);
    const Painted p = Paint(state, 14270, 0.0);
    const CablePortResult cable = CablePortImpedance(0.45, 1.1, 14270, 0.0);
    EXPECT_EQ(cable.angle, 1.1);
    const double r = 0.45 * kSmithPlotRadius;
    // The blue marker covers the red one whole: no red is left in the chart,
    // as there is once a cable turns the point.
    EXPECT_EQ(RedInsideTheChart(p.image), 0);
    EXPECT_GT(RedInsideTheChart(Paint(state, 14270, 3.0).image), 0);
    const QString t1 = DevicePortText(state.smithR, state.smithX, state.smithZMag);
    EXPECT_EQ(CablePortText(cable.r, cable.x), t1);
    ExpectTextAt(p, QStringLiteral("Cable Port Impedance:") + t1, QPoint(25, 44));
    EXPECT_TRUE(RedTriangleAt(p.image, SmithTriangleAt(r, 1.1)->apex, kBlue));
}

TEST(SmithPanelPaint, InfiniteImpedanceTexts) {
    MeasurementState state;
    state.smithZMag.store(1000.0);
    Painted p = Paint(state, 14270, 0.0);
    EXPECT_NE(Find(p, QStringLiteral("|Z|=1000.0")), nullptr);
    state.smithZMag.store(1000.1);
    p = Paint(state, 14270, 0.0);
    EXPECT_NE(Find(p, QStringLiteral("|Z|=+∞")), nullptr);
    EXPECT_NE(Find(p, QStringLiteral("Device Port Impedance:+∞")), nullptr);
}

TEST(SmithPanelPaint, CalibrationNoticeOnlyWhileRequested) {
    MeasurementState state;
    state.zoCalRequest.store(1);
    Painted p = Paint(state, 14270, 0.0);
    ExpectTextAt(p, QStringLiteral("50 ohm Calebration is doing...."), QPoint(50, 200));
    EXPECT_EQ(Find(p, QStringLiteral("50 ohm Calebration is doing....")), &p.texts.back());
    state.zoCalRequest.store(0);
    p = Paint(state, 14270, 0.0);
    EXPECT_EQ(Find(p, QStringLiteral("50 ohm Calebration is doing....")), nullptr);
    state.zoCalRequest.store(2);  // only the value 1 means "running"
    p = Paint(state, 14270, 0.0);
    EXPECT_EQ(Find(p, QStringLiteral("50 ohm Calebration is doing....")), nullptr);
}

TEST(SmithPanelPaint, RepaintingAfterAnotherPictureDrawsTheSamePicture) {
    MeasurementState state;
    Measure(state, 0.3, -2.0);
    const Painted first = Paint(state, 7100, 12.5);
    // Nothing of a paint with other values may stay behind for the next one.
    MeasurementState other;
    Measure(other, 0.8, 1.0);
    other.zoCalRequest.store(1);
    const Painted between = Paint(other, 21000, 0.0);
    ASSERT_NE(between.image, first.image);
    const Painted second = Paint(state, 7100, 12.5);
    EXPECT_EQ(first.image, second.image);
    ASSERT_EQ(first.texts.size(), second.texts.size());
    for (std::size_t i = 0; i < first.texts.size(); ++i) {
        EXPECT_EQ(first.texts[i].text, second.texts[i].text);
        EXPECT_EQ(first.texts[i].at, second.texts[i].at);
    }
}

TEST(SmithPanelPaint, OutsideTheChartOnlyTheTextsRemain) {
    MeasurementState state;
    Measure(state, 1.2, 0.0);
    const Painted p = Paint(state, 14270, 3.0);
    EXPECT_EQ(p.texts.size(), 5u);  // no point label
    for (int y = 30; y < 421; ++y) {
        for (int x = 21; x < 401; ++x) {
            ASSERT_NE(p.image.pixel(x, y), kRed) << x << "," << y;
            ASSERT_NE(p.image.pixel(x, y), kBlue) << x << "," << y;
        }
    }
}

TEST(SmithPanelPaint, NonFiniteSettingsAndValuesStayDefined) {
    MeasurementState state;
    Measure(state, 0.5, 0.7);
    for (uint32_t freq : {0u, 1u, 4294967295u}) {
        for (double cable : {0.0, -3.0, 1e300, kNaN, kInf, -kInf}) {
            const Painted p = Paint(state, freq, cable);
            EXPECT_EQ(p.texts.size(), 6u) << freq << " kHz, " << cable << " m";
        }
    }
    // No frequency means no wavelength to turn by: the markers coincide.
    EXPECT_EQ(CablePortImpedance(0.5, 0.7, 0, 5.0).angle, 0.7);

    MeasurementState broken;
    broken.smithGammaMag.store(kNaN);
    broken.smithGammaAngle.store(kInf);
    broken.smithR.store(kNaN);
    broken.smithX.store(-kInf);
    broken.smithZMag.store(kNaN);
    broken.smithVswr.store(kInf);
    broken.smithGammaShown.store(-kNaN);
    const Painted p = Paint(broken, 14270, 5.0);
    ExpectTextAt(p, QStringLiteral("|Z|=+∞"), QPoint(15, 340));
    ExpectTextAt(p, QStringLiteral("VSWR=inf"), QPoint(15, 306));
    ExpectTextAt(p, QStringLiteral("Cable Port Impedance:+∞"), QPoint(25, 44));
    EXPECT_EQ(p.texts.size(), 5u);
}

TEST(SmithPanelPaint, PanelSquareHatchAndGrid) {
    const MeasurementState state;
    const Painted p = Paint(state, 14270, 0.0);
    const QImage& im = p.image;
    // Black frame (4, 24)-(400, 420), untouched outside.
    EXPECT_EQ(im.pixel(4, 300), qRgb(0, 0, 0));
    EXPECT_EQ(im.pixel(400, 300), qRgb(0, 0, 0));
    EXPECT_EQ(im.pixel(300, 24), qRgb(0, 0, 0));
    EXPECT_EQ(im.pixel(300, 420), qRgb(0, 0, 0));
    EXPECT_EQ(im.pixel(3, 300), qRgb(240, 240, 240));
    EXPECT_EQ(im.pixel(401, 300), qRgb(240, 240, 240));
    EXPECT_EQ(im.pixel(300, 421), qRgb(240, 240, 240));
    // Inside: only hatch green and the white gaps in a corner away from the grid.
    int green = 0, white = 0;
    for (int y = 380; y < 400; ++y) {
        for (int x = 360; x < 380; ++x) {
            const QRgb c = im.pixel(x, y);
            green += c == qRgb(220, 255, 220);
            white += c == qRgb(255, 255, 255);
        }
    }
    EXPECT_EQ(green + white, 400);
    EXPECT_GT(green, 50);
    EXPECT_GT(white, 200);
    // Real axis from (5, 222), LineTo leaving out (399, 222)'s own pixel only
    // where no circle passes; checked left of the centre.
    EXPECT_EQ(im.pixel(5, 222), kGrid);
    EXPECT_EQ(im.pixel(150, 222), kGrid);
    // Outer circle's top and bottom, and the r = 1 circle's left end.
    EXPECT_EQ(im.pixel(202, 25), kGrid);
    EXPECT_EQ(im.pixel(202, 419), kGrid);
}

TEST(SmithPanelPaint, KeepsThePaintersState) {
    QImage image(420, 440, QImage::Format_RGB32);
    QPainter painter(&image);
    const QPen pen(Qt::green, 4);
    const QFont font(QStringLiteral("DejaVu Serif"), 21);
    painter.setPen(pen);
    painter.setFont(font);
    painter.setBrush(Qt::yellow);
    PaintSmithPanel(painter, MeasurementState{}, 14270, 1.0);
    EXPECT_EQ(painter.pen(), pen);
    EXPECT_EQ(painter.font(), font);
    EXPECT_EQ(painter.brush(), QBrush(Qt::yellow));
    EXPECT_EQ(painter.backgroundMode(), Qt::TransparentMode);
}

TEST(SmithGridDraw, CirclesAndArcsOfThePanel) {
    const SmithGrid grid{197.0, 202.0, 222.0};
    const GdiRect outer{5, 25, 400, 420};
    EXPECT_EQ(grid.AxisEnd(), QPoint(399, 222));
    const std::vector<SmithGridArc> circles = grid.ResistanceCircles(outer);
    ASSERT_EQ(circles.size(), 4u);
    const GdiRect boxes[] = {
        outer, {201, 123, 398, 320}, {107, 76, 398, 367}, {285, 165, 398, 278}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(circles[i].box, boxes[i]) << i;
        EXPECT_EQ(circles[i].start, QPoint(399, 222));
        EXPECT_EQ(circles[i].end, QPoint(399, 222));
    }

    const std::vector<SmithGridArc> arcs = grid.ReactanceArcs();
    ASSERT_EQ(arcs.size(), 6u);
    const QPoint onOuter[] = {{202, 25}, {202, 419}, {83, 64}, {83, 379}, {383, 146}, {383, 297}};
    // Circle centres (399, 25), (399, 419), (399, −172), (399, 616), (399, 182),
    // (399, 261); each corner is the whole centre ± the radius, truncated.
    const GdiRect arcBoxes[] = {{202, -172, 596, 222}, {202, 222, 596, 616}, {5, -566, 793, 222},
                                {5, 222, 793, 1010},   {359, 142, 438, 221}, {359, 221, 438, 300}};
    for (std::size_t i = 0; i < 6; ++i) {
        const SmithGridArc& a = arcs[i];
        // Positive reactances run from the outer circle to the axis end,
        // negative ones back.
        EXPECT_EQ(i % 2 == 0 ? a.start : a.end, onOuter[i]) << i;
        EXPECT_EQ(i % 2 == 0 ? a.end : a.start, QPoint(399, 222)) << i;
        EXPECT_EQ(a.box, arcBoxes[i]) << i;
    }
}

TEST(SmithGridDraw, PainterOverloadMatchesAndKeepsPainterState) {
    QImage viaPainter(420, 440, QImage::Format_RGB32);
    viaPainter.fill(Qt::white);
    QImage viaContext = viaPainter;
    {
        QPainter painter(&viaPainter);
        const QPen pen(Qt::green, 3);
        painter.setPen(pen);
        SmithGrid{}.DrawSmithGrid(painter, QRect(5, 25, 395, 395));
        EXPECT_EQ(painter.pen(), pen);
    }
    {
        DrawContext dc(&viaContext);
        SmithGrid{}.DrawSmithGrid(dc, GdiRect{5, 25, 400, 420});
    }
    EXPECT_EQ(viaPainter, viaContext);
    // The reactance arcs meet the outer circle at their computed ends, and
    // every circle passes through the real axis' right end.
    for (QPoint p : {QPoint(399, 222), QPoint(202, 25), QPoint(202, 419), QPoint(300, 222)}) {
        bool near = false;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                near = near || viaPainter.pixel(p + QPoint(dx, dy)) == kGrid;
            }
        }
        EXPECT_TRUE(near) << p.x() << "," << p.y();
    }
}

TEST(SmithPanelPaint, TextFontIsAvailable) {
    const QFont font = FontWithCellHeight(QStringLiteral("Arial"), 15);
    EXPECT_FALSE(QFontInfo(font).family().isEmpty());
    EXPECT_EQ(QFontMetrics(font).height(), 15);
}

}  // namespace
}  // namespace korvel
