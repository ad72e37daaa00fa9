// What a bridge client may send, checked before any of it reaches the
// instrument: stream frames (2-byte little-endian length, then the payload),
// each holding exactly one whole command of the instrument. Anything else
// ends the connection, so a confused or hostile client never gets a partial
// or unknown command through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "wire_protocol.h"

namespace korvel::bridge {

// Commands a client may send before the replies to earlier ones: a client
// that runs further ahead is not waiting for its replies.
inline constexpr std::size_t kMaxCommandsAhead = 16;

// True for a calibration-page write (0x7A 0xA4), which overwrites the
// instrument's calibration memory for good.
bool IsCalibrationPageWrite(const std::vector<uint8_t>& command);

class CommandFilter {
  public:
    enum class Verdict {
        NeedMore,  // no whole frame yet
        Command,   // `command` holds one whole, valid command
        Refused,   // the client broke the rules; `why` says how
    };

    // Checks every frame as soon as its header (and then its payload) is in,
    // so a long frame is refused without waiting for it.
    void Feed(const uint8_t* data, std::size_t length);
    // The next command in arrival order; once refused, always Refused (the
    // commands before the fault are not handed out: the connection ends).
    Verdict Next(std::vector<uint8_t>& command, std::string& why);
    bool Refused() const { return !refusal_.empty(); }
    // Bytes of an unfinished frame (dropped if the connection ends there).
    std::size_t Unfinished() const { return partial_.size(); }
    // Whole commands received so far.
    uint64_t Received() const { return received_; }

  private:
    // Checks the frame in partial_ once its header is in; false when refused.
    bool CheckHeader();
    void Refuse(std::string why);

    std::vector<uint8_t> partial_;
    std::deque<std::vector<uint8_t>> commands_;
    std::string refusal_;
    uint64_t received_ = 0;
};

}  // namespace korvel::bridge
