#include "progress_lines.h"

#include <algorithm>

namespace korvel {

int ProgressChannelForY(int y) {
    for (int channel = 0; channel < static_cast<int>(kProgressY.size()); ++channel) {
        if (kProgressY[channel] == y) {
            return channel;
        }
    }
    return -1;
}

bool ProgressLines::Set(int y, int xEnd) {
    const int channel = ProgressChannelForY(y);
    if (channel < 0) {
        return false;
    }
    // The line never runs left of its start nor past the full sweep length.
    const int clamped = std::clamp(xEnd, kProgressX0, kProgressX0 + kProgressSpan);
    ends_[channel].store(clamped, std::memory_order_relaxed);
    return true;
}

void ProgressLines::ClearAll() {
    for (auto& end : ends_) {
        end.store(kNone, std::memory_order_relaxed);
    }
}

}  // namespace korvel
