// Opening stream sockets to and for an endpoint, TCP or Unix-domain, as one
// socket type. Every socket made here is kept from child processes; TCP ones
// send at once (TCP_NODELAY).
#pragma once

#include <asio/basic_socket_acceptor.hpp>
#include <asio/generic/stream_protocol.hpp>
#include <string>

#include "stream_endpoint.h"
#include "timed_io.h"

namespace korvel::net {

using Socket = asio::generic::stream_protocol::socket;
using Acceptor = asio::basic_socket_acceptor<asio::generic::stream_protocol>;

// Connects `socket` within timeoutMs (per address tried), waiting on `io`;
// false with a message in `error`.
bool Connect(const StreamEndpoint& endpoint, TimedIo& io, int timeoutMs, Socket& socket,
             std::string& error);

// The Unix socket file a listener made (device and inode), so that it is
// removed only while it is still that file; all zero for none.
struct ListenerFile {
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Binds and listens. A Unix path that holds a socket is taken over only when
// it is provably stale (a connection to it is refused); one that is busy, or
// cannot be probed, or any other file, is left alone and reported.
// `ownerOnly` gives a Unix socket file mode 0600 before anyone can connect;
// `made` receives the socket file's identity.
bool Listen(const StreamEndpoint& endpoint, Acceptor& acceptor, std::string& error,
            bool ownerOnly = false, ListenerFile* made = nullptr);
// The port a TCP listener got (for port 0 in the endpoint); 0 if unknown.
uint16_t LocalPort(const Acceptor& acceptor);
// Closes a listener and removes its Unix path when that is still the file
// `made` names (another program's socket put there since stays).
void CloseListener(const StreamEndpoint& endpoint, Acceptor& acceptor, const ListenerFile& made);

// Options for a socket just accepted (or opened): not inherited, no delay.
void PrepareSocket(Socket& socket);

}  // namespace korvel::net
