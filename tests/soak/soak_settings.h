// How long a soak runs: a short run in the normal test command, a long one
// when the build enables KORVEL_SOAK_LONG. KORVEL_SOAK_EPISODES and
// KORVEL_SOAK_SEED in the environment override the count and the seed, so a
// failing run can be repeated exactly.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace korvel::testing {

#ifndef KORVEL_SOAK_LONG
#define KORVEL_SOAK_LONG 0
#endif

inline constexpr bool kLongSoak = KORVEL_SOAK_LONG != 0;

// A positive whole number from the environment, or `fallback`.
inline uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return (*end == '\0' && value > 0 && value < 100000000ULL) ? value : fallback;
}

inline int SoakEpisodes(int shortRun, int longRun) {
    return static_cast<int>(EnvNumber("KORVEL_SOAK_EPISODES", kLongSoak ? longRun : shortRun));
}

inline uint32_t SoakSeed() {
    return static_cast<uint32_t>(EnvNumber("KORVEL_SOAK_SEED", 20261208));
}

}  // namespace korvel::testing
