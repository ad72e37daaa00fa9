#include "stream_transport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace korvel {

namespace {

constexpr std::size_t kReceiveChunk = 4096;

}  // namespace

StreamTransport::StreamTransport(StreamEndpoint endpoint, int timeoutMs)
    : endpoint_(std::move(endpoint)), timeoutMs_(std::max(0, timeoutMs)) {}

StreamTransport::~StreamTransport() {
    Drop();
}

int StreamTransport::CountDevices() {
    if (waker_.IsWoken()) {
        return 0;
    }
    std::string error;
    const net::SocketHandle probe = net::Connect(endpoint_, timeoutMs_, &waker_, error);
    if (probe == net::kNoSocket) {
        return 0;
    }
    net::CloseSocket(probe);
    return 1;
}

bool StreamTransport::OpenDevice() {
    Drop();
    if (waker_.IsWoken()) {
        return false;
    }
    std::string error;
    socket_ = net::Connect(endpoint_, timeoutMs_, &waker_, error);
    return socket_ != net::kNoSocket;
}

bool StreamTransport::IsOpen() const {
    return socket_ != net::kNoSocket;
}

void StreamTransport::CloseDevice() {
    Drop();
}

void StreamTransport::Interrupt() {
    waker_.Wake();
}

void StreamTransport::Drop() {
    net::CloseSocket(socket_);
    socket_ = net::kNoSocket;
    decoder_.Clear();
}

bool StreamTransport::HasStaleInput() {
    if (decoder_.Buffered() > 0) {
        return true;
    }
    uint8_t probe[kReceiveChunk];
    const long n = net::Receive(socket_, probe, sizeof probe);
    return n != net::kWouldBlock;
}

int StreamTransport::WriteBlock(const uint8_t* data, int length) {
    if (socket_ == net::kNoSocket || length <= 0 || data == nullptr ||
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
    if (!net::SendAll(socket_, frame.data(), frame.size(), &waker_, timeoutMs_)) {
        Drop();
        return 0;
    }
    return length;
}

int StreamTransport::ReadBlock(uint8_t* buffer, int length) {
    if (socket_ == net::kNoSocket) {
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    uint8_t chunk[kReceiveChunk];
    while (!decoder_.HasFrame()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 ||
            net::WaitReadable(socket_, &waker_, static_cast<int>(left)) != net::WaitResult::Ready) {
            Drop();
            return 0;
        }
        const long n = net::Receive(socket_, chunk, sizeof chunk);
        if (n == net::kWouldBlock) {
            continue;
        }
        if (n <= 0) {
            Drop();
            return 0;
        }
        decoder_.Feed(chunk, static_cast<std::size_t>(n));
    }
    const std::vector<uint8_t> payload = decoder_.PopFrame();
    if (buffer != nullptr && length > 0 && !payload.empty()) {
        std::memcpy(buffer, payload.data(), std::min<std::size_t>(payload.size(), length));
    }
    return static_cast<int>(payload.size());
}

}  // namespace korvel
