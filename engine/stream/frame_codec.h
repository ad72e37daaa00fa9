// Framing of the stream transport, both directions: a 2-byte little-endian
// length N, then N bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel {

inline constexpr std::size_t kMaxFramePayload = 65535;

// Header and payload in one buffer (sent with one call). The payload must
// not exceed kMaxFramePayload.
std::vector<uint8_t> EncodeFrame(const uint8_t* payload, std::size_t length);

// Collects received bytes and hands out whole frames in order.
class FrameDecoder {
  public:
    void Feed(const uint8_t* data, std::size_t length);
    bool HasFrame() const;
    // The next whole frame's payload; call only when HasFrame().
    std::vector<uint8_t> PopFrame();
    // Bytes held that are not yet handed out (partial or whole frames).
    std::size_t Buffered() const { return buffer_.size() - start_; }
    void Clear();

  private:
    std::size_t FrameLengthAt(std::size_t at) const;

    std::vector<uint8_t> buffer_;
    std::size_t start_ = 0;
};

}  // namespace korvel
