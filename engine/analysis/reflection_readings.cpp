#include "reflection_readings.h"

#include <bit>
#include <limits>

namespace korvel {
namespace {

constexpr auto kOrder = std::memory_order_relaxed;

uint64_t Pack(float a, float b) {
    return uint64_t{std::bit_cast<uint32_t>(a)} | (uint64_t{std::bit_cast<uint32_t>(b)} << 32);
}

float Low(uint64_t w) {
    return std::bit_cast<float>(static_cast<uint32_t>(w));
}

float High(uint64_t w) {
    return std::bit_cast<float>(static_cast<uint32_t>(w >> 32));
}

bool Valid(int channel, int point) {
    return channel >= 1 && channel <= 3 && point >= 0 && point < static_cast<int>(kReadingPoints);
}

}  // namespace

ReflectionReadings::ReflectionReadings() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto& channel : words_) {
        for (auto& word : channel)
            word.store(Pack(nan, nan), kOrder);
    }
}

void ReflectionReadings::Store(int channel, int point, const PointReading& r) {
    if (!Valid(channel, point))
        return;
    auto& words = words_[channel - 1];
    words[2 * point].store(Pack(r.liveMag, r.livePhase), kOrder);
    words[2 * point + 1].store(Pack(r.storedMag, r.storedPhase), kOrder);
    generation_[channel - 1].fetch_add(1, kOrder);
}

PointReading ReflectionReadings::Load(int channel, int point) const {
    if (!Valid(channel, point)) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return {nan, nan, nan, nan};
    }
    const auto& words = words_[channel - 1];
    const uint64_t live = words[2 * point].load(kOrder);
    const uint64_t stored = words[2 * point + 1].load(kOrder);
    return {Low(live), High(live), Low(stored), High(stored)};
}

uint32_t ReflectionReadings::Generation(int channel) const {
    return channel >= 1 && channel <= 3 ? generation_[channel - 1].load(kOrder) : 0;
}

}  // namespace korvel
