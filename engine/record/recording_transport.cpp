#include "recording_transport.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace korvel {

using record::TrafficEntry;
using record::TrafficOp;
using record::TransferResult;

namespace {

Milliseconds SteadyNow() {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

RecordingTransport::RecordingTransport(std::unique_ptr<DeviceTransport> inner,
                                       record::TrafficWriter writer, std::string path,
                                       TimeSource now)
    : inner_(std::move(inner)),
      path_(std::move(path)),
      now_(now ? std::move(now) : TimeSource(SteadyNow)),
      start_(now_()),
      writer_(std::move(writer)) {}

RecordingTransport::RecordingTransport(std::unique_ptr<DeviceTransport> inner, std::string path,
                                       record::TrafficHeader header, TimeSource now)
    : inner_(std::move(inner)),
      path_(std::move(path)),
      now_(now ? std::move(now) : TimeSource(SteadyNow)),
      start_(now_()),
      header_(std::move(header)) {}

bool RecordingTransport::Start(std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    header_.start = record::UtcTimestamp();
    start_ = now_();
    return writer_.Open(path_, header_, error);
}

void RecordingTransport::SetFailureReport(FailureReport report) {
    std::lock_guard<std::mutex> lock(mutex_);
    report_ = std::move(report);
}

bool RecordingTransport::WriteFailed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeFailed_;
}

TrafficEntry RecordingTransport::Begin(TrafficOp op) {
    TrafficEntry entry;
    entry.op = op;
    entry.atMs = (now_() - start_).count();
    return entry;
}

void RecordingTransport::Finish(TrafficEntry& entry, Milliseconds began, int returned) {
    entry.tookMs = std::max<int64_t>(0, (now_() - began).count());
    entry.value = returned;
    entry.openAfter = inner_->IsOpen();
    if (returned > 0) {
        entry.result = TransferResult::Ok;
    } else {
        // The lower layer returns 0 both when the time-out ran out and when
        // the transfer failed at once; only the time it took tells them apart.
        entry.result = entry.tookMs >= kTransferTimeoutMs - 50 ? TransferResult::Timeout
                                                               : TransferResult::Error;
        entry.value = 0;
    }
}

void RecordingTransport::Append(const TrafficEntry& entry) {
    FailureReport report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (writeFailed_ || !writer_.IsOpen() || writer_.Write(entry))
            return;
        writeFailed_ = true;
        if (report_) {
            failureNoticed_ = true;
            report = report_;
        }
    }
    if (report)
        report(FailureMessage());
}

std::string RecordingTransport::FailureMessage() const {
    return "The recording \"" + path_ + "\" could not be written; it ends here.";
}

int RecordingTransport::CountDevices() {
    TrafficEntry entry = Begin(TrafficOp::Count);
    entry.value = inner_->CountDevices();
    Append(entry);
    return entry.value;
}

bool RecordingTransport::OpenDevice() {
    TrafficEntry entry = Begin(TrafficOp::Open);
    const bool opened = inner_->OpenDevice();
    entry.value = opened ? 1 : 0;
    Append(entry);
    return opened;
}

void RecordingTransport::CloseDevice() {
    TrafficEntry entry = Begin(TrafficOp::Close);
    inner_->CloseDevice();
    Append(entry);
}

int RecordingTransport::WriteBlock(const uint8_t* data, int length) {
    TrafficEntry entry = Begin(TrafficOp::Write);
    const Milliseconds began = now_();
    if (data != nullptr && length > 0) {
        const std::size_t kept = std::min<std::size_t>(length, record::kMaxTransferBytes);
        entry.bytes.assign(data, data + kept);
    }
    const int written = inner_->WriteBlock(data, length);
    Finish(entry, began, std::min<int>(written, static_cast<int>(entry.bytes.size())));
    Append(entry);
    return written;
}

int RecordingTransport::ReadBlock(uint8_t* buffer, int length) {
    TrafficEntry entry = Begin(TrafficOp::Read);
    const Milliseconds began = now_();
    const int got = inner_->ReadBlock(buffer, length);
    const int reported = std::clamp<int>(got, 0, static_cast<int>(record::kMaxTransferBytes));
    Finish(entry, began, reported);
    if (buffer != nullptr && reported > 0 && length > 0)
        entry.bytes.assign(buffer, buffer + std::min(reported, length));
    Append(entry);
    return got;
}

std::string RecordingTransport::TakeNotice() {
    std::string notice = inner_->TakeNotice();
    std::lock_guard<std::mutex> lock(mutex_);
    if (writeFailed_ && !failureNoticed_) {
        failureNoticed_ = true;
        const std::string stopped = FailureMessage();
        notice = notice.empty() ? stopped : notice + "\n" + stopped;
    }
    return notice;
}

std::unique_ptr<RecordingTransport> PrepareRecordingTransport(
    std::unique_ptr<DeviceTransport> inner, const std::string& path, const std::string& program,
    const std::string& device, std::string& error) {
    if (!inner) {
        error = "no instrument layer to record";
        return nullptr;
    }
    if (path.empty()) {
        error = "the recording needs a file name";
        return nullptr;
    }
    record::TrafficHeader header;
    header.program = program;
#if defined(KORVEL_VERSION)
    header.programVersion = KORVEL_VERSION;
#endif
    header.device = device;
    return std::make_unique<RecordingTransport>(std::move(inner), path, std::move(header));
}

std::unique_ptr<RecordingTransport> MakeRecordingTransport(std::unique_ptr<DeviceTransport> inner,
                                                           const std::string& path,
                                                           const std::string& program,
                                                           const std::string& device,
                                                           std::string& error) {
    auto recording = PrepareRecordingTransport(std::move(inner), path, program, device, error);
    if (!recording || !recording->Start(error))
        return nullptr;
    return recording;
}

DeviceTransport& Unrecorded(DeviceTransport& transport) {
    if (auto* recording = dynamic_cast<RecordingTransport*>(&transport))
        return Unrecorded(recording->Inner());
    return transport;
}

}  // namespace korvel
