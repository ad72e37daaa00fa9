#include "smith_grid.h"

#include <array>
#include <cmath>

#include <QPainter>

#include "color_ref.h"
#include "draw_context.h"
#include "safe_convert.h"

namespace korvel {
namespace {

constexpr ColorRef kGridColor = RGB(200, 200, 200);

struct ResistanceCircle {
    double centreOffset;  // times the radius, right of the chart's centre
    double radiusDivisor;
};

// Normalised resistance r: centre offset r / (r + 1), radius 1 / (r + 1).
constexpr std::array<ResistanceCircle, 3> kResistanceCircles = {{
    {0.5, 2.0},                   // r = 1
    {0.25925925925925924, 1.35},  // r = 0.35
    {0.7142857142857143, 3.5},    // r = 2.5
}};

constexpr std::array<double, 6> kReactances = {1.0, -1.0, 0.5, -0.5, 5.0, -5.0};

// The square around a circle whose centre has already been made whole.
GdiRect BoxAround(int centreX, int centreY, double radius) {
    return GdiRect{TruncToInt(centreX - radius), TruncToInt(centreY - radius),
                   TruncToInt(centreX + radius), TruncToInt(centreY + radius)};
}

}  // namespace

QPoint SmithGrid::AxisEnd() const {
    return QPoint(TruncToInt(centreX + radius), TruncToInt(centreY));
}

std::vector<SmithGridArc> SmithGrid::ResistanceCircles(const GdiRect& outer) const {
    // Every circle starts and ends at the real axis' right end, so the full
    // circles close there.
    const QPoint e = AxisEnd();
    std::vector<SmithGridArc> arcs{{outer, e, e}};
    for (const ResistanceCircle& c : kResistanceCircles) {
        const GdiRect box = BoxAround(TruncToInt(centreX + c.centreOffset * radius),
                                      TruncToInt(centreY), radius / c.radiusDivisor);
        arcs.push_back({box, e, e});
    }
    return arcs;
}

std::vector<SmithGridArc> SmithGrid::ReactanceArcs() const {
    // Each reactance circle touches the real axis' right end; only the part
    // between that end and the outer circle is drawn.
    const QPoint e = AxisEnd();
    const double r = radius;
    std::vector<SmithGridArc> arcs;
    for (double x : kReactances) {
        const GdiRect box =
            BoxAround(TruncToInt(centreX + r), TruncToInt(centreY - r / x), r / std::abs(x));
        const double x2 = x * x;
        const QPoint p(TruncToInt(centreX + r * (x2 - 1) / (x2 + 1)),
                       TruncToInt(centreY - r * 2 * x / (x2 + 1)));
        arcs.push_back(x > 0 ? SmithGridArc{box, p, e} : SmithGridArc{box, e, p});
    }
    return arcs;
}

void SmithGrid::DrawSmithGrid(DrawContext& dc, const GdiRect& outer) const {
    const auto draw = [&dc](const SmithGridArc& a) {
        dc.Arc(a.box, a.start.x(), a.start.y(), a.end.x(), a.end.y());
    };
    dc.SelectNullBrush();
    dc.SelectPen(kGridColor);
    for (const SmithGridArc& a : ResistanceCircles(outer)) {
        draw(a);
    }
    dc.SelectPen(kGridColor);  // the second grid pen: same colour and width
    for (const SmithGridArc& a : ReactanceArcs()) {
        draw(a);
    }
    const QPoint e = AxisEnd();
    dc.MoveTo(TruncToInt(centreX - radius), TruncToInt(centreY));
    dc.LineTo(e.x(), e.y());
}

void SmithGrid::DrawSmithGrid(QPainter& painter, const QRect& outer) const {
    painter.save();
    DrawContext dc;
    dc.Borrow(&painter);
    // Right and bottom edges one past the covered pixels, saturated at the
    // int range for rectangles at its very end.
    DrawSmithGrid(dc, GdiRect{outer.left(), outer.top(), TruncToInt(outer.right() + 1.0),
                              TruncToInt(outer.bottom() + 1.0)});
    dc.End();
    painter.restore();
}

}  // namespace korvel
