#include "label_room.h"

#include <algorithm>

namespace korvel {

QRect RoomForText(const QRect& box, int textWidth, bool centred, const std::vector<QRect>& others,
                  int windowWidth) {
    const int missing = textWidth - box.width();
    if (missing <= 0 || box.isEmpty()) {
        return box;
    }
    // The free span of the label's rows: up to the nearest control on each
    // side (sides told by the controls' centres).
    int freeLeft = 0;
    int freeRight = windowWidth;
    for (const QRect& other : others) {
        if (other.isEmpty() || other.bottom() < box.top() || other.top() > box.bottom()) {
            continue;
        }
        if (other.center().x() < box.center().x()) {
            freeLeft = std::max(freeLeft, other.right() + 1);
        } else {
            freeRight = std::min(freeRight, other.left());
        }
    }
    if (freeRight - freeLeft < box.width()) {
        return box;  // crowded already: nothing to gain
    }
    // The label centres with the halves' difference rounded toward zero: an
    // odd pixel goes to the right, so the text stays where it was.
    int left = centred ? box.left() - missing / 2 : box.left();
    const int width = std::min(textWidth, freeRight - freeLeft);
    left = std::clamp(left, freeLeft, freeRight - width);
    return QRect(left, box.top(), width, box.height());
}

}  // namespace korvel
