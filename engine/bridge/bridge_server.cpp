#include "bridge_server.h"

#include <array>
#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <vector>

#include "bridge/command_filter.h"
#include "bridge/peer_socket.h"
#include "stream/frame_codec.h"
#include "stream/framed_server.h"

namespace korvel::bridge {

namespace {

std::string Seconds(std::chrono::milliseconds d) {
    const auto ms = d.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

// Everything runs as handlers on the server's context in the thread inside
// Serve(): no locks. The instrument thread only posts its results here.
struct BridgeServer::Wire {
    net::FramedServer server{true};
    net::Socket incoming{server.Io()};
    asio::steady_timer refusalPeriod{server.Io()};
};

struct BridgeServer::Session {
    Session(asio::io_context& io, uint64_t sessionId, net::Socket&& accepted)
        : id(sessionId), socket(std::move(accepted)), idle(io), frame(io) {}

    uint64_t id;
    net::Socket socket;
    asio::steady_timer idle;
    asio::steady_timer frame;
    bool frameWatched = false;
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
    // The instrument thread posts into the server's context: it ends first.
    instrument_.Stop();
    EndSession();
    wire_->server.CloseListener();
}

bool BridgeServer::Listen(const StreamEndpoint& endpoint, std::string& error) {
    return wire_->server.Listen(endpoint, error);
}

const StreamEndpoint& BridgeServer::BoundEndpoint() const {
    return wire_->server.BoundEndpoint();
}

void BridgeServer::Stop() {
    wire_->server.Stop();
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
    if (wire_->server.Listening() && !wire_->server.Stopped()) {
        // Connections wait in the backlog until the instrument is known to work.
        instrument_.Post([this] {
            const bool open = instrument_.EnsureOpen();
            asio::post(wire_->server.Io(), [this, open] {
                if (open) {
                    InstrumentReady();
                } else {
                    InstrumentMissing("no instrument yet");
                }
            });
        });
        wire_->server.Run(true);
    }
    instrument_.Stop();
    EndSession();
    wire_->server.CloseListener();
    return !relistenFailed_;
}

void BridgeServer::InstrumentReady() {
    ready_ = true;
    announce_("listening on " + BoundEndpoint().ToString());
    Accept();
}

void BridgeServer::InstrumentMissing(const std::string& why) {
    ready_ = false;
    EndSession();
    // Refused connections tell a client there is no instrument, as an
    // unplugged one would.
    wire_->server.CloseListener();
    log_(why + ": not listening until the instrument is there");
    instrument_.Post([this] {
        if (instrument_.WaitUntilOpen()) {
            asio::post(wire_->server.Io(), [this] { OnInstrumentBack(); });
        }
    });
}

void BridgeServer::OnInstrumentBack() {
    std::string error;
    // The same endpoint (and port) again.
    if (!wire_->server.Relisten(error)) {
        log_("the instrument is back, but " + BoundEndpoint().ToString() +
             " cannot be bound again: " + error);
        relistenFailed_ = true;
        Stop();
        return;
    }
    log_("the instrument is back");
    InstrumentReady();
}

void BridgeServer::Accept() {
    wire_->server.AcceptOne([this](net::Socket socket) {
        wire_->incoming = std::move(socket);
        OnAccepted();
        Accept();
    });
}

void BridgeServer::OnAccepted() {
    net::Socket& incoming = wire_->incoming;
    // A client that closed just before the next one came is gone, not busy.
    if (session_ && PeerHasLeft(session_->socket)) {
        EndSession();
    }
    std::error_code ignored;
    if (session_) {
        RefuseClient();
        incoming.close(ignored);
        return;
    }
    if (!ready_) {
        incoming.close(ignored);
        return;
    }
    StartSession();
}

void BridgeServer::StartSession() {
    ++clients_;
    session_ =
        std::make_shared<Session>(wire_->server.Io(), ++lastSessionId_, std::move(wire_->incoming));
    session_->who = DescribePeer(session_->socket);
    ArmIdle(session_);
    Read(session_);
}

void BridgeServer::RefuseClient() {
    ++refusedClients_;
    // The first refusal is named; a flood of them is counted, a line a period.
    if (refusalPeriod_) {
        ++unloggedRefusals_;
        return;
    }
    log_("refused a second client, " + DescribePeer(wire_->incoming) + ", while serving " +
         session_->who);
    refusalPeriod_ = true;
    wire_->refusalPeriod.expires_after(options_.refusalLogPeriod);
    wire_->refusalPeriod.async_wait([this](const std::error_code& e) {
        if (!e) {
            LogRefusedCount();
        }
    });
}

void BridgeServer::LogRefusedCount() {
    refusalPeriod_ = false;
    wire_->refusalPeriod.cancel();
    if (unloggedRefusals_ > 0) {
        log_("refused " + std::to_string(unloggedRefusals_) + " more client" +
             (unloggedRefusals_ == 1 ? "" : "s") + " while serving " +
             (session_ ? session_->who : std::string("a client that has left")));
        unloggedRefusals_ = 0;
    }
}

void BridgeServer::ArmIdle(const SessionPtr& s) {
    s->idle.expires_after(options_.idleTimeout);
    s->idle.async_wait([this, s](const std::error_code& e) {
        if (e || s != session_) {
            return;
        }
        ++idleClosed_;
        log_("closed " + s->who + ": " +
             (s->filter.Unfinished() > 0 ? "no whole command" : "nothing") + " received for " +
             Seconds(options_.idleTimeout));
        EndSession();
    });
}

void BridgeServer::WatchFrame(const SessionPtr& s) {
    if (s->filter.Unfinished() == 0) {
        s->frameWatched = false;
        s->frame.cancel();
        return;
    }
    if (s->frameWatched) {
        return;
    }
    s->frameWatched = true;
    s->frame.expires_after(options_.frameTimeout);
    s->frame.async_wait([this, s](const std::error_code& e) {
        if (e || s != session_) {
            return;
        }
        ++idleClosed_;
        log_("closed " + s->who + ": a frame left unfinished for " +
             Seconds(options_.frameTimeout));
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
            const uint64_t before = s->filter.Received();
            s->filter.Feed(s->chunk.data(), n);
            // Only whole commands keep a client: bytes dripped in do not.
            if (s->filter.Received() != before) {
                ArmIdle(s);
            }
            if (s->filter.Refused()) {
                std::vector<uint8_t> unused;
                std::string why;
                s->filter.Next(unused, why);
                ++refusedInputs_;
                log_("closed " + s->who + ": it sent " + why);
                EndSession();
                return;
            }
            WatchFrame(s);
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
            asio::post(wire_->server.Io(), [this, id, exchange = std::move(exchange)]() mutable {
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
    session_->frame.cancel();
    session_->socket.close(ignored);
    LogRefusedCount();
    session_.reset();
}

}  // namespace korvel::bridge
