// A WorkerWindow for tests: records everything the worker shows or draws and
// lets a test react (for example stop the worker) at each event.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "worker_window.h"

namespace korvel::testing {

class RecordingWindow final : public WorkerWindow {
  public:
    const DialogSettings& Settings() const override { return settings; }
    void BeginScanPass() override { events.push_back("begin"); }
    void DrawProgressLine(int y, int xEnd) override { lines.push_back({y, xEnd}); }
    void EndScanPass() override { events.push_back("end"); }
    void InvalidateSmithArea() override {
        ++invalidations;
        if (onInvalidate)
            onInvalidate();
    }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        events.push_back("message:" + text);
        if (onMessage)
            onMessage(text);
    }
    void PassFinished() override {
        ++passes;
        events.push_back("pass");
        if (onPassFinished)
            onPassFinished();
    }

    struct Line {
        int y;
        int xEnd;
    };

    DialogSettings settings;
    std::vector<std::string> messages;
    std::vector<std::string> events;
    std::vector<Line> lines;
    int invalidations = 0;
    int passes = 0;
    std::function<void(const std::string&)> onMessage;
    std::function<void()> onPassFinished;
    std::function<void()> onInvalidate;
};

}  // namespace korvel::testing
