#include "progress_lines.h"

#include <algorithm>

namespace korvel {

bool ProgressLines::Set(int index, int xEnd) {
    if (index < 0 || index >= static_cast<int>(ends_.size())) {
        return false;
    }
    // The line never runs left of its start nor past the full sweep length.
    const int clamped = std::clamp(xEnd, kProgressX0, kProgressX0 + kProgressSpan);
    ends_[index].store(clamped, std::memory_order_relaxed);
    return true;
}

void ProgressLines::ClearAll() {
    for (auto& end : ends_) {
        end.store(kNone, std::memory_order_relaxed);
    }
}

}  // namespace korvel
