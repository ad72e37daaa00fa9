#include "hostile_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <vector>

namespace korvel::soak {

namespace {

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<uint8_t> FrameOf(std::size_t length, uint8_t fill) {
    std::vector<uint8_t> frame(length + 2, fill);
    frame[0] = static_cast<uint8_t>(length & 0xFF);
    frame[1] = static_cast<uint8_t>(length >> 8);
    return frame;
}

}  // namespace

const char* HostileModeName(HostileMode mode) {
    switch (mode) {
        case HostileMode::RawGarbage:
            return "raw garbage";
        case HostileMode::LengthWithoutData:
            return "length 65535 without data";
        case HostileMode::HugeFrame:
            return "65535-byte frame";
        case HostileMode::Unsolicited:
            return "unsolicited frames";
    }
    return "?";
}

HostilePeer::HostilePeer(const std::string& socketPath, HostileMode mode, uint32_t seed)
    : path_(socketPath), mode_(mode), seed_(seed) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        return;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path_.c_str());
    ::unlink(path_.c_str());
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 8) != 0) {
        if (listener_ >= 0) {
            ::close(listener_);
        }
        listener_ = -1;
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

HostilePeer::~HostilePeer() {
    if (stopPipe_[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &stop, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(path_.c_str());
    }
    for (int fd : stopPipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void HostilePeer::Run() {
    for (;;) {
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 || (p[0].revents & POLLIN) != 0) {
            return;
        }
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        connections_.fetch_add(1, std::memory_order_relaxed);
        Serve(fd);
        ::close(fd);
    }
}

void HostilePeer::Serve(int fd) {
    if (mode_ == HostileMode::Unsolicited && !SendAll(fd, FrameOf(18, 0x5A))) {
        return;
    }
    for (;;) {
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 || (p[0].revents & POLLIN) != 0) {
            return;
        }
        uint8_t chunk[4096];
        if (::recv(fd, chunk, sizeof chunk, 0) <= 0) {
            return;  // the program closed the connection (or only probed)
        }
        Answer(fd);
    }
}

void HostilePeer::Answer(int fd) {
    std::mt19937 rng(seed_ + static_cast<uint32_t>(connections_.load()));
    std::vector<uint8_t> reply;
    switch (mode_) {
        case HostileMode::RawGarbage: {
            reply.resize(std::uniform_int_distribution<std::size_t>(1, 64)(rng));
            for (uint8_t& b : reply) {
                b = static_cast<uint8_t>(rng());
            }
            break;
        }
        case HostileMode::LengthWithoutData:
            reply = FrameOf(65535, 0xA5);
            reply.resize(2 + 100);  // the rest never comes
            break;
        case HostileMode::HugeFrame:
            reply = FrameOf(65535, 0xA5);
            break;
        case HostileMode::Unsolicited:
            reply = FrameOf(18, 0x5A);
            reply.insert(reply.end(), reply.begin(), reply.end());  // two answers to one command
            break;
    }
    SendAll(fd, reply);
}

}  // namespace korvel::soak
