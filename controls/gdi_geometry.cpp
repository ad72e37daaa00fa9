#include "gdi_geometry.h"

#include <cmath>
#include <numbers>

#include "safe_convert.h"

namespace korvel {

namespace {

double RayAngleDegrees(double cx, double cy, double rx, double ry, int x, int y) {
    // y grows downwards on screen, angles grow counter-clockwise.
    return std::atan2(-(y - cy) / ry, (x - cx) / rx) * 180.0 / std::numbers::pi;
}

}  // namespace

ArcAngles ArcAnglesFromPoints(const GdiRect& box, int xs, int ys, int xe, int ye) {
    ArcAngles out;
    const double rx = (static_cast<double>(box.right) - box.left) / 2.0;
    const double ry = (static_cast<double>(box.bottom) - box.top) / 2.0;
    if (!(rx > 0) || !(ry > 0)) {
        return out;
    }
    const double cx = box.left + rx;
    const double cy = box.top + ry;
    const double a0 = RayAngleDegrees(cx, cy, rx, ry, xs, ys);
    const double a1 = RayAngleDegrees(cx, cy, rx, ry, xe, ye);
    double span = a1 - a0;
    while (span <= 0) {
        span += 360.0;
    }
    out.start16 = RoundToInt(a0 * 16.0);
    out.span16 = RoundToInt(span * 16.0);
    out.valid = true;
    return out;
}

}  // namespace korvel
