#include "sim_server.h"

#include <array>
#include <asio/buffer.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <vector>

#include "stream/frame_codec.h"
#include "stream/framed_server.h"

namespace korvel {

namespace {

// A peer that does not take a reply within this time is gone.
constexpr auto kSendTimeout = std::chrono::milliseconds(5000);

}  // namespace

// Everything runs as handlers on the server's context in the thread inside
// Serve(), one operation at a time: no locks.
struct SimServer::Wire {
    net::FramedServer server{false};
    net::Socket connection{server.Io()};
    // Reply delays and the unplugged time.
    asio::steady_timer pause{server.Io()};
    asio::steady_timer sendLimit{server.Io()};
    FrameDecoder decoder;
    std::array<uint8_t, 4096> chunk{};
    std::vector<uint8_t> outgoing;
    // The reply being written (0: none), so that a time limit that fired
    // just as its write completed cannot close a later one.
    uint64_t writing = 0;

    void CloseConnection() {
        std::error_code ignored;
        connection.close(ignored);
        decoder.Clear();
    }
};

SimServer::SimServer(std::shared_ptr<SimInstrument> instrument, SimServerOptions options)
    : instrument_(std::move(instrument)), options_(options), wire_(std::make_unique<Wire>()) {
    if (!instrument_) {
        instrument_ = std::make_shared<SimInstrument>();
    }
}

SimServer::~SimServer() {
    wire_->CloseConnection();
    wire_->server.CloseListener();
}

bool SimServer::Listen(const StreamEndpoint& endpoint, std::string& error) {
    return wire_->server.Listen(endpoint, error);
}

const StreamEndpoint& SimServer::BoundEndpoint() const {
    return wire_->server.BoundEndpoint();
}

void SimServer::Stop() {
    wire_->server.Stop();
}

void SimServer::Serve() {
    if (wire_->server.Listening() && !wire_->server.Stopped()) {
        Accept();
        // Ends on Stop(), or when an unplug for good leaves nothing to do.
        wire_->server.Run(false);
    }
    wire_->CloseConnection();
    wire_->server.CloseListener();
}

void SimServer::Accept() {
    wire_->server.AcceptOne([this](net::Socket socket) {
        wire_->connection = std::move(socket);
        connections_.fetch_add(1, std::memory_order_relaxed);
        Read();
    });
}

void SimServer::Read() {
    wire_->connection.async_read_some(
        asio::buffer(wire_->chunk), [this](const std::error_code& error, std::size_t n) {
            if (error) {
                EndConnection();  // the program closed the device (or probed and left)
                return;
            }
            wire_->decoder.Feed(wire_->chunk.data(), n);
            AnswerFrames();
        });
}

void SimServer::AnswerFrames() {
    while (wire_->decoder.HasFrame()) {
        const std::vector<uint8_t> command = wire_->decoder.PopFrame();
        const SimReply reply =
            instrument_->Transact(command.data(), static_cast<int>(command.size()));
        if (reply.answered) {
            SendReply(reply, replies_.fetch_add(1, std::memory_order_relaxed) + 1);
            return;  // goes on when the reply is out
        }
    }
    Read();
}

void SimServer::SendReply(const SimReply& reply, uint64_t replyNumber) {
    std::vector<uint8_t>& frame = wire_->outgoing;
    frame = EncodeFrame(reply.bytes.data(), reply.bytes.size());
    if (reply.announcedLength >= 0) {
        // A cut frame: its header promises more than follows.
        frame[0] = static_cast<uint8_t>(reply.announcedLength & 0xFF);
        frame[1] = static_cast<uint8_t>((reply.announcedLength >> 8) & 0xFF);
    }
    const auto send = [this, replyNumber] {
        // The time limit closes the connection, which ends the write.
        wire_->sendLimit.expires_after(kSendTimeout);
        wire_->sendLimit.async_wait([this, replyNumber](const std::error_code& e) {
            if (!e && wire_->writing == replyNumber) {
                wire_->CloseConnection();
            }
        });
        wire_->writing = replyNumber;
        asio::async_write(wire_->connection, asio::buffer(wire_->outgoing),
                          [this, replyNumber](const std::error_code& error, std::size_t) {
                              wire_->writing = 0;
                              wire_->sendLimit.cancel();
                              if (error) {
                                  EndConnection();
                              } else if (options_.unplugAfterReplies != 0 &&
                                         replyNumber == options_.unplugAfterReplies) {
                                  unplugDue_ = true;
                                  EndConnection();
                              } else {
                                  AnswerFrames();
                              }
                          });
    };
    if (reply.delayMs <= 0) {
        send();
        return;
    }
    wire_->pause.expires_after(std::chrono::milliseconds(reply.delayMs));
    wire_->pause.async_wait([send](const std::error_code& e) {
        if (!e) {
            send();
        }
    });
}

void SimServer::EndConnection() {
    wire_->CloseConnection();
    if (unplugDue_) {
        Unplug();
    } else {
        Accept();
    }
}

void SimServer::Unplug() {
    unplugDue_ = false;
    wire_->server.CloseListener();
    if (options_.replugAfterMs < 0) {
        return;  // nothing left to do: Serve() returns
    }
    wire_->pause.expires_after(std::chrono::milliseconds(options_.replugAfterMs));
    wire_->pause.async_wait([this](const std::error_code& e) {
        std::string error;
        // The same endpoint (and port) again; on failure Serve() ends: the
        // instrument is gone.
        if (!e && wire_->server.Relisten(error)) {
            Accept();
        }
    });
}

}  // namespace korvel
