// Where the Smith panel puts its markers: a reflection (magnitude ρ, angle a)
// sits at x = 202.5 + ρ·197.5·cos a, y = 222.5 − ρ·197.5·sin a in client
// pixels of the main dialog, positive angles above the real axis.
#pragma once

#include <optional>
#include <vector>

#include <QPoint>

namespace korvel {

inline constexpr double kSmithPlotCentreX = 202.5;
inline constexpr double kSmithPlotCentreY = 222.5;
inline constexpr double kSmithPlotRadius = 197.5;

struct SmithPlotPosition {
    double x = 0.0;
    double y = 0.0;
};

// Position of a reflection at plot radius `r` (magnitude × 197.5), angle `a`.
SmithPlotPosition SmithPositionAt(double r, double a);

// Markers are drawn only well inside the panel (12 < x < 393, 33 < y < 420);
// NaN is never inside.
bool SmithTriangleInBounds(double x, double y);

// The device-port point label stays clear of the right-hand texts and the
// bottom lines (5 < x < 330, 25 < y < 400).
bool SmithLabelInBounds(double x, double y);

// A marker triangle 14 pixels wide whose apex marks the point and whose base
// lies 8 pixels above it.
struct SmithTriangle {
    QPoint apex;
    QPoint baseLeft;   // (x − 7, y − 8)
    QPoint baseRight;  // (x + 7, y − 8)
};

// The triangle at radius `r` and angle `a`, each corner truncated from its
// own expression; nothing when the apex is out of bounds.
std::optional<SmithTriangle> SmithTriangleAt(double r, double a);

// The top-left point of the point label; nothing when out of bounds.
std::optional<QPoint> SmithLabelAt(double r, double a);

// The pixels of a one-pixel line from `from` towards `to`, the end point left
// out: one pixel per step along the longer axis, the other axis rounded.
// Drawing a closed outline this way colours each corner exactly once.
std::vector<QPoint> SmithLinePixels(QPoint from, QPoint to);

}  // namespace korvel
