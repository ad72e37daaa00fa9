// The transport of a system without a driver for the instrument: nothing is
// ever present, nothing opens, and no transfer moves a byte.
#pragma once

#include <cstdint>

#include "device_transport.h"

namespace korvel {

class NoInstrumentTransport final : public DeviceTransport {
  public:
    int CountDevices() override { return 0; }
    bool OpenDevice() override { return false; }
    bool IsOpen() const override { return false; }
    int WriteBlock(const uint8_t*, int) override { return 0; }
    int ReadBlock(uint8_t*, int) override { return 0; }
    void CloseDevice() override {}
};

}  // namespace korvel
