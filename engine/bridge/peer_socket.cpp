#include "peer_socket.h"

#include <asio/ip/tcp.hpp>
#include <cstring>

#if !defined(_WIN32)
#include <sys/socket.h>
#endif

namespace korvel::bridge {

std::string DescribePeer(net::Socket& socket) {
    std::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    if (ec) {
        return "a client that already left";
    }
    const int family = remote.protocol().family();
    if (family == AF_INET || family == AF_INET6) {
        asio::ip::tcp::endpoint ip;
        std::memcpy(ip.data(), remote.data(), remote.size());
        ip.resize(remote.size());
        const std::string address = ip.address().to_string();
        return (family == AF_INET6 ? "[" + address + "]" : address) + ":" +
               std::to_string(ip.port());
    }
#if defined(SO_PEERCRED)
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0) {
        return "a local process (pid " + std::to_string(peer.pid) + ", uid " +
               std::to_string(peer.uid) + ")";
    }
#endif
    return "a local process";
}

bool PeerHasLeft(net::Socket& socket) {
#if defined(_WIN32)
    (void)socket;
    return false;  // the pending read is told first there
#else
    char byte = 0;
    const auto n = ::recv(socket.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0;
#endif
}

}  // namespace korvel::bridge
