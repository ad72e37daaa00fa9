// The progress lines above the three charts: where each one lies and how far
// it has come in the current pass. Set from the worker's progress events,
// read by the window's paint; every value is a relaxed atomic.
#pragma once

#include <array>
#include <atomic>

#include "core/sweep_plan.h"

namespace korvel {

inline constexpr int kProgressX0 = 430;
inline constexpr int kProgressSpan = 724;  // x reaches 430 + 724 * i / 200
inline constexpr int kProgressThickness = 3;
inline constexpr std::array<int, 3> kProgressY = {24, 174, 327};

// End of the line at sweep point i (0..199): 430 + 724 * i / 200, integer division.
constexpr int ProgressLineEnd(int point) {
    return kProgressX0 + kProgressSpan * point / static_cast<int>(kSweepPoints);
}

class ProgressLines {
  public:
    static constexpr int kNone = -1;

    // Line `index` (0..2) now ends at x `xEnd`; false for another index
    // (nothing changes).
    bool Set(int index, int xEnd);
    void ClearAll();
    // x of the line's end, or kNone while the channel has not started this pass.
    int End(int channel) const { return ends_[channel].load(std::memory_order_relaxed); }

  private:
    std::array<std::atomic<int>, 3> ends_{kNone, kNone, kNone};
};

}  // namespace korvel
