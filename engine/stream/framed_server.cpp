#include "framed_server.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <atomic>
#include <chrono>
#include <optional>

namespace korvel::net {

namespace {

constexpr auto kAcceptRetry = std::chrono::milliseconds(50);

}  // namespace

// Everything runs as handlers on `io` in the thread inside Run(): no locks.
struct FramedServer::Wire {
    asio::io_context io;
    Acceptor acceptor{io};
    Socket incoming{io};
    asio::steady_timer acceptRetry{io};
    std::atomic<bool> stopped{false};
};

FramedServer::FramedServer(bool ownerOnly)
    : ownerOnly_(ownerOnly), wire_(std::make_unique<Wire>()) {}

FramedServer::~FramedServer() {
    CloseListener();
}

asio::io_context& FramedServer::Io() {
    return wire_->io;
}

bool FramedServer::Listen(const StreamEndpoint& endpoint, std::string& error) {
    CloseListener();
    if (!net::Listen(endpoint, wire_->acceptor, error, ownerOnly_, &file_)) {
        return false;
    }
    endpoint_ = endpoint;
    if (endpoint_.kind == StreamEndpoint::Kind::Tcp && endpoint_.port == 0) {
        endpoint_.port = LocalPort(wire_->acceptor);
    }
    return true;
}

bool FramedServer::Relisten(std::string& error) {
    const StreamEndpoint endpoint = endpoint_;
    return Listen(endpoint, error);
}

bool FramedServer::Listening() const {
    return wire_->acceptor.is_open();
}

void FramedServer::CloseListener() {
    wire_->acceptRetry.cancel();
    net::CloseListener(endpoint_, wire_->acceptor, file_);
    file_ = {};
}

void FramedServer::AcceptOne(Accepted accepted) {
    wire_->acceptor.async_accept(
        wire_->incoming, [this, accepted = std::move(accepted)](const std::error_code& error) {
            if (error == asio::error::operation_aborted || !wire_->acceptor.is_open()) {
                return;
            }
            if (error) {
                // Out of descriptors or a connection that left at once: give the
                // system a moment rather than spin on a listener that stays ready.
                std::error_code ignored;
                wire_->incoming.close(ignored);
                wire_->acceptRetry.expires_after(kAcceptRetry);
                wire_->acceptRetry.async_wait([this, accepted](const std::error_code& e) {
                    if (!e && wire_->acceptor.is_open()) {
                        AcceptOne(accepted);
                    }
                });
                return;
            }
            PrepareSocket(wire_->incoming);
            // A moved-from socket is as new, ready for the next accept.
            accepted(std::move(wire_->incoming));
        });
}

void FramedServer::Run(bool keepRunning) {
    if (!wire_->stopped.load()) {
        std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
        if (keepRunning) {
            work.emplace(wire_->io.get_executor());
        }
        wire_->io.run();
    }
}

void FramedServer::Stop() {
    wire_->stopped.store(true);
    wire_->io.stop();
}

bool FramedServer::Stopped() const {
    return wire_->stopped.load();
}

}  // namespace korvel::net
