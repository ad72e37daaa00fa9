// The deadline runner under the stream sockets: time-outs, interrupts from
// another thread, and that no handler outlives the call that started it.
#include <gtest/gtest.h>

#include <asio/error.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <future>
#include <thread>

#include "stream/timed_io.h"

namespace korvel::net {
namespace {

constexpr auto kNever = std::chrono::hours(1);

// An operation that only ends when aborted.
struct EndlessWait {
    explicit EndlessWait(TimedIo& io) : timer(io.Context(), kNever) {}
    TimedIo::Outcome Run(TimedIo& io, int timeoutMs) {
        return io.Run(
            timeoutMs,
            [this](auto handler) {
                started.set_value();
                timer.async_wait([this, handler](const std::error_code& e) mutable {
                    ++handlersRun;
                    handler(e);
                });
            },
            [this] {
                ++aborts;
                timer.cancel();
            });
    }
    asio::steady_timer timer;
    std::promise<void> started;
    int handlersRun = 0;
    int aborts = 0;
};

TEST(StreamTimedIo, AnOperationThatCompletesGivesItsOwnResult) {
    TimedIo io;
    asio::steady_timer timer(io.Context(), std::chrono::milliseconds(0));
    const TimedIo::Outcome outcome = io.Run(
        60000, [&](auto handler) { timer.async_wait(handler); }, [] { FAIL() << "aborted"; });
    EXPECT_FALSE(outcome.error) << outcome.error.message();
}

TEST(StreamTimedIo, ATimeOutAbortsAndDrainsTheOperation) {
    TimedIo io;
    EndlessWait wait(io);
    EXPECT_EQ(wait.Run(io, 5).error, asio::error::timed_out);
    // Its handler ran before Run returned, so it could point into the frame.
    EXPECT_EQ(wait.handlersRun, 1);
    EXPECT_EQ(wait.aborts, 1);
    // The next operation runs normally.
    EndlessWait again(io);
    EXPECT_EQ(again.Run(io, 5).error, asio::error::timed_out);
    EXPECT_FALSE(io.Interrupted());
}

TEST(StreamTimedIo, InterruptFromAnotherThreadEndsAWaitWithoutEnd) {
    TimedIo io;
    EndlessWait wait(io);
    std::thread stopper([&, started = wait.started.get_future()] {
        started.wait();
        io.Interrupt();
    });
    EXPECT_EQ(wait.Run(io, -1).error, asio::error::interrupted);
    stopper.join();
    EXPECT_EQ(wait.handlersRun, 1);
}

TEST(StreamTimedIo, OnceInterruptedNothingStartsAgain) {
    TimedIo io;
    io.Interrupt();
    bool started = false;
    for (int i = 0; i < 3; ++i) {
        const TimedIo::Outcome outcome = io.Run(
            -1, [&](auto) { started = true; }, [] {});
        EXPECT_EQ(outcome.error, asio::error::interrupted);
    }
    EXPECT_FALSE(started);
    EXPECT_TRUE(io.Interrupted());
}

}  // namespace
}  // namespace korvel::net
