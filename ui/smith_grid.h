// The Smith chart's grid: the outer circle, the circles of normalised
// resistance 1, 0.35 and 2.5, the reactance arcs ±1, ±0.5, ±5 and the real
// axis, all in light grey.
#pragma once

#include <vector>

#include <QPoint>
#include <QRect>

#include "gdi_geometry.h"

class QPainter;

namespace korvel {

class DrawContext;

// One circle or arc of the grid: the ellipse inscribed in `box`, drawn
// counter-clockwise from the ray through `start` to the ray through `end`
// (equal points give the whole circle).
struct SmithGridArc {
    GdiRect box;
    QPoint start;
    QPoint end;
};

// The chart's geometry in client pixels. The panel sets it to radius 197,
// centre (202, 222) before every drawing.
struct SmithGrid {
    double radius = 197.0;
    double centreX = 202.0;
    double centreY = 222.0;

    // The four resistance circles (outer circle first), then the reactance
    // arcs for x = +1, −1, +0.5, −0.5, +5, −5, in drawing order.
    std::vector<SmithGridArc> ResistanceCircles(const GdiRect& outer) const;
    std::vector<SmithGridArc> ReactanceArcs() const;
    // The right end of the real axis, where every circle of the grid meets.
    QPoint AxisEnd() const;

    // Draws the grid; `outer` has its right and bottom edges outside the
    // outer circle, (5, 25, 400, 420) for the panel.
    void DrawSmithGrid(DrawContext& dc, const GdiRect& outer) const;

    // The same on a painter; `outer` is the square of pixels the outer
    // circle covers, QRect(5, 25, 395, 395) for the panel. The painter's
    // state is kept.
    void DrawSmithGrid(QPainter& painter, const QRect& outer) const;
};

}  // namespace korvel
