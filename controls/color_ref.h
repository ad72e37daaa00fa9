// Colours as 32-bit RGB values with red in the low byte, the form the
// owners of the controls store and exchange.
#pragma once

#include <QColor>
#include <cstdint>

namespace korvel {

using ColorRef = uint32_t;

#ifndef RGB
constexpr ColorRef RGB(int r, int g, int b) {
    return static_cast<ColorRef>(r & 0xFF) | (static_cast<ColorRef>(g & 0xFF) << 8) |
           (static_cast<ColorRef>(b & 0xFF) << 16);
}
#endif

constexpr int RedOf(ColorRef c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(ColorRef c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(ColorRef c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

inline QColor ToQColor(ColorRef c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

inline ColorRef FromQColor(const QColor& c) {
    return RGB(c.red(), c.green(), c.blue());
}

}  // namespace korvel
