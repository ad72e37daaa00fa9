#include "impedance_markers.h"

#include <algorithm>

namespace korvel {

void ImpedanceMarkers::Click(std::size_t point, std::size_t near, std::size_t count) {
    if (count == 0)
        return;
    point = std::min(point, count - 1);
    for (std::size_t k = 0; k < at_.size(); ++k) {
        const std::size_t gap = at_[k] > point ? at_[k] - point : point - at_[k];
        if (gap <= near) {
            selected_ = static_cast<int>(k);
            return;
        }
    }
    if (static_cast<int>(at_.size()) < kMaxMarkers) {
        at_.push_back(point);
        selected_ = static_cast<int>(at_.size()) - 1;
        return;
    }
    at_[selected_] = point;
}

void ImpedanceMarkers::Drag(std::size_t point, std::size_t count) {
    if (count == 0)
        return;
    if (selected_ < 0) {
        Click(point, 0, count);
        return;
    }
    at_[selected_] = std::min(point, count - 1);
}

void ImpedanceMarkers::Select(int marker, std::size_t count) {
    if (marker < 0 || marker >= kMaxMarkers || count == 0)
        return;
    while (static_cast<int>(at_.size()) <= marker)
        at_.push_back(count / 2);
    selected_ = marker;
}

void ImpedanceMarkers::Move(int by, std::size_t count) {
    if (selected_ < 0 || count == 0)
        return;
    const long moved = static_cast<long>(at_[selected_]) + by;
    at_[selected_] = static_cast<std::size_t>(std::clamp(moved, 0L, static_cast<long>(count) - 1));
}

void ImpedanceMarkers::RemoveSelected() {
    if (selected_ < 0)
        return;
    at_.erase(at_.begin() + selected_);
    selected_ = at_.empty() ? -1 : std::min(selected_, static_cast<int>(at_.size()) - 1);
}

}  // namespace korvel
