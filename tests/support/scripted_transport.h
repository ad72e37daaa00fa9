// A transport for device-link tests: it records every block written and
// hands out scripted raw replies in turn (none left: a time-out), so replies
// of any length or content can be played to the link.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "device_transport.h"

namespace korvel::testing {

class ScriptedTransport final : public DeviceTransport {
  public:
    int CountDevices() override { return count; }
    bool OpenDevice() override { return open = true; }
    bool IsOpen() const override { return open; }
    void CloseDevice() override { open = false; }
    int WriteBlock(const uint8_t* data, int length) override {
        written.emplace_back(data, data + length);
        return length;
    }
    int ReadBlock(uint8_t* buffer, int length) override {
        readSizes.push_back(length);
        if (replies.empty()) {
            return 0;  // time-out
        }
        const std::vector<uint8_t> reply = replies.front();
        replies.pop_front();
        for (int i = 0; i < static_cast<int>(reply.size()) && i < length; ++i) {
            buffer[i] = reply[i];
        }
        return static_cast<int>(reply.size());
    }

    int count = 1;
    bool open = false;
    std::deque<std::vector<uint8_t>> replies;
    std::vector<std::vector<uint8_t>> written;
    std::vector<int> readSizes;
};

}  // namespace korvel::testing
