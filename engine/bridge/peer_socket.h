// What the bridge can tell about a client's socket without reading from it.
#pragma once

#include <string>

#include "stream/stream_socket.h"

namespace korvel::bridge {

// Who is on the other end, for the log: "127.0.0.1:50312", "[::1]:50312",
// or for a Unix socket the peer's process and user where the system says.
std::string DescribePeer(net::Socket& socket);

// True when the peer has closed its end and sent nothing left unread. Used
// when a new client arrives before the close of the last one was read.
bool PeerHasLeft(net::Socket& socket);

}  // namespace korvel::bridge
