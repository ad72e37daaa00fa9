// The reflection detector's readings at every sweep point, kept for the
// impedance views: the detector gives the size of each vector's phase, not its
// sign, so the sweep's VSWR keeps only a magnitude, and these let the signs be
// settled across the whole sweep afterwards. The worker writes, any thread
// reads; each half of a point (live, stored) travels whole.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace korvel {

inline constexpr std::size_t kReadingPoints = 200;  // one per sweep point

// Magnitudes are in reflection units (divided by the bridge's tracking);
// phase sizes in radians, 0 to pi. NaN where the point was never measured.
struct PointReading {
    float liveMag;
    float livePhase;
    float storedMag;
    float storedPhase;
};

class ReflectionReadings {
  public:
    ReflectionReadings();

    // channel 1..3, point 0..199; anything else is ignored (Load gives NaN).
    void Store(int channel, int point, const PointReading& reading);
    PointReading Load(int channel, int point) const;
    // Counts the stores into a channel: a reader looks again only when it moved.
    uint32_t Generation(int channel) const;

  private:
    static constexpr std::size_t kChannels = 3;
    // Two floats per word: (liveMag, livePhase) and (storedMag, storedPhase).
    std::array<std::array<std::atomic<uint64_t>, 2 * kReadingPoints>, kChannels> words_;
    std::array<std::atomic<uint32_t>, kChannels> generation_{};
};

}  // namespace korvel
