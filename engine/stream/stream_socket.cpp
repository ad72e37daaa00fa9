#include "stream_socket.h"

#include <asio/ip/tcp.hpp>
#include <asio/local/stream_protocol.hpp>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

// Asio can reach Unix sockets on newer Windows too; the program does not.
#if defined(ASIO_HAS_LOCAL_SOCKETS) && !defined(_WIN32)
#define KORVEL_UNIX_SOCKETS 1
#endif

namespace korvel::net {

namespace {

using Endpoint = asio::generic::stream_protocol::endpoint;

#if defined(_WIN32)
// Windows' SO_REUSEADDR would let another process take the port over.
using ListenerAddressOption = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
#else
using ListenerAddressOption = asio::socket_base::reuse_address;
#endif

template <typename Handle>
void KeepFromChildren(Handle handle) {
#if defined(_WIN32)
    const SOCKET socket = handle;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
#else
    ::fcntl(handle, F_SETFD, FD_CLOEXEC);
#endif
}

// The addresses of a TCP endpoint, in the resolver's order.
bool Resolve(const StreamEndpoint& endpoint, const asio::any_io_executor& executor, bool passive,
             std::vector<Endpoint>& out, std::string& error) {
    asio::ip::tcp::resolver resolver(executor);
    std::error_code ec;
    // No AI_ADDRCONFIG: it would refuse "::1" on a host without IPv6 addresses.
    const auto flags =
        passive ? asio::ip::tcp::resolver::passive : asio::ip::tcp::resolver::flags();
    const auto results = resolver.resolve(endpoint.host, std::to_string(endpoint.port), flags, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    for (const auto& entry : results) {
        out.emplace_back(entry.endpoint());
    }
    if (out.empty()) {
        error = "no address for " + endpoint.host;
        return false;
    }
    return true;
}

bool ConnectTo(const Endpoint& target, TimedIo& io, int timeoutMs, Socket& socket,
               std::string& error) {
    std::error_code ec;
    socket.close(ec);
    socket.open(target.protocol(), ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    KeepFromChildren(socket.native_handle());
    const TimedIo::Outcome outcome = io.Run(
        timeoutMs, [&](auto handler) { socket.async_connect(target, std::move(handler)); },
        [&] { socket.close(ec); });
    if (outcome.error) {
        error = outcome.error.message();
        socket.close(ec);
        return false;
    }
    return true;
}

// `ownerOnlyPath`: a Unix socket file made owner-only between bind and
// listen, while connections are still refused.
bool BindAndListen(const Endpoint& target, bool tcp, Acceptor& acceptor, std::string& error,
                   const std::string& ownerOnlyPath = {}) {
    std::error_code ec;
    acceptor.close(ec);
    acceptor.open(target.protocol(), ec);
    if (!ec) {
        KeepFromChildren(acceptor.native_handle());
        if (tcp) {
            acceptor.set_option(ListenerAddressOption(true), ec);
        }
    }
    if (!ec) {
        acceptor.bind(target, ec);
    }
    if (!ec && !ownerOnlyPath.empty()) {
        std::filesystem::permissions(
            ownerOnlyPath, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::replace, ec);
    }
    if (!ec) {
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = ec.message();
        acceptor.close(ec);
        return false;
    }
    return true;
}

#if defined(KORVEL_UNIX_SOCKETS)

bool UnixEndpoint(const std::string& path, Endpoint& out, std::string& error) {
    // sun_path holds the path and its terminating zero.
    // A zero byte would cut the path short (or make it an abstract name).
    if (path.empty() || path.size() >= sizeof(sockaddr_un{}.sun_path) ||
        path.find('\0') != std::string::npos) {
        error = "bad socket path";
        return false;
    }
    out = Endpoint(asio::local::stream_protocol::endpoint(path));
    return true;
}

bool IsSocketFile(const std::string& path, bool& exists) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    exists = !ec && std::filesystem::exists(status);
    return exists && status.type() == std::filesystem::file_type::socket;
}

// The socket file at `path` (not followed), or all zero.
ListenerFile SocketFileAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
        return {};
    }
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// Clears the way for a listener on `path`: false when something that must
// stay is there. Only a refused connection proves a socket stale: a full
// backlog, a probe that times out or one not permitted is a live listener
// or someone else's.
bool ClearUnixPath(const std::string& path, const Endpoint& target, std::string& error) {
    bool exists = false;
    if (!IsSocketFile(path, exists)) {
        if (exists) {
            error = path + " exists and is not a socket";
        }
        return !exists;
    }
    // Non-blocking: a full backlog answers at once (EAGAIN) instead of waiting.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (probe >= 0) {
        KeepFromChildren(probe);
        ::fcntl(probe, F_SETFL, ::fcntl(probe, F_GETFL) | O_NONBLOCK);
    }
    const int result =
        probe < 0 ? -1 : ::connect(probe, target.data(), static_cast<socklen_t>(target.size()));
    const int why = result == 0 ? 0 : errno;
    if (probe >= 0) {
        ::close(probe);
    }
    if (result == 0) {
        error = path + " is in use by another listener";
        return false;
    }
    if (why != ECONNREFUSED) {
        error = path + " is in use by another listener, or cannot be probed (" +
                std::strerror(why) + ")";
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return true;
}

#else

constexpr const char* kNoUnixSockets =
    "Unix-domain sockets are not available on Windows; use tcp:HOST:PORT";

#endif

}  // namespace

bool Connect(const StreamEndpoint& endpoint, TimedIo& io, int timeoutMs, Socket& socket,
             std::string& error) {
    std::vector<Endpoint> targets;
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
#if defined(KORVEL_UNIX_SOCKETS)
        Endpoint target;
        if (!UnixEndpoint(endpoint.path, target, error)) {
            return false;
        }
        targets.push_back(target);
#else
        error = kNoUnixSockets;
        return false;
#endif
    } else if (!Resolve(endpoint, io.Context().get_executor(), false, targets, error)) {
        return false;
    }
    for (const Endpoint& target : targets) {
        if (io.Interrupted()) {
            error = "interrupted";
            return false;
        }
        if (ConnectTo(target, io, timeoutMs, socket, error)) {
            PrepareSocket(socket);
            return true;
        }
    }
    return false;
}

bool Listen(const StreamEndpoint& endpoint, Acceptor& acceptor, std::string& error, bool ownerOnly,
            ListenerFile* made) {
    if (made != nullptr) {
        *made = {};
    }
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
#if defined(KORVEL_UNIX_SOCKETS)
        Endpoint target;
        if (!UnixEndpoint(endpoint.path, target, error) ||
            !ClearUnixPath(endpoint.path, target, error) ||
            !BindAndListen(target, false, acceptor, error, ownerOnly ? endpoint.path : "")) {
            return false;
        }
        if (made != nullptr) {
            *made = SocketFileAt(endpoint.path);
        }
        return true;
#else
        (void)ownerOnly;
        (void)made;
        error = kNoUnixSockets;
        return false;
#endif
    }
    std::vector<Endpoint> targets;
    if (!Resolve(endpoint, acceptor.get_executor(), true, targets, error)) {
        return false;
    }
    for (const Endpoint& target : targets) {
        if (BindAndListen(target, true, acceptor, error)) {
            return true;
        }
    }
    return false;
}

uint16_t LocalPort(const Acceptor& acceptor) {
    std::error_code ec;
    const Endpoint local = acceptor.local_endpoint(ec);
    const int family = local.protocol().family();
    if (ec || (family != AF_INET && family != AF_INET6)) {
        return 0;
    }
    asio::ip::tcp::endpoint ip;
    std::memcpy(ip.data(), local.data(), local.size());
    ip.resize(local.size());
    return ip.port();
}

void CloseListener(const StreamEndpoint& endpoint, Acceptor& acceptor, const ListenerFile& made) {
    if (!acceptor.is_open()) {
        return;
    }
    std::error_code ec;
    acceptor.close(ec);
#if defined(KORVEL_UNIX_SOCKETS)
    if (endpoint.kind == StreamEndpoint::Kind::Unix && made.inode != 0) {
        const ListenerFile there = SocketFileAt(endpoint.path);
        if (there.device == made.device && there.inode == made.inode) {
            std::filesystem::remove(endpoint.path, ec);
        }
    }
#else
    (void)endpoint;
    (void)made;
#endif
}

void PrepareSocket(Socket& socket) {
    KeepFromChildren(socket.native_handle());
    std::error_code ec;
    // Frames are tiny and each waits for its answer: send them at once. On a
    // Unix socket this fails harmlessly.
    socket.set_option(asio::ip::tcp::no_delay(true), ec);
}

}  // namespace korvel::net
