#include "smith_panel.h"

#include <optional>

#include <QBrush>
#include <QPainter>

#include "color_ref.h"
#include "core/cable_transform.h"
#include "core/measurement_state.h"
#include "draw_context.h"

namespace korvel {
namespace {

constexpr ColorRef kDeviceColor = RGB(255, 0, 0);
constexpr ColorRef kCableColor = RGB(0, 0, 255);
constexpr QRgb kHatchColor = qRgb(220, 255, 220);
constexpr GdiRect kPanelSquare{4, 24, 401, 421};
constexpr GdiRect kOuterCircleBox{5, 25, 400, 420};
constexpr int kTextCellHeight = 15;

// Apex, base left, base right and back, each side without its end pixel, so
// the apex pixel marks the point exactly. Drawn pixel by pixel: the painter's
// own diagonal lines may leave out their first pixel too.
void DrawTriangle(QPainter& painter, const std::optional<SmithTriangle>& t) {
    if (!t) {
        return;
    }
    const QPoint corners[] = {t->apex, t->baseLeft, t->baseRight, t->apex};
    QPen pen = painter.pen();
    pen.setCapStyle(Qt::SquareCap);  // a flat-capped point has no area
    painter.setPen(pen);
    for (int i = 0; i < 3; ++i) {
        const std::vector<QPoint> pixels = SmithLinePixels(corners[i], corners[i + 1]);
        painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
    }
}

// Diagonal cross-hatching in pale green; its gaps show the surface's white.
void DrawHatchedSquare(DrawContext& dc) {
    QPainter& painter = *dc.Painter();
    painter.fillRect(FillArea(kPanelSquare), Qt::white);
    painter.setBrush(QBrush(QColor(kHatchColor), Qt::DiagCrossPattern));
    dc.Rectangle(kPanelSquare);
    dc.SelectNullBrush();
}

}  // namespace

SmithPanelValues ReadSmithPanelValues(const MeasurementState& state) {
    SmithPanelValues v;
    v.gammaMag = state.smithGammaMag.load(kRelaxed);
    v.gammaAngle = state.smithGammaAngle.load(kRelaxed);
    v.r = state.smithR.load(kRelaxed);
    v.x = state.smithX.load(kRelaxed);
    v.zMag = state.smithZMag.load(kRelaxed);
    v.vswr = state.smithVswr.load(kRelaxed);
    v.gammaShown = state.smithGammaShown.load(kRelaxed);
    v.zoCalibrating = state.zoCalRequest.load(kRelaxed) == 1;
    return v;
}

void PaintSmithPanel(QPainter& painter, const MeasurementState& state, uint32_t smithFreqKHz,
                     double cableLengthM) {
    PaintSmithPanel(painter, ReadSmithPanelValues(state), smithFreqKHz, cableLengthM);
}

void PaintSmithPanel(QPainter& painter, const SmithPanelValues& v, uint32_t smithFreqKHz,
                     double cableLengthM) {
    if (!painter.isActive()) {
        return;
    }
    painter.save();
    DrawContext dc;
    dc.Borrow(&painter);

    const SmithGrid grid{197.0, 202.0, 222.0};
    DrawHatchedSquare(dc);
    grid.DrawSmithGrid(dc, kOuterCircleBox);

    dc.SelectPen(kDeviceColor);
    dc.SetBkTransparent(true);
    const double r = v.gammaMag * kSmithPlotRadius;
    DrawTriangle(painter, SmithTriangleAt(r, v.gammaAngle));

    // The point label uses the surface's own font: the text font comes later.
    const QString deviceText = DevicePortText(v.r, v.x, v.zMag);
    if (const std::optional<QPoint> label = SmithLabelAt(r, v.gammaAngle)) {
        dc.TextOut(label->x(), label->y(), deviceText);
    }

    dc.SelectPen(kCableColor);
    const CablePortResult cable =
        CablePortImpedance(v.gammaMag, v.gammaAngle, smithFreqKHz, cableLengthM);
    DrawTriangle(painter, SmithTriangleAt(r, cable.angle));

    dc.FillRect(GdiRect{10, 30, 20, 40}, kDeviceColor);
    dc.FillRect(GdiRect{10, 47, 20, 57}, kCableColor);

    dc.SelectFont(FontWithCellHeight(QStringLiteral("Arial"), kTextCellHeight));
    dc.TextOut(25, 27, QString::fromLatin1(kDevicePortCaption) + deviceText);
    dc.TextOut(25, 44, QString::fromLatin1(kCablePortCaption) + CablePortText(cable.r, cable.x));
    dc.TextOut(15, 306, SmithVswrLine(v.vswr));
    dc.TextOut(15, 323, SmithGammaLine(v.gammaShown));
    dc.TextOut(15, 340, SmithZMagLine(v.zMag));
    if (v.zoCalibrating) {
        dc.TextOut(50, 200, QString::fromLatin1(kZoCalibrationNotice));
    }

    dc.End();
    painter.restore();
}

}  // namespace korvel
