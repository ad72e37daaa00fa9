// A named-pipe server playing the instrument for transfer tests. The pipe is
// message-typed, so each reply travels as one piece, as one USB transfer
// does. For every command it reads, the server follows the next step of its
// script on its own thread; after the script it reads and stays silent.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win/win32_api.h"

namespace korvel::testing {

class PipeInstrument {
  public:
    enum class Action { kReply, kSilent, kHoldReply, kHangUp };
    struct Step {
        Action action = Action::kSilent;
        std::vector<uint8_t> reply;
    };
    static Step Reply(std::vector<uint8_t> bytes) { return {Action::kReply, std::move(bytes)}; }
    static Step Silent() { return {Action::kSilent, {}}; }
    // Replies only once ReleaseHeldReply() is called.
    static Step HoldReply(std::vector<uint8_t> bytes) {
        return {Action::kHoldReply, std::move(bytes)};
    }
    // Closes its end of the pipe instead of replying.
    static Step HangUp() { return {Action::kHangUp, {}}; }

    explicit PipeInstrument(std::vector<Step> script);
    ~PipeInstrument();
    PipeInstrument(const PipeInstrument&) = delete;
    PipeInstrument& operator=(const PipeInstrument&) = delete;

    const std::string& Path() const { return path_; }
    bool IsListening() const { return listening_; }

    // Sends the held reply and returns once it is in the pipe; false when
    // no reply was held within a few seconds.
    bool ReleaseHeldReply();
    // Commands received so far.
    std::vector<std::vector<uint8_t>> Commands();

  private:
    void Serve();
    // One overlapped transfer on the server end; false on failure or stop.
    bool Transfer(bool write, void* data, DWORD length, DWORD* count);
    bool WaitForRelease();

    std::string path_;
    std::vector<Step> script_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    bool listening_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> commands_;
    bool holding_ = false;
    bool released_ = false;
    bool heldSent_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace korvel::testing
