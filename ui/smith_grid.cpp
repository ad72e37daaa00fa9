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

void SmithGrid::DrawSmithGrid(DrawContext& dc, const GdiRect& outer) const {
    const double r = radius;
    const double cx = centreX;
    const double cy = centreY;
    // Every circle starts and ends at the real axis' right end, so the full
    // resistance circles close there.
    const int ex = TruncToInt(cx + r);
    const int ey = TruncToInt(cy);

    dc.SelectNullBrush();
    dc.SelectPen(kGridColor);
    dc.Arc(outer, ex, ey, ex, ey);
    for (const ResistanceCircle& c : kResistanceCircles) {
        const GdiRect box =
            BoxAround(TruncToInt(cx + c.centreOffset * r), TruncToInt(cy), r / c.radiusDivisor);
        dc.Arc(box, ex, ey, ex, ey);
    }

    // Each reactance circle touches the real axis' right end; only the part
    // between that end and the outer circle is drawn, counter-clockwise.
    dc.SelectPen(kGridColor);
    for (double x : kReactances) {
        const GdiRect box = BoxAround(TruncToInt(cx + r), TruncToInt(cy - r / x), r / std::abs(x));
        const double x2 = x * x;
        const int px = TruncToInt(cx + r * (x2 - 1) / (x2 + 1));
        const int py = TruncToInt(cy - r * 2 * x / (x2 + 1));
        if (x > 0) {
            dc.Arc(box, px, py, ex, ey);
        } else {
            dc.Arc(box, ex, ey, px, py);
        }
    }

    dc.MoveTo(TruncToInt(cx - r), TruncToInt(cy));
    dc.LineTo(ex, ey);
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
