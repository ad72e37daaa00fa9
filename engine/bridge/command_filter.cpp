#include "command_filter.h"

#include <cstdio>

namespace korvel::bridge {

namespace {

constexpr std::size_t kHeader = 2;

// The first bytes of a refused payload, for the log.
std::string Hex(const uint8_t* data, std::size_t length) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length && i < 4; ++i) {
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", data[i]);
        text += byte;
    }
    return length > 4 ? text + " ..." : text;
}

}  // namespace

bool IsCalibrationPageWrite(const std::vector<uint8_t>& command) {
    return command.size() >= 2 && command[0] == kCommandLead && command[1] == kWriteCalPageCommand;
}

void CommandFilter::Refuse(std::string why) {
    refusal_ = std::move(why);
    partial_.clear();
    commands_.clear();
}

bool CommandFilter::CheckHeader() {
    const std::size_t length = partial_[0] | (partial_[1] << 8);
    if (length == 0) {
        Refuse("an empty frame");
    } else if (length > kLargestCommand) {
        Refuse("a frame of " + std::to_string(length) + " bytes (no command is longer than " +
               std::to_string(kLargestCommand) + ")");
    }
    return !Refused();
}

void CommandFilter::Feed(const uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length && !Refused(); ++i) {
        partial_.push_back(data[i]);
        if (partial_.size() == kHeader) {
            CheckHeader();
            continue;
        }
        if (partial_.size() < kHeader ||
            partial_.size() < kHeader + (partial_[0] | (partial_[1] << 8))) {
            continue;
        }
        const uint8_t* payload = partial_.data() + kHeader;
        const std::size_t payloadLength = partial_.size() - kHeader;
        if (!IsInstrumentCommand(payload, payloadLength)) {
            Refuse("a frame of " + std::to_string(payloadLength) + " bytes that is no command (" +
                   Hex(payload, payloadLength) + ")");
        } else if (commands_.size() == kMaxCommandsAhead) {
            Refuse("more than " + std::to_string(kMaxCommandsAhead) +
                   " commands sent ahead of their replies");
        } else {
            commands_.emplace_back(payload, payload + payloadLength);
            partial_.clear();
            ++received_;
        }
    }
}

CommandFilter::Verdict CommandFilter::Next(std::vector<uint8_t>& command, std::string& why) {
    if (Refused()) {
        why = refusal_;
        return Verdict::Refused;
    }
    if (commands_.empty()) {
        return Verdict::NeedMore;
    }
    command = std::move(commands_.front());
    commands_.pop_front();
    return Verdict::Command;
}

}  // namespace korvel::bridge
