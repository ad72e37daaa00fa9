// Where the bridge may listen without --allow-remote: where only this
// machine's user can reach it.
#pragma once

#include <string>
#include <vector>

#include "stream/stream_endpoint.h"

namespace korvel::bridge {

// True for a Unix socket (the bridge makes it owner-only) and for a TCP host
// whose every address is a loopback one. False with a message in `error`
// for any other host, or one that does not resolve.
bool IsLocalOnly(const StreamEndpoint& endpoint, std::string& error);

// The first of these numeric addresses that another machine could reach, ""
// when every one is a loopback address. An IPv4-mapped IPv6 address counts as
// its IPv4 address; text that is no address counts as reachable.
std::string FirstAddressOthersReach(const std::vector<std::string>& addresses);

// True when a client of `device` would reach the bridge's own listener on
// `listen`, under any spelling: the same Unix socket path once made
// canonical, or a TCP port and address the listener binds (its wildcard
// address taking every one).
bool ReachesListener(const StreamEndpoint& device, const StreamEndpoint& listen);

// The warning printed when listening elsewhere is allowed.
std::string RemoteListenWarning(const StreamEndpoint& endpoint);

}  // namespace korvel::bridge
