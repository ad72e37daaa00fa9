// The instrument's 16-bit words travel little-endian, low byte first.
#pragma once

#include <cstdint>

namespace korvel {

inline uint16_t ReadWord(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline void WriteWord(uint8_t* p, uint16_t w) {
    p[0] = static_cast<uint8_t>(w & 0xFF);
    p[1] = static_cast<uint8_t>(w >> 8);
}

}  // namespace korvel
