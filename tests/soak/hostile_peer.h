// A peer on the instrument's socket that never answers properly: random raw
// bytes, a frame header announcing 65535 bytes that never come, a whole
// 65535-byte frame, or frames nobody asked for. One connection at a time,
// until it is destroyed.
#pragma once

#include <cstdint>
#include <string>

#include "socket_peer.h"

namespace korvel::testing {

enum class HostileMode { RawGarbage, LengthWithoutData, HugeFrame, Unsolicited };

const char* HostileModeName(HostileMode mode);

class HostilePeer {
  public:
    HostilePeer(const std::string& socketPath, HostileMode mode, uint32_t seed);

    bool Listening() const { return peer_.Listening(); }
    int Connections() const { return peer_.Connections(); }

  private:
    void Serve(testing::PeerConnection& connection) const;
    std::vector<uint8_t> Answer(int connectionIndex) const;

    HostileMode mode_;
    uint32_t seed_;
    testing::SocketPeer peer_;  // last: its scripts use the members above
};

}  // namespace korvel::testing
