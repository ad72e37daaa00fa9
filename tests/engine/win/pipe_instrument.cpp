#include "pipe_instrument.h"

#include <atomic>
#include <chrono>

namespace korvel::testing {
namespace {

std::string UniquePipePath() {
    static std::atomic<int> counter{0};
    return "\\\\.\\pipe\\korvel-instrument-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(counter++);
}

constexpr DWORD kServerWaitMs = 10000;

}  // namespace

PipeInstrument::PipeInstrument(std::vector<Step> script)
    : path_(UniquePipePath()), script_(std::move(script)) {
    stop_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    pipe_ = ::CreateNamedPipeA(
        path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    if (pipe_ != INVALID_HANDLE_VALUE && stop_ != nullptr) {
        listening_ = true;
        thread_ = std::thread([this] { Serve(); });
    }
}

PipeInstrument::~PipeInstrument() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (stop_ != nullptr) {
        ::SetEvent(stop_);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (pipe_ != INVALID_HANDLE_VALUE) {
        ::CloseHandle(pipe_);
    }
    if (stop_ != nullptr) {
        ::CloseHandle(stop_);
    }
}

bool PipeInstrument::Transfer(bool write, void* data, DWORD length, DWORD* count) {
    OVERLAPPED record{};
    record.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (record.hEvent == nullptr) {
        return false;
    }
    BOOL ok = write ? ::WriteFile(pipe_, data, length, nullptr, &record)
                    : ::ReadFile(pipe_, data, length, nullptr, &record);
    if (ok || ::GetLastError() == ERROR_IO_PENDING) {
        const HANDLE waitOn[2] = {record.hEvent, stop_};
        if (::WaitForMultipleObjects(2, waitOn, FALSE, kServerWaitMs) != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe_, &record);
        }
        ok = ::GetOverlappedResult(pipe_, &record, count, TRUE);
    }
    ::CloseHandle(record.hEvent);
    return ok;
}

bool PipeInstrument::WaitForRelease() {
    std::unique_lock lock(mutex_);
    holding_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_ || stopping_; });
    return !stopping_;
}

void PipeInstrument::Serve() {
    OVERLAPPED connect{};
    connect.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL connected = ::ConnectNamedPipe(pipe_, &connect);
    if (!connected && ::GetLastError() == ERROR_IO_PENDING) {
        const HANDLE waitOn[2] = {connect.hEvent, stop_};
        if (::WaitForMultipleObjects(2, waitOn, FALSE, INFINITE) != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe_, &connect);
        }
        DWORD unused = 0;
        connected = ::GetOverlappedResult(pipe_, &connect, &unused, TRUE);
    } else if (!connected && ::GetLastError() == ERROR_PIPE_CONNECTED) {
        connected = TRUE;
    }
    ::CloseHandle(connect.hEvent);
    if (!connected) {
        return;
    }

    for (size_t step = 0;; ++step) {
        std::vector<uint8_t> command(512);
        DWORD count = 0;
        if (!Transfer(false, command.data(), static_cast<DWORD>(command.size()), &count)) {
            return;  // the client has gone, or the test is over
        }
        command.resize(count);
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(command);
        }
        if (step >= script_.size()) {
            continue;
        }
        Step& now = script_[step];
        switch (now.action) {
            case Action::kSilent:
                break;
            case Action::kHangUp: {
                std::lock_guard lock(mutex_);
                ::CloseHandle(pipe_);
                pipe_ = INVALID_HANDLE_VALUE;
                return;
            }
            case Action::kHoldReply:
                if (!WaitForRelease()) {
                    return;
                }
                [[fallthrough]];
            case Action::kReply: {
                DWORD written = 0;
                const bool sent = Transfer(true, now.reply.data(),
                                           static_cast<DWORD>(now.reply.size()), &written);
                if (now.action == Action::kHoldReply) {
                    std::lock_guard lock(mutex_);
                    heldSent_ = sent;
                    holding_ = false;
                    changed_.notify_all();
                }
                if (!sent) {
                    return;
                }
                break;
            }
        }
    }
}

bool PipeInstrument::ReleaseHeldReply() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(5), [this] { return holding_; })) {
        return false;
    }
    released_ = true;
    changed_.notify_all();
    return changed_.wait_for(lock, std::chrono::seconds(5), [this] { return !holding_; }) &&
           heldSent_;
}

std::vector<std::vector<uint8_t>> PipeInstrument::Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
}

}  // namespace korvel::testing
