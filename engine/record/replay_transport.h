// Plays a recording back as the instrument: each call is compared with the
// next recorded one, and on a match answers as the instrument did (the
// reply, a time-out or an error, at once). At the first call that differs the
// replay says so once and from then on behaves as an unplugged instrument.
#pragma once

#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "clock.h"
#include "device_transport.h"
#include "traffic_reader.h"

namespace korvel {

class ReplayTransport final : public DeviceTransport {
  public:
    // A replayed time-out advances `clock` by the recorded wait when one is
    // given (a virtual clock sees the pause); it never waits in real time.
    // The divergence is reported on `diagnostics`.
    explicit ReplayTransport(record::Recording recording, Clock* clock = nullptr,
                             std::ostream& diagnostics = std::cerr);
    // Plays a recording that was read once and is shared, not copied.
    explicit ReplayTransport(std::shared_ptr<const record::Recording> recording,
                             Clock* clock = nullptr, std::ostream& diagnostics = std::cerr);

    int CountDevices() override;
    bool OpenDevice() override;
    bool IsOpen() const override;
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override { interrupted_.Raise(); }

    // True once a call did not match the recording.
    bool Diverged() const;

  private:
    // The next recorded entry when it is a call of kind `op` (and, for a
    // write, with these bytes); otherwise null, after reporting the divergence.
    const record::TrafficEntry* Match(record::TrafficOp op, const uint8_t* data, int length);
    void PassTimeout(const record::TrafficEntry& entry);

    const std::shared_ptr<const record::Recording> recording_;
    Clock* clock_;
    std::ostream& diagnostics_;
    StopSignal interrupted_;
    mutable std::mutex mutex_;  // guards the members below
    std::size_t next_ = 0;
    bool diverged_ = false;
    bool open_ = false;
};

}  // namespace korvel
