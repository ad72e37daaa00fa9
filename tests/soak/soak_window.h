// The window as the soak sees it: it holds the settings the worker reads,
// checks the progress lines, and passes every event on to the soak's
// observer. Modal messages return at once, as if OK were pressed.
#pragma once

#include <functional>
#include <string>

#include "core/measurement_state.h"
#include "core/worker_window.h"

namespace korvel::testing {

class SoakWindow final : public WorkerWindow {
  public:
    const SweepSettings& Settings() const override { return settings; }
    void BeginScanPass() override {
        if (onPassBegin) {
            onPassBegin();
        }
    }
    void ScanProgress(int channel, int point) override {
        if (channel < 1 || channel > 3 || point < 0 || point >= static_cast<int>(kSweepPoints)) {
            ++badProgressLines;
        }
    }
    void SmithPointChanged() override {
        if (onSmith) {
            onSmith();
        }
    }
    void ShowMessage(const std::string& text) override {
        if (onMessage) {
            onMessage(text);
        }
    }
    void PassFinished() override {
        if (onPassFinished) {
            onPassFinished();
        }
    }

    SweepSettings settings;
    int badProgressLines = 0;
    std::function<void()> onPassBegin;
    std::function<void()> onPassFinished;
    std::function<void()> onSmith;
    std::function<void(const std::string&)> onMessage;
};

}  // namespace korvel::testing
