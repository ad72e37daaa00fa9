#include "stream_endpoint.h"

#include <charconv>

namespace korvel {

namespace {

// sockaddr_un's path holds 108 bytes including the terminating zero.
constexpr std::size_t kMaxUnixPath = 107;
constexpr const char* kUnixPrefix = "unix:";
constexpr const char* kTcpPrefix = "tcp:";

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::string StreamEndpoint::ToString() const {
    if (kind == Kind::Unix) {
        return kUnixPrefix + path;
    }
    const bool v6 = host.find(':') != std::string::npos;
    return kTcpPrefix + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool LooksLikeStreamEndpoint(const std::string& text) {
    return StartsWith(text, kUnixPrefix) || StartsWith(text, kTcpPrefix);
}

bool ParseStreamEndpoint(const std::string& text, StreamEndpoint& endpoint, std::string& error) {
    StreamEndpoint e;
    if (StartsWith(text, kUnixPrefix)) {
        e.kind = StreamEndpoint::Kind::Unix;
        e.path = text.substr(5);
        if (e.path.empty()) {
            error = "Device \"" + text + "\": the socket path is empty.";
            return false;
        }
        if (e.path.size() > kMaxUnixPath) {
            error = "Device \"" + text + "\": the socket path is longer than 107 bytes.";
            return false;
        }
        if (e.path.find('\0') != std::string::npos) {
            error = "Device \"" + text + "\": the socket path contains a zero byte.";
            return false;
        }
        endpoint = e;
        return true;
    }
    if (!StartsWith(text, kTcpPrefix)) {
        error = "Device \"" + text + "\" is not unix:PATH or tcp:HOST:PORT.";
        return false;
    }
    e.kind = StreamEndpoint::Kind::Tcp;
    const std::string rest = text.substr(4);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
        error = "Device \"" + text + "\": expected tcp:HOST:PORT.";
        return false;
    }
    e.host = rest.substr(0, colon);
    if (e.host.size() >= 2 && e.host.front() == '[' && e.host.back() == ']') {
        e.host = e.host.substr(1, e.host.size() - 2);
    } else if (e.host.find(':') != std::string::npos) {
        error = "Device \"" + text + "\": write an IPv6 host in brackets, e.g. tcp:[::1]:5025.";
        return false;
    }
    if (e.host.empty()) {
        error = "Device \"" + text + "\": the host is empty.";
        return false;
    }
    const std::string portText = rest.substr(colon + 1);
    unsigned port = 0;
    const char* end = portText.data() + portText.size();
    auto [ptr, ec] = std::from_chars(portText.data(), end, port);
    if (portText.empty() || ec != std::errc() || ptr != end || port == 0 || port > 65535) {
        error = "Device \"" + text + "\": the port must be a number from 1 to 65535.";
        return false;
    }
    e.port = static_cast<uint16_t>(port);
    endpoint = e;
    return true;
}

}  // namespace korvel
