// Runs one asynchronous socket operation at a time on a private io_context,
// each bounded by a time-out, and lets another thread end every wait at once.
// Once interrupted it stays so: it is used to stop, not to nudge.
#pragma once

#include <asio/error.hpp>
#include <asio/io_context.hpp>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <system_error>

namespace korvel::net {

class TimedIo {
  public:
    // What an operation's completion handler receives.
    struct Outcome {
        std::error_code error;
        std::size_t bytes = 0;
    };

    asio::io_context& Context() { return io_; }

    // From any thread: ends the running wait and refuses every later one.
    void Interrupt() {
        interrupted_.store(true);
        io_.stop();
    }
    bool Interrupted() const { return interrupted_.load(); }

    // Calls start(handler) to begin one operation and waits for it at most
    // timeoutMs (< 0: without end). On time-out or interrupt abort() must make
    // the operation complete (close its socket); its handler has run before
    // this returns, so it may point into the caller's frame. Errors:
    // timed_out, interrupted, or the operation's own.
    template <typename Start, typename Abort>
    Outcome Run(int timeoutMs, Start&& start, Abort&& abort) {
        io_.restart();
        // After restart(), so that an Interrupt() racing with it is seen
        // either here or as a stopped io_context below.
        if (Interrupted()) {
            return {asio::error::interrupted, 0};
        }
        std::optional<Outcome> done;
        start(Handler{&done});
        if (timeoutMs < 0) {
            io_.run();
        } else {
            io_.run_for(std::chrono::milliseconds(timeoutMs));
            io_.poll();  // an operation that completed right at the deadline
        }
        if (done) {
            return *done;
        }
        abort();
        // Drain: an Interrupt() during this stops run() again, so loop.
        while (!done) {
            io_.restart();
            io_.run();
        }
        return {Interrupted() ? asio::error::interrupted : asio::error::timed_out, 0};
    }

  private:
    struct Handler {
        std::optional<Outcome>* done;
        void operator()(const std::error_code& error) const { *done = Outcome{error, 0}; }
        void operator()(const std::error_code& error, std::size_t bytes) const {
            *done = Outcome{error, bytes};
        }
    };

    asio::io_context io_;
    std::atomic<bool> interrupted_{false};
};

}  // namespace korvel::net
