// The lower layer over the in-process simulated instrument. A time-out does
// not really wait: the transfer returns 0 at once and, when a clock was
// given, advances it by the time-out (a virtual clock records the pause).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "clock.h"
#include "device_transport.h"
#include "sim_instrument.h"

namespace korvel {

class SimTransport final : public DeviceTransport {
  public:
    explicit SimTransport(std::shared_ptr<SimInstrument> instrument, Clock* clock = nullptr);

    int CountDevices() override;
    bool OpenDevice() override;
    bool IsOpen() const override;
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override;
    // Given once by TakeNotice (set before the transport is shared).
    void SetNotice(std::string notice) { notice_ = std::move(notice); }
    std::string TakeNotice() override;

    SimInstrument& Instrument() { return *instrument_; }

  private:
    bool Alive() const;
    // Waits out a transfer's time (the whole time-out, or a late reply's delay).
    void Pass(int ms);

    std::shared_ptr<SimInstrument> instrument_;
    Clock* clock_;
    StopSignal interrupted_;
    bool open_ = false;
    uint64_t openedGeneration_ = 0;
    // The reply to the last command, until it is read; dropped at the next
    // write so that an abandoned reply never lands in a later transfer.
    std::optional<SimReply> pending_;
    std::string notice_;
};

}  // namespace korvel
