// The window as the soak sees it: it holds the settings the worker reads,
// checks the progress lines, and passes every event on to the soak's
// observer. Modal messages return at once, as if OK were pressed.
#pragma once

#include <functional>
#include <string>

#include "worker_window.h"

namespace korvel::testing {

class SoakWindow final : public WorkerWindow {
  public:
    const DialogSettings& Settings() const override { return settings; }
    void BeginScanPass() override {
        if (onPassBegin) {
            onPassBegin();
        }
    }
    void DrawProgressLine(int y, int xEnd) override {
        const bool knownRow = y == 24 || y == 174 || y == 327;
        if (!knownRow || xEnd < 430 || xEnd > 1150) {
            ++badProgressLines;
        }
    }
    void InvalidateSmithArea() override {
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

    DialogSettings settings;
    int badProgressLines = 0;
    std::function<void()> onPassBegin;
    std::function<void()> onPassFinished;
    std::function<void()> onSmith;
    std::function<void(const std::string&)> onMessage;
};

}  // namespace korvel::testing
