// The window of the stream soak: it books link-error messages per connection,
// checks the shared record at every pass, Smith point and pause, and lets the
// test thread wait (bounded) for the worker's progress: a failure, or a whole
// clean pass begun after a given moment.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/measurement_state.h"
#include "core/worker_window.h"
#include "link_message_ledger.h"
#include "observed_transport.h"

namespace korvel::testing {

class StreamWatch final : public WorkerWindow {
  public:
    StreamWatch(const MeasurementState& state, ObservedTransport& transport, const Clock& clock);

    const SweepSettings& Settings() const override { return settings_; }
    void BeginScanPass() override;
    void ScanProgress(int, int) override {}
    void SmithPointChanged() override { CheckState("after a Smith point"); }
    void ShowMessage(const std::string& text) override;
    void PassFinished() override;
    // Worker thread: a transfer failed.
    void OnFailure(uint8_t command);
    // Test thread, before stopping the worker: a transfer cut short by the
    // stop is no link failure (and the stopping worker shows no message).
    void Stopping() { stopping_.store(true); }
    // Worker thread: before every pause.
    void OnPause() { CheckState("during a pause"); }

    // Test thread. Waits at most timeoutMs for a whole clean pass that began
    // at or after `since` (steady ms); returns when it ended, or -1.
    long long WaitCleanPassSince(Milliseconds since, int timeoutMs);
    // Waits at most timeoutMs until the number of link-error messages
    // exceeds `count`.
    bool WaitLinkMessagesAbove(uint64_t count, int timeoutMs);
    uint64_t LinkMessages();
    uint64_t Passes();
    // After the worker has ended.
    std::vector<std::string> Violations();
    uint64_t FailedConnections();

  private:
    void CheckState(const char* when);

    const MeasurementState& state_;
    ObservedTransport& transport_;
    const Clock& clock_;
    SweepSettings settings_;

    std::mutex mutex_;
    std::condition_variable changed_;
    LinkMessageLedger ledger_;
    std::vector<std::string> violations_;
    Milliseconds passBeginAt_{-1};
    int passBeginConnection_ = -1;
    std::vector<Milliseconds> cleanPassBegins_;
    std::vector<Milliseconds> cleanPassEnds_;
    uint64_t linkMessages_ = 0;
    uint64_t passes_ = 0;
    std::atomic<bool> stopping_{false};
};

}  // namespace korvel::testing
