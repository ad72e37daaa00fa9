// The worker's progress lines above the three charts: where each one lies and
// how far it has come in the current pass. Written by the worker thread,
// read by the window's paint; every value is a relaxed atomic.
#pragma once

#include <array>
#include <atomic>

namespace korvel {

inline constexpr int kProgressX0 = 430;
inline constexpr int kProgressSpan = 724;  // x reaches 430 + 724 * i / 200
inline constexpr int kProgressThickness = 3;
inline constexpr std::array<int, 3> kProgressY = {24, 174, 327};

// Channel 0..2 whose line lies at y, or -1.
int ProgressChannelForY(int y);

// End of the line at sweep point i (0..199): 430 + 724 * i / 200, integer division.
constexpr int ProgressLineEnd(int point) {
    return kProgressX0 + kProgressSpan * point / 200;
}

class ProgressLines {
  public:
    static constexpr int kNone = -1;

    // Returns false when y is not one of the three lines (nothing changes).
    bool Set(int y, int xEnd);
    void ClearAll();
    // x of the line's end, or kNone while the channel has not started this pass.
    int End(int channel) const { return ends_[channel].load(std::memory_order_relaxed); }

  private:
    std::array<std::atomic<int>, 3> ends_{kNone, kNone, kNone};
};

}  // namespace korvel
