#include "listen_policy.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <filesystem>
#include <vector>

namespace korvel::bridge {

namespace {

asio::ip::address Unmapped(asio::ip::address address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return address;
}

std::vector<asio::ip::address> Addresses(const StreamEndpoint& endpoint, bool passive) {
    asio::io_context io;
    asio::ip::tcp::resolver resolver(io);
    std::error_code ec;
    const auto results = resolver.resolve(
        endpoint.host, std::to_string(endpoint.port),
        passive ? asio::ip::tcp::resolver::passive : asio::ip::tcp::resolver::flags(), ec);
    std::vector<asio::ip::address> out;
    if (!ec) {
        for (const auto& entry : results) {
            out.push_back(Unmapped(entry.endpoint().address()));
        }
    }
    return out;
}

}  // namespace

std::string FirstAddressOthersReach(const std::vector<std::string>& addresses) {
    for (const std::string& text : addresses) {
        std::error_code ec;
        const asio::ip::address address = Unmapped(asio::ip::make_address(text, ec));
        if (ec) {
            return text;
        }
        if (!address.is_loopback()) {
            return text;
        }
    }
    return "";
}

bool IsLocalOnly(const StreamEndpoint& endpoint, std::string& error) {
    if (endpoint.kind == StreamEndpoint::Kind::Unix) {
        return true;
    }
    asio::io_context io;
    asio::ip::tcp::resolver resolver(io);
    std::error_code ec;
    // The same look-up the listener makes, so it binds one of these.
    const auto results = resolver.resolve(endpoint.host, std::to_string(endpoint.port),
                                          asio::ip::tcp::resolver::passive, ec);
    if (ec || results.empty()) {
        error = "cannot resolve \"" + endpoint.host + "\"" + (ec ? ": " + ec.message() : "");
        return false;
    }
    std::vector<std::string> addresses;
    for (const auto& entry : results) {
        addresses.push_back(entry.endpoint().address().to_string());
    }
    const std::string reachable = FirstAddressOthersReach(addresses);
    if (!reachable.empty()) {
        error = endpoint.ToString() + " is reachable from other machines (" + reachable +
                "); listen on a loopback address or a Unix socket, or give --allow-remote";
        return false;
    }
    return true;
}

bool ReachesListener(const StreamEndpoint& device, const StreamEndpoint& listen) {
    if (device.kind != listen.kind) {
        return false;
    }
    if (device.kind == StreamEndpoint::Kind::Unix) {
        std::error_code ec;
        const auto a =
            std::filesystem::weakly_canonical(std::filesystem::absolute(device.path, ec), ec);
        const auto b =
            std::filesystem::weakly_canonical(std::filesystem::absolute(listen.path, ec), ec);
        return device.path == listen.path || (!ec && a == b);
    }
    if (device.port != listen.port) {
        return false;
    }
    const auto reached = Addresses(device, false);
    for (const asio::ip::address& bound : Addresses(listen, true)) {
        for (const asio::ip::address& address : reached) {
            // A listener on the wildcard address takes connections to any of
            // this machine's addresses; the loopback ones are surely among them.
            if (address == bound ||
                (bound.is_unspecified() && (address.is_loopback() || address.is_unspecified()))) {
                return true;
            }
        }
    }
    return false;
}

std::string RemoteListenWarning(const StreamEndpoint& endpoint) {
    return "warning: listening on " + endpoint.ToString() +
           ", reachable from other machines. The stream has no authentication and no "
           "encryption: anyone who can reach this port can drive the instrument. Prefer a "
           "loopback address with an SSH tunnel (ssh -L PORT:127.0.0.1:PORT USER@HOST).";
}

}  // namespace korvel::bridge
