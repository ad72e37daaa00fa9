// The needle meter's geometry, free of any window: dial size and centre, the
// radii of rim, zones and ticks, the tick walk, the needle angle and the
// placement of the scale labels. Angles are degrees counter-clockwise from
// 3 o'clock; screen y grows downwards.
#pragma once

#include <QPoint>
#include <array>
#include <cstdint>

#include "gdi_geometry.h"

namespace korvel {

// The most tick positions a dial carries (outer ends of the ticks make the
// needle's clip outline).
inline constexpr int kMaxTickPositions = 200;

struct DialGeometry {
    int32_t radius = 0;  // R = 9 * max(W, H) / 21
    QPoint center;       // a tenth of R below the middle of the client
};

DialGeometry DialFromClient(const GdiRect& client);

struct DialRadii {
    int32_t rim = 0;          // N: half-width of the rim
    int32_t zoneOuter = 0;    // Ro
    int32_t tickOuter = 0;    // Rb
    int32_t majorInner = 0;   // Ri
    int32_t minorInner = 0;   // Rm
    int32_t labelHeight = 0;  // h
};

DialRadii RadiiFromRadius(int32_t radius);

// Scale span S = A0 + 360 - A1 in degrees (wide enough for any two angles).
inline int64_t ScaleSpan(int32_t startAngle, int32_t endAngle) {
    return int64_t{startAngle} + 360 - endAngle;
}

// The point at `angleDeg` and `radius` from `center`, rounded to nearest with
// halves away from zero.
QPoint RoundedPolar(QPoint center, double radius, double angleDeg);
// The same point with both offsets truncated toward zero.
QPoint TruncatedPolar(QPoint center, double radius, double angleDeg);

// Walk step in hundredths of a degree: trunc(100 * S / (M * m)). Division
// counts below 1 count as 1; the result is limited to ±36000.
int32_t TickStep(int32_t startAngle, int32_t endAngle, int32_t majorTicks, int32_t minorTicks);

struct TickMark {
    QPoint outer;  // on the tick boundary
    QPoint inner;
    bool major = false;
    double angleDeg = 0;
};

struct TickWalk {
    std::array<TickMark, kMaxTickPositions> ticks{};
    int count = 0;
};

// Walks from A0 down to A1 - 360 in steps of TickStep, never past
// kMaxTickPositions positions whatever the settings.
TickWalk WalkTicks(QPoint center, const DialRadii& radii, int32_t startAngle, int32_t endAngle,
                   int32_t majorTicks, int32_t minorTicks);

// Needle angle for a value: A0 at or below the minimum (or when the value has
// no place on the scale), A1 - 360 at or above the maximum.
double NeedleAngle(double value, double minValue, double maxValue, int32_t startAngle,
                   int32_t endAngle);

struct LabelPlacement {
    int align = 0;  // kTa* flags
    QPoint at;      // reference point for the text
};

// Alignment and reference point of a scale label at angle `phi` whose tick's
// inner end is `anchor`, for labels `h` pixels high.
LabelPlacement PlaceLabel(double phi, QPoint anchor, int32_t h);

// Grey level of the hub ring of radius k: black at the rim, white at the
// centre. Defined (white) for a zero hub unit.
int HubGrey(int32_t k, int32_t hubUnit);

}  // namespace korvel
