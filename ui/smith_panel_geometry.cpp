#include "smith_panel_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "safe_convert.h"

namespace korvel {

SmithPlotPosition SmithPositionAt(double r, double a) {
    return {kSmithPlotCentreX + r * std::cos(a), kSmithPlotCentreY - r * std::sin(a)};
}

bool SmithTriangleInBounds(double x, double y) {
    return 12 < x && x < 393 && 33 < y && y < 420;
}

bool SmithLabelInBounds(double x, double y) {
    return 5 < x && x < 330 && 25 < y && y < 400;
}

std::optional<SmithTriangle> SmithTriangleAt(double r, double a) {
    const SmithPlotPosition p = SmithPositionAt(r, a);
    if (!SmithTriangleInBounds(p.x, p.y)) {
        return std::nullopt;
    }
    // The bounds keep every corner within a few hundred pixels, so the
    // conversions below are exact truncations.
    SmithTriangle t;
    t.apex = QPoint(TruncToInt(p.x), TruncToInt(p.y));
    t.baseLeft = QPoint(TruncToInt(p.x - 7), TruncToInt(p.y - 8));
    t.baseRight = QPoint(TruncToInt(p.x + 7), TruncToInt(p.y - 8));
    return t;
}

std::optional<QPoint> SmithLabelAt(double r, double a) {
    const SmithPlotPosition p = SmithPositionAt(r, a);
    if (!SmithLabelInBounds(p.x, p.y)) {
        return std::nullopt;
    }
    return QPoint(TruncToInt(p.x), TruncToInt(p.y));
}

std::vector<QPoint> SmithLinePixels(QPoint from, QPoint to) {
    // In 64 bits so that no pair of int coordinates overflows.
    const int64_t dx = int64_t{to.x()} - from.x();
    const int64_t dy = int64_t{to.y()} - from.y();
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    std::vector<QPoint> pixels;
    // Markers are short; a line longer than the panel is never asked for.
    constexpr int64_t kMaxSteps = 4096;
    if (steps == 0 || steps > kMaxSteps) {
        return pixels;
    }
    pixels.reserve(static_cast<std::size_t>(steps));
    for (int64_t i = 0; i < steps; ++i) {
        // Offset i·d/steps rounded half away from zero.
        const auto along = [&](int64_t d) {
            const int64_t twice = 2 * i * d;
            return twice >= 0 ? (twice + steps) / (2 * steps) : -((-twice + steps) / (2 * steps));
        };
        pixels.emplace_back(static_cast<int>(from.x() + along(dx)),
                            static_cast<int>(from.y() + along(dy)));
    }
    return pixels;
}

}  // namespace korvel
