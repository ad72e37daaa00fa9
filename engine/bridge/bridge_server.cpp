#include "bridge_server.h"

#include <array>
#include <asio/buffer.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <vector>

#include "bridge/command_filter.h"
#include "bridge/peer_socket.h"
#include "stream/frame_codec.h"
#include "stream/stream_socket.h"

namespace korvel::bridge {

namespace {

constexpr auto kAcceptRetry = std::chrono::milliseconds(50);

std::string Seconds(std::chrono::milliseconds d) {
    const auto ms = d.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

// Everything runs as handlers on `io` in the thread inside Serve(): no locks.
// The instrument thread only posts its results here.
struct BridgeServer::Wire {
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
    net::Acceptor acceptor{io};
    net::Socket incoming{io};
    asio::steady_timer acceptRetry{io};
    std::atomic<bool> stopped{false};
};

struct BridgeServer::Session {
    Session(asio::io_context& io, uint64_t sessionId, net::Socket&& accepted)
        : id(sessionId), socket(std::move(accepted)), idle(io) {}

    uint64_t id;
    net::Socket socket;
    asio::steady_timer idle;
    std::string who;
    CommandFilter filter;
    // A command is with the instrument, or its reply is being sent.
    bool busy = false;
    std::array<uint8_t, 512> chunk{};
    std::vector<uint8_t> outgoing;
};

BridgeServer::BridgeServer(InstrumentThread& instrument, BridgeOptions options, Log log,
                           Log announce)
    : instrument_(instrument),
      options_(options),
      log_(std::move(log)),
      announce_(std::move(announce)),
      wire_(std::make_unique<Wire>()) {}

BridgeServer::~BridgeServer() {
    // The instrument thread posts into wire_->io: it ends first.
    instrument_.Stop();
    EndSession();
    net::CloseListener(endpoint_, wire_->acceptor);
}

bool BridgeServer::Listen(const StreamEndpoint& endpoint, std::string& error) {
    net::CloseListener(endpoint_, wire_->acceptor);
    if (!net::Listen(endpoint, wire_->acceptor, error, true)) {
        return false;
    }
    endpoint_ = endpoint;
    if (endpoint_.kind == StreamEndpoint::Kind::Tcp && endpoint_.port == 0) {
        endpoint_.port = net::LocalPort(wire_->acceptor);
    }
    return true;
}

void BridgeServer::Stop() {
    wire_->stopped.store(true);
    wire_->io.stop();
}

BridgeCounts BridgeServer::Counts() const {
    BridgeCounts c;
    c.clients = clients_.load();
    c.refusedClients = refusedClients_.load();
    c.replies = replies_.load();
    c.refusedWrites = refusedWrites_.load();
    c.refusedInputs = refusedInputs_.load();
    c.idleClosed = idleClosed_.load();
    return c;
}

bool BridgeServer::Serve() {
    if (wire_->acceptor.is_open() && !wire_->stopped.load()) {
        // Connections wait in the backlog until the instrument is known to work.
        instrument_.Post([this] {
            const bool open = instrument_.EnsureOpen();
            asio::post(wire_->io, [this, open] {
                if (open) {
                    InstrumentReady();
                } else {
                    InstrumentMissing("no instrument yet");
                }
            });
        });
        wire_->io.run();
    }
    instrument_.Stop();
    EndSession();
    net::CloseListener(endpoint_, wire_->acceptor);
    return !relistenFailed_;
}

void BridgeServer::InstrumentReady() {
    ready_ = true;
    announce_("listening on " + endpoint_.ToString());
    Accept();
}

void BridgeServer::InstrumentMissing(const std::string& why) {
    ready_ = false;
    EndSession();
    // Refused connections tell a client there is no instrument, as an
    // unplugged one would.
    wire_->acceptRetry.cancel();
    net::CloseListener(endpoint_, wire_->acceptor);
    log_(why + ": not listening until the instrument is there");
    instrument_.Post([this] {
        if (instrument_.WaitUntilOpen()) {
            asio::post(wire_->io, [this] { OnInstrumentBack(); });
        }
    });
}

void BridgeServer::OnInstrumentBack() {
    std::string error;
    // The same endpoint (and port) again.
    if (!Listen(endpoint_, error)) {
        log_("the instrument is back, but " + endpoint_.ToString() +
             " cannot be bound again: " + error);
        relistenFailed_ = true;
        Stop();
        return;
    }
    log_("the instrument is back");
    InstrumentReady();
}

void BridgeServer::Accept() {
    wire_->acceptor.async_accept(wire_->incoming, [this](const std::error_code& error) {
        if (error == asio::error::operation_aborted || !wire_->acceptor.is_open()) {
            return;
        }
        if (error) {
            // Out of descriptors or a connection that left at once: give the
            // system a moment rather than spin on a listener that stays ready.
            std::error_code ignored;
            wire_->incoming.close(ignored);
            wire_->acceptRetry.expires_after(kAcceptRetry);
            wire_->acceptRetry.async_wait([this](const std::error_code& e) {
                if (!e && wire_->acceptor.is_open()) {
                    Accept();
                }
            });
            return;
        }
        OnAccepted();
        Accept();
    });
}

void BridgeServer::OnAccepted() {
    net::PrepareSocket(wire_->incoming);
    // A client that closed just before the next one came is gone, not busy.
    if (session_ && PeerHasLeft(session_->socket)) {
        EndSession();
    }
    std::error_code ignored;
    if (session_) {
        ++refusedClients_;
        log_("refused a second client, " + DescribePeer(wire_->incoming) + ", while serving " +
             session_->who);
        wire_->incoming.close(ignored);
        return;
    }
    if (!ready_) {
        wire_->incoming.close(ignored);
        return;
    }
    StartSession();
}

void BridgeServer::StartSession() {
    ++clients_;
    session_ = std::make_shared<Session>(wire_->io, ++lastSessionId_, std::move(wire_->incoming));
    session_->who = DescribePeer(session_->socket);
    ArmIdle(session_);
    Read(session_);
}

void BridgeServer::ArmIdle(const SessionPtr& s) {
    s->idle.expires_after(options_.idleTimeout);
    s->idle.async_wait([this, s](const std::error_code& e) {
        if (e || s != session_) {
            return;
        }
        ++idleClosed_;
        log_("closed " + s->who + ": nothing received for " + Seconds(options_.idleTimeout));
        EndSession();
    });
}

void BridgeServer::Read(const SessionPtr& s) {
    s->socket.async_read_some(
        asio::buffer(s->chunk), [this, s](const std::error_code& error, std::size_t n) {
            if (s != session_) {
                return;
            }
            if (error) {
                if (s->filter.Unfinished() > 0) {
                    log_(s->who + " left inside a frame; its " +
                         std::to_string(s->filter.Unfinished()) + " bytes were dropped");
                }
                EndSession();
                return;
            }
            ArmIdle(s);
            s->filter.Feed(s->chunk.data(), n);
            if (s->filter.Refused()) {
                std::vector<uint8_t> unused;
                std::string why;
                s->filter.Next(unused, why);
                ++refusedInputs_;
                log_("closed " + s->who + ": it sent " + why);
                EndSession();
                return;
            }
            Dispatch(s);
            Read(s);
        });
}

void BridgeServer::Dispatch(const SessionPtr& s) {
    std::vector<uint8_t> command;
    std::string why;
    while (!s->busy && s->filter.Next(command, why) == CommandFilter::Verdict::Command) {
        if (IsCalibrationPageWrite(command) && !options_.allowCalibrationWrites) {
            // No reply: the client's procedure fails on it, as on any link error.
            ++refusedWrites_;
            log_("refused a calibration-page write (block " + std::to_string(command[2]) +
                 ", page " + std::to_string(command[3]) + ") from " + s->who +
                 "; --allow-calibration-writes lets them through");
            continue;
        }
        s->busy = true;
        const uint64_t id = s->id;
        instrument_.Post([this, id, command] {
            Exchange exchange = instrument_.Transfer(command);
            asio::post(wire_->io, [this, id, exchange = std::move(exchange)]() mutable {
                OnExchanged(id, std::move(exchange));
            });
        });
    }
}

void BridgeServer::OnExchanged(uint64_t sessionId, Exchange exchange) {
    const SessionPtr s = session_ && session_->id == sessionId ? session_ : nullptr;
    if (exchange.reply.empty()) {
        // The client sees a link error either way; a closed connection tells
        // it at once instead of at its own time-out.
        if (s) {
            log_("closed " + s->who + ": the instrument did not answer");
            EndSession();
        }
        if (!exchange.ready && ready_) {
            InstrumentMissing("the instrument is gone");
        }
        return;
    }
    if (!s) {
        return;  // the client left while its command was out
    }
    ++replies_;
    s->outgoing = EncodeFrame(exchange.reply.data(), exchange.reply.size());
    asio::async_write(s->socket, asio::buffer(s->outgoing),
                      [this, s](const std::error_code& error, std::size_t) {
                          if (s != session_) {
                              return;
                          }
                          if (error) {
                              EndSession();
                              return;
                          }
                          s->busy = false;
                          Dispatch(s);
                      });
}

void BridgeServer::EndSession() {
    if (!session_) {
        return;
    }
    std::error_code ignored;
    session_->idle.cancel();
    session_->socket.close(ignored);
    session_.reset();
}

}  // namespace korvel::bridge
