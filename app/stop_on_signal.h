// SIGINT and SIGTERM call `stop` for as long as this object lives. Asio takes
// the signal in its own handler and calls `stop` on a thread of its own, where
// stopping a server is safe. Make it before the server's socket appears, so a
// signal right after that cannot end the program without its cleanup.
#pragma once

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <functional>
#include <thread>
#include <utility>

namespace korvel {

class StopOnSignal {
  public:
    explicit StopOnSignal(std::function<void()> stop) : stop_(std::move(stop)) {
        signals_.async_wait([this](const std::error_code& e, int) {
            if (!e) {
                stop_();
            }
        });
        thread_ = std::thread([this] { io_.run(); });
    }
    ~StopOnSignal() {
        io_.stop();
        thread_.join();
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

  private:
    std::function<void()> stop_;
    asio::io_context io_;
    asio::signal_set signals_{io_, SIGINT, SIGTERM};
    std::thread thread_;
};

}  // namespace korvel
