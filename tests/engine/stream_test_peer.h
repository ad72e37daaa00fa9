// An instrument peer for stream tests, written with plain blocking POSIX
// sockets (independent of the transport's own socket code): it listens on a
// fresh Unix path and runs a script on each accepted connection, each in its
// own thread, as a server with a slow old connection would.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace korvel::testing {

inline std::string TempSocketPath(const char* tag) {
    static std::atomic<int> counter{0};
    return "/tmp/korvel-" + std::string(tag) + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".sock";
}

// Reads exactly n bytes, waiting at most timeoutMs for each piece.
inline bool ReadExactly(int fd, uint8_t* out, std::size_t n, int timeoutMs = 5000) {
    std::size_t got = 0;
    while (got < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        const ssize_t r = ::read(fd, out + got, n - got);
        if (r <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(r);
    }
    return true;
}

// One whole frame's payload; false when the connection ended first.
inline bool ReadFrame(int fd, std::vector<uint8_t>& payload) {
    uint8_t header[2];
    if (!ReadExactly(fd, header, 2)) {
        return false;
    }
    payload.assign(static_cast<std::size_t>(header[0] | (header[1] << 8)), 0);
    return payload.empty() || ReadExactly(fd, payload.data(), payload.size());
}

inline bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t w = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (w <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(w);
    }
    return true;
}

inline std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload, int announced = -1) {
    const std::size_t n = announced >= 0 ? static_cast<std::size_t>(announced) : payload.size();
    std::vector<uint8_t> f{static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

class UnixPeer {
  public:
    using Script = std::function<void(int fd, int connection)>;

    explicit UnixPeer(Script script) : path_(TempSocketPath("peer")), script_(std::move(script)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path_.c_str());
        ::unlink(path_.c_str());
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 8) != 0) {
            std::perror("test peer");
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~UnixPeer() {
        stop_.store(true);
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        for (std::thread& t : connectionThreads_) {
            t.join();
        }
        ::close(listener_);
        ::unlink(path_.c_str());
    }

    std::string Device() const { return "unix:" + path_; }
    int Connections() const { return connections_.load(); }

  private:
    void Run() {
        for (int n = 0;; ++n) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0 || stop_.load()) {
                if (fd >= 0) {
                    ::close(fd);
                }
                return;
            }
            connections_.fetch_add(1);
            connectionThreads_.emplace_back([this, fd, n] {
                script_(fd, n);
                ::close(fd);
            });
        }
    }

    std::string path_;
    Script script_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
    std::vector<std::thread> connectionThreads_;
};

}  // namespace korvel::testing
