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
    // Told once, at once, from the thread whose call could not be written.
    using FailureReport = std::function<void(const std::string& message)>;

    // `writer` is already open, its header written.
    RecordingTransport(std::unique_ptr<DeviceTransport> inner, record::TrafficWriter writer,
                       std::string path, TimeSource now = {});
    // The file is created (or replaced) only by Start(), once the run has
    // really started; calls before it are passed on unrecorded.
    RecordingTransport(std::unique_ptr<DeviceTransport> inner, std::string path,
                       record::TrafficHeader header, TimeSource now = {});

    // Writes the header; false with a message naming the file. Times count
    // from here.
    bool Start(std::string& error);
    // `report` is told "The recording ... could not be written; it ends
    // here." the moment a line cannot be written.
    void SetFailureReport(FailureReport report);
    // True once a line could not be written: the recording is incomplete.
    bool WriteFailed() const;

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
    // because the file could not be written, unless a report was told.
    std::string TakeNotice() override;

  private:
    record::TrafficEntry Begin(record::TrafficOp op);
    void Finish(record::TrafficEntry& entry, Milliseconds began, int returned);
    void Append(const record::TrafficEntry& entry);
    std::string FailureMessage() const;

    std::unique_ptr<DeviceTransport> inner_;
    std::string path_;
    TimeSource now_;
    Milliseconds start_;
    record::TrafficHeader header_;
    mutable std::mutex mutex_;  // guards the writer and the members below
    record::TrafficWriter writer_;
    FailureReport report_;
    bool writeFailed_ = false;
    bool failureNoticed_ = false;
};

// Wraps `inner`, not yet started (no file touched); null with a message when
// there is nothing to record or no file name.
std::unique_ptr<RecordingTransport> PrepareRecordingTransport(
    std::unique_ptr<DeviceTransport> inner, const std::string& path, const std::string& program,
    const std::string& device, std::string& error);
// As PrepareRecordingTransport, started: FILE written (replaced) with the
// header line first. Null + message on failure.
std::unique_ptr<RecordingTransport> MakeRecordingTransport(std::unique_ptr<DeviceTransport> inner,
                                                           const std::string& path,
                                                           const std::string& program,
                                                           const std::string& device,
                                                           std::string& error);

// The transport under any recording wrapped around `transport`.
DeviceTransport& Unrecorded(DeviceTransport& transport);

}  // namespace korvel
