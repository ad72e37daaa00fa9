#include "instrument_thread.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "stream/frame_codec.h"

namespace korvel::bridge {

struct InstrumentThread::Queue {
    asio::io_context io{1};
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
};

InstrumentThread::InstrumentThread(std::unique_ptr<DeviceTransport> transport, Clock& clock,
                                   Milliseconds pollPause)
    : transport_(std::move(transport)),
      clock_(clock),
      pollPause_(pollPause),
      queue_(std::make_unique<Queue>()) {
    thread_ = std::thread([this] {
#if defined(__linux__)
        prctl(PR_SET_NAME, "instrument", 0UL, 0UL, 0UL);
#endif
        queue_->io.run();
    });
}

InstrumentThread::~InstrumentThread() {
    Stop();
}

void InstrumentThread::Post(Task task) {
    if (!stop_.IsRaised()) {
        asio::post(queue_->io, std::move(task));
    }
}

void InstrumentThread::Stop() {
    stop_.Raise();
    // The tasks not started are dropped with the context.
    queue_->io.stop();
    transport_->Interrupt();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
        transport_->CloseDevice();
    }
}

bool InstrumentThread::EnsureOpen() {
    if (transport_->IsOpen()) {
        return true;
    }
    return !stop_.IsRaised() && transport_->CountDevices() > 0 && transport_->OpenDevice();
}

Exchange InstrumentThread::Transfer(const std::vector<uint8_t>& command) {
    Exchange result;
    if (EnsureOpen()) {
        const int length = static_cast<int>(command.size());
        if (transport_->WriteBlock(command.data(), length) == length) {
            // Room for any reply a frame can carry, so an over-long one is
            // passed on whole, as the instrument sent it.
            std::vector<uint8_t> reply(kMaxFramePayload);
            const int got = transport_->ReadBlock(reply.data(), static_cast<int>(reply.size()));
            if (got > 0) {
                reply.resize(std::min<std::size_t>(static_cast<std::size_t>(got), reply.size()));
                result.reply = std::move(reply);
                return result;
            }
        }
    }
    // A lost transfer leaves the link out of step: start over with a fresh one.
    transport_->CloseDevice();
    result.ready = EnsureOpen();
    return result;
}

bool InstrumentThread::WaitUntilOpen() {
    while (!EnsureOpen()) {
        if (!clock_.SleepFor(pollPause_, stop_)) {
            return false;
        }
    }
    return !stop_.IsRaised();
}

}  // namespace korvel::bridge
