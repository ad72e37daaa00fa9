// A scripted lower layer for worker, calibration and window tests: an
// in-memory instrument that answers the three commands, keeps a calibration
// memory, logs every command and can be told to fail a given transfer or to
// stop answering altogether.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/device_link.h"
#include "device_transport.h"

namespace korvel::testing {

struct LiveWords {
    uint16_t amp = 1475;
    uint16_t ref = 2950;
    uint16_t phase = 1475;
    uint16_t power = 2446;
};

struct LoggedCommand {
    uint8_t code = 0;
    uint32_t tuningWord = 0;  // 0xA1
    uint16_t index = 0;       // 0xA2
    uint8_t block = 0;        // 0xA4
    uint8_t page = 0;
    std::array<uint8_t, 32> data{};
};

class ScriptedInstrument final : public DeviceTransport {
  public:
    static constexpr int kRecords = 7 * 128;

    ScriptedInstrument();

    int CountDevices() override;
    bool OpenDevice() override;
    bool IsOpen() const override { return open_; }
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override { interrupted_.store(true, std::memory_order_relaxed); }
    bool WatchArrivals(std::function<void()> onArrival) override {
        arrivalHandler = std::move(onArrival);
        return announcesArrivals;
    }
    std::string TakeNotice() override { return std::exchange(notice, {}); }

    // Script (set before the worker runs, or from a hook on its thread).
    std::atomic<int> devices{1};
    int openFailures = 0;  // the first N OpenDevice calls fail
    int failCommand = -1;  // the command with this log position gets a short reply
    int replyLengthOnFailure = 17;
    // Cleared: every read times out (may change while the worker runs).
    std::atomic<bool> answer{true};
    // Live words for the generator's current tuning word.
    std::function<LiveWords(uint32_t tuningWord)> live;
    std::array<CalRecord, kRecords> memory{};
    // Set before the worker is made: the transport announces arrivals.
    bool announcesArrivals = false;
    // Handed to the worker once, at its next look for the instrument.
    std::string notice;

    // What happened.
    std::vector<LoggedCommand> log;
    int opens = 0;
    int closes = 0;
    int counts = 0;
    std::function<void()> arrivalHandler;  // what the worker registered

    std::vector<LoggedCommand> Commands(uint8_t code) const;

  private:
    bool open_ = false;
    std::atomic<bool> interrupted_{false};
    uint32_t tuningWord_ = 0;
    std::array<uint8_t, 18> reply_{};
    int replyLength_ = 0;
};

}  // namespace korvel::testing
