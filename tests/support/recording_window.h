// A WorkerWindow for tests: records everything the worker shows or draws and
// lets a test react (for example stop the worker) at each event. Given a
// MeasurementState it also notes whether the link was up at each message;
// given another window it passes every call on to it, so it can watch the
// real window's traffic.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/measurement_state.h"
#include "core/worker_window.h"

namespace korvel::testing {

class RecordingWindow final : public WorkerWindow {
  public:
    RecordingWindow() = default;
    explicit RecordingWindow(const MeasurementState* state) : state_(state) {}
    explicit RecordingWindow(WorkerWindow& inner) : inner_(&inner) {}

    const SweepSettings& Settings() const override {
        return inner_ != nullptr ? inner_->Settings() : settings;
    }
    void BeginScanPass() override {
        events.push_back("begin");
        if (onPassBegin)
            onPassBegin();
        if (inner_ != nullptr)
            inner_->BeginScanPass();
    }
    void ScanProgress(int channel, int point) override {
        lines.push_back({channel, point});
        lineCount.fetch_add(1, std::memory_order_relaxed);
        if (inner_ != nullptr)
            inner_->ScanProgress(channel, point);
    }
    void EndScanPass() override {
        events.push_back("end");
        if (inner_ != nullptr)
            inner_->EndScanPass();
    }
    void SmithPointChanged() override {
        ++smithChanges;
        if (onSmithChanged)
            onSmithChanged();
        if (inner_ != nullptr)
            inner_->SmithPointChanged();
    }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        events.push_back("message:" + text);
        if (state_ != nullptr)
            linkUpWhileShown.push_back(state_->linkUp.load(kRelaxed));
        if (onMessage)
            onMessage(text);
        if (inner_ != nullptr)
            inner_->ShowMessage(text);
    }
    void PassFinished() override {
        ++passes;
        events.push_back("pass");
        if (onPassFinished)
            onPassFinished();
        if (inner_ != nullptr)
            inner_->PassFinished();
    }

    struct Line {
        int channel;
        int point;
    };

    // Read by the worker unless another window was given.
    SweepSettings settings;

    // Worker thread only; read them once the worker has ended.
    std::vector<std::string> messages;
    std::vector<std::string> events;
    std::vector<Line> lines;
    std::vector<int> linkUpWhileShown;
    int smithChanges = 0;
    int passes = 0;
    // The one figure another thread may read while the worker runs.
    std::atomic<int> lineCount{0};

    std::function<void()> onPassBegin;
    std::function<void(const std::string&)> onMessage;
    std::function<void()> onPassFinished;
    std::function<void()> onSmithChanged;

  private:
    const MeasurementState* state_ = nullptr;
    WorkerWindow* inner_ = nullptr;
};

}  // namespace korvel::testing
