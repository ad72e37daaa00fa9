#include "stream_transport.h"

#include <algorithm>
#include <array>
#include <asio/buffer.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <cstring>
#include <string>

#include "frame_codec.h"
#include "stream_socket.h"
#include "timed_io.h"

namespace korvel {

namespace {

constexpr std::size_t kReceiveChunk = 4096;

}  // namespace

struct StreamTransport::Connection {
    net::TimedIo io;
    net::Socket socket{io.Context()};
    FrameDecoder decoder;
    std::array<uint8_t, kReceiveChunk> chunk{};

    // Makes the pending operation complete, so that a wait can end.
    auto Closer() {
        return [this] {
            std::error_code ignored;
            socket.close(ignored);
        };
    }
};

StreamTransport::StreamTransport(StreamEndpoint endpoint, int timeoutMs)
    : endpoint_(std::move(endpoint)),
      timeoutMs_(std::max(0, timeoutMs)),
      connection_(std::make_unique<Connection>()) {}

StreamTransport::~StreamTransport() {
    Drop();
}

int StreamTransport::CountDevices() {
    net::TimedIo& io = connection_->io;
    if (io.Interrupted()) {
        return 0;
    }
    net::Socket probe(io.Context());
    std::string error;
    return net::Connect(endpoint_, io, timeoutMs_, probe, error) ? 1 : 0;
}

bool StreamTransport::OpenDevice() {
    Drop();
    net::TimedIo& io = connection_->io;
    if (io.Interrupted()) {
        return false;
    }
    std::string error;
    if (!net::Connect(endpoint_, io, timeoutMs_, connection_->socket, error)) {
        return false;
    }
    // Lets HasStaleInput() look without waiting; waits go through `io`.
    std::error_code ec;
    connection_->socket.non_blocking(true, ec);
    return true;
}

bool StreamTransport::IsOpen() const {
    return connection_->socket.is_open();
}

void StreamTransport::CloseDevice() {
    Drop();
}

void StreamTransport::Interrupt() {
    connection_->io.Interrupt();
}

void StreamTransport::Drop() {
    std::error_code ignored;
    connection_->socket.close(ignored);
    connection_->decoder.Clear();
}

bool StreamTransport::HasStaleInput() {
    if (connection_->decoder.Buffered() > 0) {
        return true;
    }
    std::error_code ec;
    connection_->socket.read_some(asio::buffer(connection_->chunk), ec);
    return ec != asio::error::would_block;
}

int StreamTransport::WriteBlock(const uint8_t* data, int length) {
    if (!IsOpen() || length <= 0 || data == nullptr ||
        static_cast<std::size_t>(length) > kMaxFramePayload) {
        return 0;
    }
    // Anything already waiting answers no command of ours: the stream is out
    // of step with the commands, so start over with a new connection.
    if (HasStaleInput()) {
        Drop();
        return 0;
    }
    const std::vector<uint8_t> frame = EncodeFrame(data, static_cast<std::size_t>(length));
    net::Socket& socket = connection_->socket;
    // A frame that fits the send buffer goes without a wait (even once the
    // worker is stopping); only the rest waits.
    std::error_code ec;
    const std::size_t sent = socket.write_some(asio::buffer(frame), ec);
    if (ec && ec != asio::error::would_block) {
        Drop();
        return 0;
    }
    if (sent < frame.size()) {
        const auto rest = asio::buffer(frame) + sent;
        const net::TimedIo::Outcome outcome = connection_->io.Run(
            timeoutMs_, [&](auto handler) { asio::async_write(socket, rest, std::move(handler)); },
            connection_->Closer());
        if (outcome.error) {
            Drop();
            return 0;
        }
    }
    return length;
}

int StreamTransport::ReadBlock(uint8_t* buffer, int length) {
    if (!IsOpen()) {
        return 0;
    }
    Connection& c = *connection_;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    while (!c.decoder.HasFrame()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            Drop();
            return 0;
        }
        const net::TimedIo::Outcome outcome = c.io.Run(
            static_cast<int>(left),
            [&](auto handler) {
                c.socket.async_read_some(asio::buffer(c.chunk), std::move(handler));
            },
            c.Closer());
        // Also the peer closing (end of file): the reply will not come.
        if (outcome.error) {
            Drop();
            return 0;
        }
        c.decoder.Feed(c.chunk.data(), outcome.bytes);
    }
    const std::vector<uint8_t> payload = c.decoder.PopFrame();
    if (buffer != nullptr && length > 0 && !payload.empty()) {
        std::memcpy(buffer, payload.data(), std::min<std::size_t>(payload.size(), length));
    }
    return static_cast<int>(payload.size());
}

}  // namespace korvel
