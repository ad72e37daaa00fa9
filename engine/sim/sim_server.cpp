#include "sim_server.h"

#include "stream/frame_codec.h"

namespace korvel {

namespace {

// A peer that does not take a reply within this time is gone.
constexpr int kSendTimeoutMs = 5000;
constexpr int kAcceptRetryMs = 50;

}  // namespace

SimServer::SimServer(std::shared_ptr<SimInstrument> instrument, SimServerOptions options)
    : instrument_(std::move(instrument)), options_(options) {
    if (!instrument_) {
        instrument_ = std::make_shared<SimInstrument>();
    }
}

SimServer::~SimServer() {
    CloseListener();
}

bool SimServer::Listen(const StreamEndpoint& endpoint, std::string& error) {
    CloseListener();
    listener_ = net::Listen(endpoint, error);
    if (listener_ == net::kNoSocket) {
        return false;
    }
    endpoint_ = endpoint;
    if (endpoint_.kind == StreamEndpoint::Kind::Tcp && endpoint_.port == 0) {
        endpoint_.port = net::LocalPort(listener_);
    }
    return true;
}

void SimServer::CloseListener() {
    if (listener_ != net::kNoSocket) {
        net::CloseSocket(listener_);
        listener_ = net::kNoSocket;
        net::RemoveUnixPath(endpoint_);
    }
}

void SimServer::Serve() {
    while (listener_ != net::kNoSocket) {
        if (net::WaitReadable(listener_, &waker_, -1) != net::WaitResult::Ready) {
            break;
        }
        const net::SocketHandle connection = net::Accept(listener_);
        if (connection == net::kNoSocket) {
            // Out of descriptors or a connection that left at once: give the
            // system a moment rather than spin on a listener that stays ready.
            if (net::WaitForWake(waker_, kAcceptRetryMs)) {
                break;
            }
            continue;
        }
        connections_.fetch_add(1, std::memory_order_relaxed);
        ServeConnection(connection);
        net::CloseSocket(connection);
        if (unplugDue_) {
            UnplugAndWait();
        }
    }
    CloseListener();
}

void SimServer::UnplugAndWait() {
    unplugDue_ = false;
    const StreamEndpoint endpoint = endpoint_;
    CloseListener();
    if (options_.replugAfterMs < 0 || net::WaitForWake(waker_, options_.replugAfterMs)) {
        return;
    }
    std::string error;
    Listen(endpoint, error);  // on failure Serve() ends: the instrument is gone
}

void SimServer::ServeConnection(net::SocketHandle connection) {
    FrameDecoder decoder;
    uint8_t chunk[4096];
    for (;;) {
        if (net::WaitReadable(connection, &waker_, -1) != net::WaitResult::Ready) {
            return;
        }
        const long n = net::Receive(connection, chunk, sizeof chunk);
        if (n == net::kWouldBlock) {
            continue;
        }
        if (n <= 0) {
            return;  // the program closed the device (or probed and left)
        }
        decoder.Feed(chunk, static_cast<std::size_t>(n));
        while (decoder.HasFrame()) {
            const std::vector<uint8_t> command = decoder.PopFrame();
            const SimReply reply =
                instrument_->Transact(command.data(), static_cast<int>(command.size()));
            if (!reply.answered) {
                continue;
            }
            const uint64_t replies = replies_.fetch_add(1, std::memory_order_relaxed) + 1;
            if (!SendReply(connection, reply)) {
                return;
            }
            if (options_.unplugAfterReplies != 0 && replies == options_.unplugAfterReplies) {
                unplugDue_ = true;
                return;
            }
        }
    }
}

bool SimServer::SendReply(net::SocketHandle connection, const SimReply& reply) {
    if (reply.delayMs > 0 && net::WaitForWake(waker_, reply.delayMs)) {
        return false;
    }
    std::vector<uint8_t> frame = EncodeFrame(reply.bytes.data(), reply.bytes.size());
    if (reply.announcedLength >= 0) {
        // A cut frame: its header promises more than follows.
        frame[0] = static_cast<uint8_t>(reply.announcedLength & 0xFF);
        frame[1] = static_cast<uint8_t>((reply.announcedLength >> 8) & 0xFF);
    }
    return net::SendAll(connection, frame.data(), frame.size(), &waker_, kSendTimeoutMs);
}

}  // namespace korvel
