// Test doubles for the device link: a transport that records every block and
// answers from a script, and a window that records its messages.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "device_link.h"
#include "device_transport.h"
#include "measurement_state.h"
#include "worker_window.h"

namespace korvel::testing {

class ScriptedTransport final : public DeviceTransport {
  public:
    int CountDevices() override { return count; }
    bool OpenDevice() override { return open = true; }
    bool IsOpen() const override { return open; }
    void CloseDevice() override { open = false; }
    int WriteBlock(const uint8_t* data, int length) override {
        written.emplace_back(data, data + length);
        return length;
    }
    int ReadBlock(uint8_t* buffer, int length) override {
        readSizes.push_back(length);
        if (replies.empty()) {
            return 0;  // time-out
        }
        const std::vector<uint8_t> reply = replies.front();
        replies.pop_front();
        for (int i = 0; i < static_cast<int>(reply.size()) && i < length; ++i) {
            buffer[i] = reply[i];
        }
        return static_cast<int>(reply.size());
    }

    int count = 1;
    bool open = false;
    std::deque<std::vector<uint8_t>> replies;
    std::vector<std::vector<uint8_t>> written;
    std::vector<int> readSizes;
};

class RecordingWindow final : public WorkerWindow {
  public:
    explicit RecordingWindow(const MeasurementState* state = nullptr) : state_(state) {}
    const DialogSettings& Settings() const override { return settings_; }
    void DrawProgressLine(int, int) override {}
    void InvalidateSmithArea() override {}
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        if (state_ != nullptr) {
            linkUpWhileShown.push_back(state_->linkUp.load(kRelaxed));
        }
    }

    std::vector<std::string> messages;
    std::vector<int> linkUpWhileShown;

  private:
    const MeasurementState* state_;
    DialogSettings settings_;
};

}  // namespace korvel::testing
