#include "socket_io.h"

#if defined(_WIN32)

// Winsock: TCP only. Sockets are non-blocking and every wait is a select()
// that also watches the waker, a connected loopback pair standing in for
// the pipe of the POSIX side.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>

#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace korvel::net {

namespace {

constexpr const char* kNoUnixSockets =
    "Unix-domain sockets are not available on Windows; use tcp:HOST:PORT";

// Winsock is started once, on first use, and stays up until the process ends.
bool WinsockReady() {
    static const bool ready = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

SOCKET Sock(SocketHandle s) {
    return static_cast<SOCKET>(s);
}

SocketHandle ToHandle(SOCKET s) {
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

std::string ErrorText(int code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message =
        (n > 0 && text != nullptr) ? std::string(text, n) : "socket error " + std::to_string(code);
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

void SetOption(SOCKET s, int level, int name, int value) {
    ::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

bool MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

SOCKET NewSocket(int family) {
    if (!WinsockReady()) {
        return INVALID_SOCKET;
    }
    // Not inherited by child processes, like FD_CLOEXEC.
    SOCKET s = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                            WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        s = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
        if (s != INVALID_SOCKET) {
            ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
        }
    }
    if (s != INVALID_SOCKET && !MakeNonBlocking(s)) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

WaitResult Wait(SocketHandle socket, bool forWrite, const Waker* waker, int timeoutMs) {
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    const bool watchWaker = waker != nullptr && waker->Handle() != kNoSocket;
    if (socket != kNoSocket) {
        // A connect that fails is reported in the exception set, not as writable.
        FD_SET(Sock(socket), forWrite ? &writable : &readable);
        FD_SET(Sock(socket), &failed);
    }
    if (watchWaker) {
        FD_SET(Sock(waker->Handle()), &readable);
    }
    if (socket == kNoSocket && !watchWaker) {
        // select() needs a socket; a plain pause is all that is left.
        if (timeoutMs < 0) {
            return WaitResult::Failed;
        }
        ::Sleep(static_cast<DWORD>(timeoutMs));
        return WaitResult::TimedOut;
    }
    timeval limit{};
    if (timeoutMs >= 0) {
        limit.tv_sec = timeoutMs / 1000;
        limit.tv_usec = (timeoutMs % 1000) * 1000;
    }
    const int n = ::select(0, &readable, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
    if (n == SOCKET_ERROR) {
        return WaitResult::Failed;
    }
    if (watchWaker && FD_ISSET(Sock(waker->Handle()), &readable)) {
        return WaitResult::Woken;
    }
    if (n == 0) {
        return WaitResult::TimedOut;
    }
    // Errors and hang-ups count as ready: the next call reports them.
    return WaitResult::Ready;
}

SOCKET ConnectSocket(int family, const sockaddr* addr, int length, int timeoutMs,
                     const Waker* waker, int& error) {
    const SOCKET s = NewSocket(family);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return INVALID_SOCKET;
    }
    if (::connect(s, addr, length) == 0) {
        return s;
    }
    error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    if (Wait(ToHandle(s), true, waker, timeoutMs) != WaitResult::Ready) {
        error = WSAETIMEDOUT;
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    int soError = 0;
    int soLength = sizeof soError;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &soLength) != 0 ||
        soError != 0) {
        error = soError != 0 ? soError : ::WSAGetLastError();
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Two connected loopback sockets; the accepted end must be the peer of ours.
bool LoopbackPair(SOCKET& reader, SOCKET& writer) {
    reader = writer = INVALID_SOCKET;
    if (!WinsockReady()) {
        return false;
    }
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof addr;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(listener, 1) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (writer != INVALID_SOCKET &&
            ::connect(writer, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            reader = ::accept(listener, nullptr, nullptr);
        }
    }
    ::closesocket(listener);
    sockaddr_in ours{};
    sockaddr_in theirs{};
    int oursLength = sizeof ours;
    int theirsLength = sizeof theirs;
    const bool paired =
        reader != INVALID_SOCKET &&
        ::getsockname(writer, reinterpret_cast<sockaddr*>(&ours), &oursLength) == 0 &&
        ::getpeername(reader, reinterpret_cast<sockaddr*>(&theirs), &theirsLength) == 0 &&
        ours.sin_port == theirs.sin_port && MakeNonBlocking(reader) && MakeNonBlocking(writer);
    if (!paired) {
        if (reader != INVALID_SOCKET) {
            ::closesocket(reader);
        }
        if (writer != INVALID_SOCKET) {
            ::closesocket(writer);
        }
        reader = writer = INVALID_SOCKET;
        return false;
    }
    SetOption(writer, IPPROTO_TCP, TCP_NODELAY, 1);
    return true;
}

}  // namespace

Waker::Waker() {
    SOCKET reader;
    SOCKET writer;
    if (LoopbackPair(reader, writer)) {
        readEnd_ = ToHandle(reader);
        writeEnd_ = ToHandle(writer);
    }
}

Waker::~Waker() {
    if (readEnd_ != kNoSocket) {
        ::closesocket(Sock(readEnd_));
        ::closesocket(Sock(writeEnd_));
    }
}

void Waker::Wake() {
    if (writeEnd_ != kNoSocket) {
        const char byte = 1;
        // A full buffer is already woken.
        ::send(Sock(writeEnd_), &byte, 1, 0);
    }
}

bool Waker::IsWoken() const {
    return readEnd_ != kNoSocket && Wait(kNoSocket, false, this, 0) == WaitResult::Woken;
}

WaitResult WaitReadable(SocketHandle socket, const Waker* waker, int timeoutMs) {
    return Wait(socket, false, waker, timeoutMs);
}

WaitResult WaitWritable(SocketHandle socket, const Waker* waker, int timeoutMs) {
    return Wait(socket, true, waker, timeoutMs);
}

bool WaitForWake(const Waker& waker, int timeoutMs) {
    return Wait(kNoSocket, false, &waker, timeoutMs) == WaitResult::Woken;
}

SocketHandle Connect(const StreamEndpoint& endpoint, int timeoutMs, const Waker* waker,
                     std::string& error) {
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
        error = kNoUnixSockets;
        return kNoSocket;
    }
    if (!WinsockReady()) {
        error = "Winsock cannot be started";
        return kNoSocket;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    const int rc = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
        error = ErrorText(rc);
        return kNoSocket;
    }
    SOCKET s = INVALID_SOCKET;
    int lastError = 0;
    for (addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next) {
        s = ConnectSocket(a->ai_family, a->ai_addr, static_cast<int>(a->ai_addrlen), timeoutMs,
                          waker, lastError);
    }
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        error = lastError != 0 ? ErrorText(lastError) : "cannot connect";
        return kNoSocket;
    }
    // Frames are tiny and each waits for its answer: send them at once.
    SetOption(s, IPPROTO_TCP, TCP_NODELAY, 1);
    return ToHandle(s);
}

SocketHandle Listen(const StreamEndpoint& endpoint, std::string& error) {
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
        error = kNoUnixSockets;
        return kNoSocket;
    }
    if (!WinsockReady()) {
        error = "Winsock cannot be started";
        return kNoSocket;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    const int rc = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
        error = ErrorText(rc);
        return kNoSocket;
    }
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next) {
        s = NewSocket(a->ai_family);
        if (s == INVALID_SOCKET) {
            continue;
        }
        // Windows' SO_REUSEADDR would let another process take the port over.
        SetOption(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
        if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            error = ErrorText(::WSAGetLastError());
            ::closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        return kNoSocket;
    }
    if (::listen(s, 8) != 0) {
        error = ErrorText(::WSAGetLastError());
        ::closesocket(s);
        return kNoSocket;
    }
    return ToHandle(s);
}

uint16_t LocalPort(SocketHandle listener) {
    sockaddr_storage addr{};
    int length = sizeof addr;
    if (::getsockname(Sock(listener), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
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
    const SOCKET s = ::accept(Sock(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        return kNoSocket;
    }
    if (!MakeNonBlocking(s)) {
        ::closesocket(s);
        return kNoSocket;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    SetOption(s, IPPROTO_TCP, TCP_NODELAY, 1);
    return ToHandle(s);
}

void RemoveUnixPath(const StreamEndpoint&) {}

long Receive(SocketHandle socket, uint8_t* buffer, std::size_t length) {
    const int chunk = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
    for (;;) {
        const int n = ::recv(Sock(socket), reinterpret_cast<char*>(buffer), chunk, 0);
        if (n > 0) {
            return n;
        }
        if (n == 0) {
            return kClosed;
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEINTR) {
            continue;
        }
        return error == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
    }
}

long Send(SocketHandle socket, const uint8_t* data, std::size_t length) {
    const int chunk = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
    for (;;) {
        const int n = ::send(Sock(socket), reinterpret_cast<const char*>(data), chunk, 0);
        if (n >= 0) {
            return n;
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEINTR) {
            continue;
        }
        return error == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
    }
}

void CloseSocket(SocketHandle socket) {
    if (socket != kNoSocket) {
        ::closesocket(Sock(socket));
    }
}

}  // namespace korvel::net

#else  // POSIX

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
            // Replace only a socket that nobody listens on any more.
            const int probe = ConnectFd(AF_UNIX, reinterpret_cast<const sockaddr*>(&addr),
                                        sizeof addr, 100, nullptr);
            if (probe >= 0) {
                ::close(probe);
                error = endpoint.path + " is in use by another listener";
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
    if (::listen(fd, SOMAXCONN) != 0) {
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

void CloseSocket(SocketHandle socket) {
    if (socket != kNoSocket) {
        ::close(Fd(socket));
    }
}

}  // namespace korvel::net

#endif  // POSIX

namespace korvel::net {

// The same on every platform: the calls it makes are each platform's own.
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

}  // namespace korvel::net
