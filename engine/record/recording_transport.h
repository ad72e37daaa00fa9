// A transport that passes every call to another one and writes each to a
// recording as it happens: instrument counts, opens, closes, and every
// transfer with its bytes, result and duration.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "clock.h"
#include "device_transport.h"
#include "traffic_writer.h"

namespace korvel {

class RecordingTransport final : public DeviceTransport {
  public:
    // Monotonic time for the lines' times and the transfers' durations.
    using TimeSource = std::function<Milliseconds()>;

    // `writer` is already open, its header written.
    RecordingTransport(std::unique_ptr<DeviceTransport> inner, record::TrafficWriter writer,
                       std::string path, TimeSource now = {});

    DeviceTransport& Inner() { return *inner_; }

    int CountDevices() override;
    bool OpenDevice() override;
    bool IsOpen() const override { return inner_->IsOpen(); }
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override { inner_->Interrupt(); }
    bool WatchArrivals(std::function<void()> onArrival) override {
        return inner_->WatchArrivals(std::move(onArrival));
    }
    // The inner transport's notices, and once that the recording has stopped
    // because the file could not be written.
    std::string TakeNotice() override;

  private:
    record::TrafficEntry Begin(record::TrafficOp op);
    void Finish(record::TrafficEntry& entry, Milliseconds began, int returned);
    void Append(const record::TrafficEntry& entry);

    std::unique_ptr<DeviceTransport> inner_;
    std::string path_;
    TimeSource now_;
    Milliseconds start_;
    std::mutex mutex_;  // guards the writer and the flags below
    record::TrafficWriter writer_;
    bool writeFailed_ = false;
    bool failureNoticed_ = false;
};

// Wraps `inner`; writes FILE (truncated) with the header line first. Null + message on failure.
std::unique_ptr<DeviceTransport> MakeRecordingTransport(std::unique_ptr<DeviceTransport> inner,
                                                        const std::string& path,
                                                        const std::string& program,
                                                        const std::string& device,
                                                        std::string& error);

// The transport under any recording wrapped around `transport`.
DeviceTransport& Unrecorded(DeviceTransport& transport);

}  // namespace korvel
