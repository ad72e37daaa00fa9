#include "socket_io.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace korvel::net {

namespace {

int Fd(SocketHandle s) {
    return static_cast<int>(s);
}

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer must not raise SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

bool MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

int NewSocket(int family) {
    const int fd = ::socket(family, SOCK_STREAM, 0);
    if (fd < 0) {
        return -1;
    }
    if (!MakeNonBlocking(fd)) {
        ::close(fd);
        return -1;
    }
#ifdef SO_NOSIGPIPE
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    return fd;
}

bool FillUnixAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

WaitResult Wait(SocketHandle socket, short events, const Waker* waker, int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    if (socket != kNoSocket) {
        fds[count++] = pollfd{Fd(socket), events, 0};
    }
    if (waker != nullptr) {
        fds[count++] = pollfd{Fd(waker->Handle()), POLLIN, 0};
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const int n = ::poll(fds, static_cast<nfds_t>(count), wait);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitResult::Failed;
        }
        if (waker != nullptr && fds[count - 1].revents != 0) {
            return WaitResult::Woken;
        }
        if (n == 0) {
            return WaitResult::TimedOut;
        }
        // Errors and hang-ups count as ready: the next call reports them.
        return WaitResult::Ready;
    }
}

int ConnectFd(int family, const sockaddr* addr, socklen_t length, int timeoutMs,
              const Waker* waker) {
    const int fd = NewSocket(family);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, addr, length) == 0) {
        return fd;
    }
    if (errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    if (Wait(fd, POLLOUT, waker, timeoutMs) != WaitResult::Ready) {
        ::close(fd);
        return -1;
    }
    int err = 0;
    socklen_t errLength = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLength) != 0 || err != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

Waker::Waker() {
    int fds[2];
    if (::pipe(fds) == 0) {
        MakeNonBlocking(fds[0]);
        MakeNonBlocking(fds[1]);
        readEnd_ = fds[0];
        writeEnd_ = fds[1];
    }
}

Waker::~Waker() {
    if (readEnd_ != kNoSocket) {
        ::close(Fd(readEnd_));
        ::close(Fd(writeEnd_));
    }
}

void Waker::Wake() {
    if (writeEnd_ != kNoSocket) {
        const char byte = 1;
        // A full pipe is already woken.
        [[maybe_unused]] const ssize_t ignored = ::write(Fd(writeEnd_), &byte, 1);
    }
}

bool Waker::IsWoken() const {
    pollfd fd{Fd(readEnd_), POLLIN, 0};
    return readEnd_ != kNoSocket && ::poll(&fd, 1, 0) > 0;
}

WaitResult WaitReadable(SocketHandle socket, const Waker* waker, int timeoutMs) {
    return Wait(socket, POLLIN, waker, timeoutMs);
}

WaitResult WaitWritable(SocketHandle socket, const Waker* waker, int timeoutMs) {
    return Wait(socket, POLLOUT, waker, timeoutMs);
}

bool WaitForWake(const Waker& waker, int timeoutMs) {
    return Wait(kNoSocket, 0, &waker, timeoutMs) == WaitResult::Woken;
}

SocketHandle Connect(const StreamEndpoint& endpoint, int timeoutMs, const Waker* waker,
                     std::string& error) {
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
        sockaddr_un addr;
        if (!FillUnixAddress(endpoint.path, addr)) {
            error = "bad socket path";
            return kNoSocket;
        }
        const int fd = ConnectFd(AF_UNIX, reinterpret_cast<const sockaddr*>(&addr), sizeof addr,
                                 timeoutMs, waker);
        if (fd < 0) {
            error = std::strerror(errno);
            return kNoSocket;
        }
        return fd;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    const int rc = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
        error = gai_strerror(rc);
        return kNoSocket;
    }
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ConnectFd(a->ai_family, a->ai_addr, a->ai_addrlen, timeoutMs, waker);
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        error = "cannot connect";
        return kNoSocket;
    }
    const int one = 1;
    // Frames are tiny and each waits for its answer: send them at once.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

SocketHandle Listen(const StreamEndpoint& endpoint, std::string& error) {
    int fd = -1;
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
        sockaddr_un addr;
        if (!FillUnixAddress(endpoint.path, addr)) {
            error = "bad socket path";
            return kNoSocket;
        }
        struct stat st;
        if (::lstat(endpoint.path.c_str(), &st) == 0) {
            if (!S_ISSOCK(st.st_mode)) {
                error = endpoint.path + " exists and is not a socket";
                return kNoSocket;
            }
            ::unlink(endpoint.path.c_str());
        }
        fd = NewSocket(AF_UNIX);
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            error = std::strerror(errno);
            if (fd >= 0) {
                ::close(fd);
            }
            return kNoSocket;
        }
    } else {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(endpoint.port);
        const int rc = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
        if (rc != 0) {
            error = gai_strerror(rc);
            return kNoSocket;
        }
        for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
            fd = NewSocket(a->ai_family);
            if (fd < 0) {
                continue;
            }
            const int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0) {
                error = std::strerror(errno);
                ::close(fd);
                fd = -1;
            }
        }
        ::freeaddrinfo(found);
        if (fd < 0) {
            return kNoSocket;
        }
    }
    if (::listen(fd, 8) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return kNoSocket;
    }
    return fd;
}

uint16_t LocalPort(SocketHandle listener) {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    if (::getsockname(Fd(listener), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return 0;
    }
    if (addr.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
    }
    if (addr.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
    }
    return 0;
}

SocketHandle Accept(SocketHandle listener) {
    const int fd = ::accept(Fd(listener), nullptr, nullptr);
    if (fd < 0) {
        return kNoSocket;
    }
    if (!MakeNonBlocking(fd)) {
        ::close(fd);
        return kNoSocket;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // fails harmlessly on Unix
#ifdef SO_NOSIGPIPE
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    return fd;
}

void RemoveUnixPath(const StreamEndpoint& endpoint) {
    struct stat st;
    if (endpoint.kind == StreamEndpoint::Kind::Unix && ::lstat(endpoint.path.c_str(), &st) == 0 &&
        S_ISSOCK(st.st_mode)) {
        ::unlink(endpoint.path.c_str());
    }
}

long Receive(SocketHandle socket, uint8_t* buffer, std::size_t length) {
    for (;;) {
        const ssize_t n = ::recv(Fd(socket), buffer, length, 0);
        if (n > 0) {
            return static_cast<long>(n);
        }
        if (n == 0) {
            return kClosed;
        }
        if (errno == EINTR) {
            continue;
        }
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
    }
}

long Send(SocketHandle socket, const uint8_t* data, std::size_t length) {
    for (;;) {
        const ssize_t n = ::send(Fd(socket), data, length, kSendFlags);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
    }
}

bool SendAll(SocketHandle socket, const uint8_t* data, std::size_t length, const Waker* waker,
             int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < length) {
        const long n = Send(socket, data + sent, length - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n != kWouldBlock) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || WaitWritable(socket, waker, static_cast<int>(left)) != WaitResult::Ready) {
            return false;
        }
    }
    return true;
}

void CloseSocket(SocketHandle socket) {
    if (socket != kNoSocket) {
        ::close(Fd(socket));
    }
}

}  // namespace korvel::net
