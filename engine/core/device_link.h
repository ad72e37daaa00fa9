// Upper layer of the device link: command blocks, reply lengths, the linkUp
// rule and the one-message-per-failure behaviour. Runs on the worker thread.
#pragma once

#include <cstdint>

#include "device_transport.h"
#include "measurement_state.h"
#include "wire_protocol.h"
#include "worker_window.h"

namespace korvel {

class DeviceLink {
  public:
    DeviceLink(DeviceTransport& transport, MeasurementState& state, WorkerWindow& window);

    int CountDevices();
    bool OpenDevice();
    bool IsOpen() const;
    void CloseDevice();

    // While linkUp is 0 these send nothing and leave their outputs alone. A
    // reply of the wrong length shows one message and then drops linkUp to 0.
    void SetFrequency(uint32_t tuningWord);
    void ReadDetectors(uint16_t index, DetectorReading& out);
    void WriteCalPage(uint8_t block, uint8_t page, const uint8_t data[kCalPageDataLength]);

  private:
    // Sends `length` bytes, reads the reply into buffer_; true when exactly
    // `expected` bytes came back, else shows `message` and drops the link.
    bool Exchange(int length, int expected, const char* message);

    DeviceTransport& transport_;
    MeasurementState& state_;
    WorkerWindow& window_;
    uint8_t buffer_[64] = {};
};

}  // namespace korvel
