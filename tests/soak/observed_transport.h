// A lower layer that sits between the worker and the real one and checks, at
// every transfer, the link rules that must hold however the instrument
// misbehaves: nothing is sent while the link is down or after a failed
// transfer of the same connection, and every connection starts by reloading
// records 767 and 768. It also mirrors every page write into a shadow of the
// calibration memory, so a test can prove the instrument holds no page that
// was never sent. Every call comes from the worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clock.h"
#include "core/device_link.h"
#include "core/measurement_state.h"
#include "device_transport.h"

namespace korvel::testing {

class ObservedTransport final : public DeviceTransport {
  public:
    // Records cover 10 blocks of 128, like the simulated memory.
    static constexpr int kShadowRecords = 1280;

    ObservedTransport(DeviceTransport& inner, const MeasurementState& state, const Clock& clock,
                      std::vector<CalRecord> memoryAtStart);

    int CountDevices() override { return inner_.CountDevices(); }
    bool OpenDevice() override;
    bool IsOpen() const override { return inner_.IsOpen(); }
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override { inner_.CloseDevice(); }
    void Interrupt() override { inner_.Interrupt(); }

    // Connections opened so far; 0 before the first. These three may be read
    // from any thread.
    int Connection() const { return connection_.load(kRelaxed); }
    int FailuresInConnection() const { return failuresInConnection_.load(kRelaxed); }
    // Clock time at which record 768 of the current connection came back
    // whole; negative until then.
    Milliseconds ReloadedAt() const { return Milliseconds(reloadedAtMs_.load(kRelaxed)); }
    uint64_t Transfers() const { return transfers_; }
    uint64_t FailedTransfers() const { return failedTransfers_; }

    // Pages sent since the last call, as block * 32 + page, in order.
    std::vector<int> TakePagesSent();
    const std::vector<CalRecord>& Shadow() const { return shadow_; }
    // The test changed the memory itself (not through a page write).
    void SetShadowRecord(int n, const CalRecord& record);

    // Broken rules, in the order seen.
    const std::vector<std::string>& Violations() const { return violations_; }
    // Called at each failed transfer (with the command byte).
    std::function<void(uint8_t)> onFailure;

  private:
    void Violation(const std::string& what);

    DeviceTransport& inner_;
    const MeasurementState& state_;
    const Clock& clock_;
    std::vector<CalRecord> shadow_;
    std::vector<int> pagesSent_;
    std::vector<std::string> violations_;
    std::atomic<int> connection_{0};
    int commandsInConnection_ = 0;
    std::atomic<int> failuresInConnection_{0};
    uint8_t lastCommand_ = 0;
    uint16_t lastIndex_ = 0;
    std::atomic<int64_t> reloadedAtMs_{-1};
    uint64_t transfers_ = 0;
    uint64_t failedTransfers_ = 0;
};

}  // namespace korvel::testing
