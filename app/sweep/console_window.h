// The worker's window for korvel-sweep: no screen, so messages (link errors,
// prompts) go to the error stream and never wait for a click; finished passes
// are counted for the waiting main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "core/sweep_settings.h"
#include "core/worker_window.h"

namespace korvel::sweep {

class ConsoleWindow final : public WorkerWindow {
  public:
    explicit ConsoleWindow(std::ostream& err) : err_(err) {}

    SweepSettings& MutableSettings() { return settings_; }
    const SweepSettings& Settings() const override { return settings_; }
    void ScanProgress(int, int) override {}
    void SmithPointChanged() override {}
    void ShowMessage(const std::string& text) override;
    void PassFinished() override;

    // Called on the worker thread after each whole pass, with the count so far.
    void SetPassHook(std::function<void(int)> hook) { passHook_ = std::move(hook); }

    // Waits until `passes` passes have finished or `slice` has gone by; returns
    // the passes finished so far.
    int WaitForPasses(int passes, std::chrono::milliseconds slice);

  private:
    std::ostream& err_;
    SweepSettings settings_;
    std::function<void(int)> passHook_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
};

}  // namespace korvel::sweep
