// A lower layer that passes everything to another one and keeps the link's
// traffic: each block written and each reply read (its count, then the
// bytes copied), in order, as one byte string per transfer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "device_transport.h"

namespace korvel::testing {

class TrafficLog final : public DeviceTransport {
  public:
    explicit TrafficLog(DeviceTransport& inner) : inner_(inner) {}

    int CountDevices() override { return inner_.CountDevices(); }
    bool OpenDevice() override { return inner_.OpenDevice(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    int WriteBlock(const uint8_t* data, int length) override {
        const int written = inner_.WriteBlock(data, length);
        transfers.push_back("w" + std::to_string(written) + ":" +
                            std::string(data, data + std::max(length, 0)));
        return written;
    }
    int ReadBlock(uint8_t* buffer, int length) override {
        const int got = inner_.ReadBlock(buffer, length);
        transfers.push_back("r" + std::to_string(got) + ":" +
                            std::string(buffer, buffer + std::clamp(got, 0, length)));
        return got;
    }
    void CloseDevice() override { inner_.CloseDevice(); }
    void Interrupt() override { inner_.Interrupt(); }
    bool WatchArrivals(std::function<void()> onArrival) override {
        return inner_.WatchArrivals(std::move(onArrival));
    }
    std::string TakeNotice() override { return inner_.TakeNotice(); }

    std::vector<std::string> transfers;  // worker thread only

  private:
    DeviceTransport& inner_;
};

}  // namespace korvel::testing
