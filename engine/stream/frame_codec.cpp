#include "frame_codec.h"

namespace korvel {

std::vector<uint8_t> EncodeFrame(const uint8_t* payload, std::size_t length) {
    std::vector<uint8_t> frame(2 + length);
    frame[0] = static_cast<uint8_t>(length & 0xFF);
    frame[1] = static_cast<uint8_t>((length >> 8) & 0xFF);
    for (std::size_t i = 0; i < length; ++i) {
        frame[2 + i] = payload[i];
    }
    return frame;
}

void FrameDecoder::Feed(const uint8_t* data, std::size_t length) {
    // Reclaim handed-out bytes before growing, so a long session stays small.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + length);
}

std::size_t FrameDecoder::FrameLengthAt(std::size_t at) const {
    return static_cast<std::size_t>(buffer_[at] | (buffer_[at + 1] << 8));
}

bool FrameDecoder::HasFrame() const {
    const std::size_t held = Buffered();
    return held >= 2 && held >= 2 + FrameLengthAt(start_);
}

std::vector<uint8_t> FrameDecoder::PopFrame() {
    if (!HasFrame()) {
        return {};
    }
    const std::size_t length = FrameLengthAt(start_);
    const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + 2);
    std::vector<uint8_t> payload(first, first + static_cast<std::ptrdiff_t>(length));
    start_ += 2 + length;
    return payload;
}

void FrameDecoder::Clear() {
    buffer_.clear();
    start_ = 0;
}

}  // namespace korvel
