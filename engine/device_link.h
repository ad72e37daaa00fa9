// Upper layer of the device link: command blocks, reply lengths, the linkUp
// rule and the one-message-per-failure behaviour. Runs on the worker thread.
#pragma once

#include <cstdint>

#include "device_transport.h"
#include "measurement_state.h"
#include "worker_window.h"

namespace korvel {

// Eight words of a ReadDetectors reply.
struct DetectorReading {
    uint16_t liveAmp = 0;
    uint16_t liveRef = 0;
    uint16_t livePhase = 0;
    uint16_t livePower = 0;
    uint16_t calAmp = 0;
    uint16_t calRef = 0;
    uint16_t calPhase = 0;
    uint16_t calPower = 0;
};

// Eight bytes of calibration memory: four little-endian words.
struct CalRecord {
    uint16_t amp = 0;
    uint16_t ref = 0;
    uint16_t phase = 0;
    uint16_t power = 0;
};

inline constexpr uint16_t kOpenPortRecord = 767;
inline constexpr uint16_t kInputPowerRecord = 768;

// round((f - 1) * 20) cut to 16 bits: the truncation of (f - 1) * 20 + 0.5,
// wrapped to 16 bits like an integer cast (0.9 MHz gives 65535). Defined for
// every input: NaN and +-infinity give 0, huge values keep their low 16 bits.
uint16_t CalibrationIndex(double freqMHz);
// f * 35791352 rounded, low 32 bits, wrapped the same way. NaN and
// +-infinity give 0.
uint32_t TuningWord(double freqMHz);

// Serialises a record into 8 bytes and back (little-endian words).
void PackCalRecord(const CalRecord& record, uint8_t out[8]);
CalRecord UnpackCalRecord(const uint8_t in[8]);

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
    void WriteCalPage(uint8_t block, uint8_t page, const uint8_t data[32]);

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
