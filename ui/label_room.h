// Room for a label's text: the layout's boxes were measured for narrower faces
// than some systems give the dialog font, which would cut a label's first and
// last letters. A label too narrow for its text grows into the free space
// beside it.
#pragma once

#include <QRect>
#include <vector>

namespace korvel {

// `box` grown to `textWidth` pixels: a centred label on both sides alike (its
// text stays where it was), a left-aligned one to the right. Where the growth
// would reach one of `others` (the boxes of the controls in its rows) or leave
// [0, windowWidth), the box moves away from it within the free space between
// them, and grows no wider than that space. A box wide enough, or one the
// others already crowd, stays as it is.
QRect RoomForText(const QRect& box, int textWidth, bool centred, const std::vector<QRect>& others,
                  int windowWidth);

}  // namespace korvel
