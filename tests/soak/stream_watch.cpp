#include "stream_watch.h"

#include "state_invariants.h"

namespace korvel::testing {

namespace {
constexpr std::size_t kViolationLimit = 50;
}

StreamWatch::StreamWatch(const MeasurementState& state, ObservedTransport& transport,
                         const Clock& clock)
    : state_(state), transport_(transport), clock_(clock) {}

void StreamWatch::CheckState(const char* when) {
    const std::string bad = CheckMeasurementState(state_);
    if (!bad.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (violations_.size() < kViolationLimit) {
            violations_.push_back(std::string(when) + ": " + bad);
        }
    }
}

void StreamWatch::BeginScanPass() {
    std::lock_guard<std::mutex> lock(mutex_);
    passBeginAt_ = clock_.Now();
    passBeginConnection_ = transport_.Connection();
}

void StreamWatch::ShowMessage(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!LinkMessageLedger::IsLinkError(text)) {
            violations_.push_back("unexpected message \"" + text + "\"");
        } else {
            ++linkMessages_;
            const std::string wrong = ledger_.OnLinkMessage(transport_.Connection(), text);
            if (!wrong.empty() && violations_.size() < kViolationLimit) {
                violations_.push_back(wrong);
            }
        }
    }
    changed_.notify_all();
}

void StreamWatch::OnFailure(uint8_t command) {
    if (stopping_.load()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ledger_.OnFailure(transport_.Connection(), command);
}

void StreamWatch::PassFinished() {
    CheckState("after a pass");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++passes_;
        const bool clean = passBeginConnection_ == transport_.Connection() &&
                           transport_.FailuresInConnection() == 0 &&
                           state_.linkUp.load(kRelaxed) == 1;
        if (clean) {
            cleanPassBegins_.push_back(passBeginAt_);
            cleanPassEnds_.push_back(clock_.Now());
        }
    }
    changed_.notify_all();
}

long long StreamWatch::WaitCleanPassSince(Milliseconds since, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    long long endedAt = -1;
    changed_.wait_for(lock, Milliseconds(timeoutMs), [&] {
        for (std::size_t i = 0; i < cleanPassBegins_.size(); ++i) {
            if (cleanPassBegins_[i] >= since) {
                endedAt = cleanPassEnds_[i].count();
                return true;
            }
        }
        return false;
    });
    return endedAt;
}

bool StreamWatch::WaitLinkMessagesAbove(uint64_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, Milliseconds(timeoutMs), [&] { return linkMessages_ > count; });
}

uint64_t StreamWatch::LinkMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return linkMessages_;
}

uint64_t StreamWatch::Passes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return passes_;
}

std::vector<std::string> StreamWatch::Violations() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> all = violations_;
    for (const std::string& v : ledger_.Verify(transport_.Connection())) {
        all.push_back(v);
    }
    for (const std::string& v : transport_.Violations()) {
        all.push_back(v);
    }
    return all;
}

uint64_t StreamWatch::FailedConnections() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ledger_.FailedConnections();
}

}  // namespace korvel::testing
