#include "replay_transport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace korvel {

using record::TrafficEntry;
using record::TrafficOp;
using record::TransferResult;

namespace {

// A call as the divergence message shows it: "out 55aa0100", "in", "count".
std::string Describe(TrafficOp op, const std::vector<uint8_t>& bytes) {
    std::string text = record::OpName(op);
    if (op == TrafficOp::Write)
        text += " " + record::ToHex(bytes);
    return text;
}

}  // namespace

ReplayTransport::ReplayTransport(record::Recording recording, Clock* clock,
                                 std::ostream& diagnostics)
    : ReplayTransport(std::make_shared<const record::Recording>(std::move(recording)), clock,
                      diagnostics) {}

ReplayTransport::ReplayTransport(std::shared_ptr<const record::Recording> recording, Clock* clock,
                                 std::ostream& diagnostics)
    : recording_(std::move(recording)), clock_(clock), diagnostics_(diagnostics) {}

bool ReplayTransport::Diverged() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return diverged_;
}

bool ReplayTransport::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

const TrafficEntry* ReplayTransport::Match(TrafficOp op, const uint8_t* data, int length) {
    if (diverged_)
        return nullptr;
    std::vector<uint8_t> sent;
    if (op == TrafficOp::Write && data != nullptr && length > 0)
        sent.assign(data, data + length);
    const std::size_t exchange = next_ + 1;
    if (next_ < recording_->entries.size()) {
        const TrafficEntry& expected = recording_->entries[next_];
        if (expected.op == op && (op != TrafficOp::Write || expected.bytes == sent)) {
            ++next_;
            return &expected;
        }
        diagnostics_ << "replay diverged at exchange " << exchange << ": expected "
                     << Describe(expected.op, expected.bytes) << ", got " << Describe(op, sent)
                     << std::endl;
    } else {
        diagnostics_ << "replay diverged at exchange " << exchange
                     << ": expected the end of the recording, got " << Describe(op, sent)
                     << std::endl;
    }
    diverged_ = true;
    open_ = false;
    return nullptr;
}

void ReplayTransport::PassTimeout(const TrafficEntry& entry) {
    if (clock_ != nullptr && entry.result == TransferResult::Timeout && entry.tookMs > 0 &&
        !interrupted_.IsRaised()) {
        clock_->SleepFor(Milliseconds(entry.tookMs), interrupted_);
    }
}

int ReplayTransport::CountDevices() {
    std::lock_guard<std::mutex> lock(mutex_);
    const TrafficEntry* entry = Match(TrafficOp::Count, nullptr, 0);
    return entry != nullptr ? entry->value : 0;
}

bool ReplayTransport::OpenDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    const TrafficEntry* entry = Match(TrafficOp::Open, nullptr, 0);
    open_ = entry != nullptr && entry->value != 0;
    return open_;
}

void ReplayTransport::CloseDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    Match(TrafficOp::Close, nullptr, 0);
    open_ = false;
}

int ReplayTransport::WriteBlock(const uint8_t* data, int length) {
    std::unique_lock<std::mutex> lock(mutex_);
    const TrafficEntry* entry = Match(TrafficOp::Write, data, length);
    if (entry == nullptr)
        return 0;
    open_ = entry->openAfter;
    const int written = entry->result == TransferResult::Ok ? entry->value : 0;
    lock.unlock();
    PassTimeout(*entry);
    return written;
}

int ReplayTransport::ReadBlock(uint8_t* buffer, int length) {
    std::unique_lock<std::mutex> lock(mutex_);
    const TrafficEntry* entry = Match(TrafficOp::Read, nullptr, 0);
    if (entry == nullptr)
        return 0;
    open_ = entry->openAfter;
    if (entry->result != TransferResult::Ok) {
        lock.unlock();
        PassTimeout(*entry);
        return 0;
    }
    if (buffer != nullptr && length > 0) {
        const std::size_t n = std::min<std::size_t>(entry->bytes.size(), length);
        if (n > 0)
            std::memcpy(buffer, entry->bytes.data(), n);
    }
    return entry->value;
}

}  // namespace korvel
