#include "hostile_peer.h"

#include <random>
#include <vector>

namespace korvel::testing {

namespace {

std::vector<uint8_t> FrameOf(std::size_t length, uint8_t fill) {
    std::vector<uint8_t> frame(length + 2, fill);
    frame[0] = static_cast<uint8_t>(length & 0xFF);
    frame[1] = static_cast<uint8_t>(length >> 8);
    return frame;
}

}  // namespace

const char* HostileModeName(HostileMode mode) {
    switch (mode) {
        case HostileMode::RawGarbage:
            return "raw garbage";
        case HostileMode::LengthWithoutData:
            return "length 65535 without data";
        case HostileMode::HugeFrame:
            return "65535-byte frame";
        case HostileMode::Unsolicited:
            return "unsolicited frames";
    }
    return "?";
}

HostilePeer::HostilePeer(const std::string& socketPath, HostileMode mode, uint32_t seed)
    : mode_(mode),
      seed_(seed),
      peer_(
          socketPath, [this](testing::PeerConnection& c) { Serve(c); },
          testing::SocketPeer::Order::OneAtATime) {}

void HostilePeer::Serve(testing::PeerConnection& connection) const {
    if (mode_ == HostileMode::Unsolicited &&
        !connection.WriteAll(FrameOf(18, 0x5A), testing::kNoTimeout)) {
        return;
    }
    uint8_t chunk[4096];
    // Until the program closes the connection (or only probed).
    while (connection.ReadSome(chunk, sizeof chunk, testing::kNoTimeout) > 0) {
        connection.WriteAll(Answer(connection.Index()), testing::kNoTimeout);
    }
}

std::vector<uint8_t> HostilePeer::Answer(int connectionIndex) const {
    std::mt19937 rng(seed_ + static_cast<uint32_t>(connectionIndex + 1));
    std::vector<uint8_t> reply;
    switch (mode_) {
        case HostileMode::RawGarbage: {
            reply.resize(std::uniform_int_distribution<std::size_t>(1, 64)(rng));
            for (uint8_t& b : reply) {
                b = static_cast<uint8_t>(rng());
            }
            break;
        }
        case HostileMode::LengthWithoutData:
            reply = FrameOf(65535, 0xA5);
            reply.resize(2 + 100);  // the rest never comes
            break;
        case HostileMode::HugeFrame:
            reply = FrameOf(65535, 0xA5);
            break;
        case HostileMode::Unsolicited: {
            // Two answers to one command.
            const std::vector<uint8_t> one = FrameOf(18, 0x5A);
            reply = one;
            reply.insert(reply.end(), one.begin(), one.end());
            break;
        }
    }
    return reply;
}

}  // namespace korvel::testing
