// Rectangles and arcs as the controls' drawing code describes them: edges
// given as left, top, right, bottom with the right and bottom edge outside the
// shape, and arcs running counter-clockwise from a start point to an end point.
#pragma once

#include <QRect>
#include <cstdint>

namespace korvel {

struct GdiRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const GdiRect&) const = default;
};

// The pixels a filled rectangle covers (right and bottom edge excluded).
inline QRect FillArea(const GdiRect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// Start angle and span, in 1/16 degree, of the counter-clockwise arc on the
// ellipse inscribed in `box` from the ray through (xs, ys) to the ray through
// (xe, ye). Equal rays give a full ellipse.
struct ArcAngles {
    int start16 = 0;
    int span16 = 0;
    bool valid = false;  // false for an empty box: nothing to draw
};

ArcAngles ArcAnglesFromPoints(const GdiRect& box, int xs, int ys, int xe, int ye);

}  // namespace korvel
