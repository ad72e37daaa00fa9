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

#include "dialog_settings.h"
#include "worker_window.h"

namespace korvel::sweep {

class ConsoleWindow final : public WorkerWindow {
  public:
    explicit ConsoleWindow(std::ostream& err) : err_(err) {}

    DialogSettings& MutableSettings() { return settings_; }
    const DialogSettings& Settings() const override { return settings_; }
    void DrawProgressLine(int, int) override {}
    void InvalidateSmithArea() override {}
    void ShowMessage(const std::string& text) override;
    void PassFinished() override;

    // Called on the worker thread after each whole pass, with the count so far.
    void SetPassHook(std::function<void(int)> hook) { passHook_ = std::move(hook); }

    // Waits until `passes` passes have finished or `slice` has gone by; returns
    // the passes finished so far.
    int WaitForPasses(int passes, std::chrono::milliseconds slice);

  private:
    std::ostream& err_;
    DialogSettings settings_;
    std::function<void(int)> passHook_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
};

}  // namespace korvel::sweep
