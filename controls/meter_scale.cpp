#include "meter_scale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw_context.h"
#include "safe_convert.h"

namespace korvel {

namespace {

double Radians(double deg) {
    return deg * std::numbers::pi / 180.0;
}

}  // namespace

DialGeometry DialFromClient(const GdiRect& client) {
    const int64_t w = client.Width();
    const int64_t h = client.Height();
    const int64_t larger = std::max(w, h);
    DialGeometry out;
    out.radius = static_cast<int32_t>(9 * larger / 21);
    out.center =
        QPoint(static_cast<int>((int64_t{client.left} + client.right) / 2),
               static_cast<int>((int64_t{client.top} + client.bottom) / 2 + out.radius / 10));
    return out;
}

DialRadii RadiiFromRadius(int32_t radius) {
    DialRadii r;
    r.rim = radius / 18;
    r.zoneOuter = radius - r.rim;
    r.tickOuter = radius - 2 * r.rim;
    r.majorInner = (8 * radius) / 10;
    r.minorInner = r.majorInner + (r.tickOuter - r.majorInner) / 2;
    r.labelHeight = radius / 6;
    return r;
}

QPoint RoundedPolar(QPoint center, double radius, double angleDeg) {
    const double a = Radians(angleDeg);
    return QPoint(RoundToInt(center.x() + radius * std::cos(a)),
                  RoundToInt(center.y() - radius * std::sin(a)));
}

QPoint TruncatedPolar(QPoint center, double radius, double angleDeg) {
    const double a = Radians(angleDeg);
    return QPoint(center.x() + TruncToInt(radius * std::cos(a)),
                  center.y() - TruncToInt(radius * std::sin(a)));
}

int32_t TickStep(int32_t startAngle, int32_t endAngle, int32_t majorTicks, int32_t minorTicks) {
    const double divisions = static_cast<double>(std::max(1, majorTicks)) * std::max(1, minorTicks);
    const double span = static_cast<double>(ScaleSpan(startAngle, endAngle));
    return std::clamp(TruncToInt(100.0 * (span / divisions)), -36000, 36000);
}

TickWalk WalkTicks(QPoint center, const DialRadii& radii, int32_t startAngle, int32_t endAngle,
                   int32_t majorTicks, int32_t minorTicks) {
    TickWalk walk;
    const int64_t step = TickStep(startAngle, endAngle, majorTicks, minorTicks);
    const int64_t last = 100 * (int64_t{endAngle} - 360);
    const int32_t m = std::max(1, minorTicks);
    int64_t a = 100 * int64_t{startAngle};
    while (a >= last && walk.count < kMaxTickPositions) {
        const int n = walk.count;
        TickMark& t = walk.ticks[n];
        t.angleDeg = a / 100.0;
        t.major = n % m == 0;
        t.outer = RoundedPolar(center, radii.tickOuter, t.angleDeg);
        t.inner = RoundedPolar(center, t.major ? radii.majorInner : radii.minorInner, t.angleDeg);
        ++walk.count;
        a -= step;
    }
    return walk;
}

double NeedleAngle(double value, double minValue, double maxValue, int32_t startAngle,
                   int32_t endAngle) {
    const double span = static_cast<double>(ScaleSpan(startAngle, endAngle));
    const double theta = startAngle - span * (value - minValue) / (maxValue - minValue);
    if (std::isnan(theta) || theta >= startAngle) {
        return startAngle;
    }
    if (theta <= endAngle - 360.0) {
        return endAngle - 360.0;
    }
    return theta;
}

LabelPlacement PlaceLabel(double phi, QPoint anchor, int32_t h) {
    const int tx = anchor.x();
    const int ty = anchor.y();
    if (phi > 190) {
        return {kTaLeft | kTaBottom, QPoint(tx, ty + h / 2)};
    }
    if (phi > 170) {
        return {kTaLeft | kTaBaseline, QPoint(tx, ty + h / 3)};
    }
    if (phi > 135) {
        return {kTaLeft | kTaBaseline, QPoint(tx, ty + h / 2)};
    }
    if (phi > 100) {
        return {kTaLeft | kTaTop, QPoint(tx - h / 4, ty - h / 8)};
    }
    if (phi > 80) {
        return {kTaCenter | kTaTop, QPoint(tx, ty)};
    }
    if (phi > 45) {
        return {kTaRight | kTaBottom, QPoint(tx + h / 3, ty + h)};
    }
    if (phi > 10) {
        return {kTaRight | kTaBaseline, QPoint(tx, ty + h / 2)};
    }
    if (phi > -10) {
        return {kTaRight | kTaBaseline, QPoint(tx, ty + h / 3)};
    }
    return {kTaRight | kTaBottom, QPoint(tx, ty + h / 2)};
}

int HubGrey(int32_t k, int32_t hubUnit) {
    if (hubUnit <= 0) {
        return 255;
    }
    const double grey = 255.0 - 1020.0 * k / (3.0 * hubUnit);
    return std::clamp(TruncToInt(grey), 0, 255);
}

}  // namespace korvel
