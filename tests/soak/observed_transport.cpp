#include "observed_transport.h"

namespace korvel::testing {

namespace {

constexpr uint8_t kRead = 0xA2;
constexpr uint8_t kWritePage = 0xA4;
constexpr int kWritePageLength = 36;
constexpr std::size_t kViolationLimit = 50;

int ExpectedReplyLength(uint8_t command) {
    return command == kRead ? 18 : 2;
}

}  // namespace

ObservedTransport::ObservedTransport(DeviceTransport& inner, const MeasurementState& state,
                                     const Clock& clock, std::vector<CalRecord> memoryAtStart)
    : inner_(inner), state_(state), clock_(clock), shadow_(std::move(memoryAtStart)) {
    shadow_.resize(kShadowRecords);
}

bool ObservedTransport::OpenDevice() {
    const bool opened = inner_.OpenDevice();
    if (opened) {
        connection_.fetch_add(1, kRelaxed);
        commandsInConnection_ = 0;
        failuresInConnection_.store(0, kRelaxed);
        reloadedAtMs_.store(-1, kRelaxed);
    }
    return opened;
}

int ObservedTransport::WriteBlock(const uint8_t* data, int length) {
    const auto where = [this] {
        return " (connection " + std::to_string(Connection()) +
               ", t=" + std::to_string(clock_.Now().count()) + " ms)";
    };
    if (state_.linkUp.load(kRelaxed) != 1) {
        Violation("a block was sent while the link was down" + where());
    }
    if (FailuresInConnection() > 0) {
        Violation("a block was sent after a failed transfer of the same connection" + where());
    }
    lastCommand_ = length >= 2 ? data[1] : 0;
    lastIndex_ = length >= 4 ? static_cast<uint16_t>(data[2] | (data[3] << 8)) : 0;
    ++commandsInConnection_;
    // A connection begins by reloading the open-port and input-power records.
    if (commandsInConnection_ <= 2) {
        const uint16_t wanted = commandsInConnection_ == 1 ? kOpenPortRecord : kInputPowerRecord;
        if (lastCommand_ != kRead || lastIndex_ != wanted) {
            Violation("connection did not start by reloading record " + std::to_string(wanted) +
                      where());
        }
    }
    const int written = inner_.WriteBlock(data, length);
    if (written == length && lastCommand_ == kWritePage && length == kWritePageLength) {
        const int block = data[2];
        const int page = data[3];
        pagesSent_.push_back(block * 32 + page);
        const int first = block * 128 + page * 4;
        for (int slot = 0; slot < 4 && page < 32 && first + slot < kShadowRecords; ++slot) {
            shadow_[first + slot] = UnpackCalRecord(data + 4 + 8 * slot);
        }
    }
    return written;
}

int ObservedTransport::ReadBlock(uint8_t* buffer, int length) {
    const uint8_t command = lastCommand_;
    const int got = inner_.ReadBlock(buffer, length);
    ++transfers_;
    if (got != ExpectedReplyLength(command)) {
        failuresInConnection_.fetch_add(1, kRelaxed);
        ++failedTransfers_;
        if (onFailure) {
            onFailure(command);
        }
    } else if (commandsInConnection_ == 2 && command == kRead && lastIndex_ == kInputPowerRecord) {
        reloadedAtMs_.store(clock_.Now().count(), kRelaxed);
    }
    return got;
}

std::vector<int> ObservedTransport::TakePagesSent() {
    std::vector<int> out;
    out.swap(pagesSent_);
    return out;
}

void ObservedTransport::SetShadowRecord(int n, const CalRecord& record) {
    if (n >= 0 && n < kShadowRecords) {
        shadow_[n] = record;
    }
}

void ObservedTransport::Violation(const std::string& what) {
    if (violations_.size() < kViolationLimit) {
        violations_.push_back(what);
    }
}

}  // namespace korvel::testing
