// Where an instrument process listens: a Unix-domain socket path or a TCP
// host and port, written "unix:PATH" or "tcp:HOST:PORT".
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct StreamEndpoint {
    enum class Kind { Unix, Tcp };
    Kind kind = Kind::Unix;
    std::string path;  // Unix
    std::string host;  // Tcp (IPv6 literals without brackets)
    uint16_t port = 0;

    std::string ToString() const;
};

// True for text that starts like a stream endpoint ("unix:" or "tcp:").
bool LooksLikeStreamEndpoint(const std::string& text);
// Parses "unix:PATH" or "tcp:HOST:PORT" (HOST may be "[v6-literal]").
// Returns false with a message in `error`.
bool ParseStreamEndpoint(const std::string& text, StreamEndpoint& endpoint, std::string& error);

}  // namespace korvel
