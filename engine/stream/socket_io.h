// The only file that calls the operating system's socket interface, so that
// another platform's sockets can be added here alone. Sockets are always
// non-blocking; every wait is a poll that a Waker can cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stream_endpoint.h"

namespace korvel::net {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Lets another thread (or a signal handler) end every wait on it. Once woken
// it stays woken: it is used to stop, not to nudge.
class Waker {
  public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    // Async-signal-safe.
    void Wake();
    bool IsWoken() const;
    SocketHandle Handle() const { return readEnd_; }

  private:
    SocketHandle readEnd_ = kNoSocket;
    SocketHandle writeEnd_ = kNoSocket;
};

enum class WaitResult { Ready, TimedOut, Woken, Failed };

// Waits until `socket` can be read (or written); timeoutMs < 0 waits without
// end. `waker` may be null.
WaitResult WaitReadable(SocketHandle socket, const Waker* waker, int timeoutMs);
WaitResult WaitWritable(SocketHandle socket, const Waker* waker, int timeoutMs);
// Waits only for the waker (a pause that a stop cuts short); true when woken.
bool WaitForWake(const Waker& waker, int timeoutMs);

// Connects within timeoutMs; kNoSocket on failure, with a message in `error`.
SocketHandle Connect(const StreamEndpoint& endpoint, int timeoutMs, const Waker* waker,
                     std::string& error);
// Binds and listens. A Unix path that holds a stale socket is replaced; a
// socket someone still listens on, or any other file, is left alone and
// reported.
SocketHandle Listen(const StreamEndpoint& endpoint, std::string& error);
// The port a TCP listener got (for port 0 in the endpoint); 0 if unknown.
uint16_t LocalPort(SocketHandle listener);
// Accepts one pending connection; kNoSocket when none is pending.
SocketHandle Accept(SocketHandle listener);
// Removes a Unix listener's path (after closing it).
void RemoveUnixPath(const StreamEndpoint& endpoint);

// I/O results: > 0 bytes moved; kClosed (receive only): the peer closed;
// kWouldBlock: try again after a wait; kFailed: the connection is broken.
inline constexpr long kClosed = 0;
inline constexpr long kWouldBlock = -1;
inline constexpr long kFailed = -2;
long Receive(SocketHandle socket, uint8_t* buffer, std::size_t length);
long Send(SocketHandle socket, const uint8_t* data, std::size_t length);

// Sends everything within timeoutMs; false on time-out, wake or failure.
bool SendAll(SocketHandle socket, const uint8_t* data, std::size_t length, const Waker* waker,
             int timeoutMs);

void CloseSocket(SocketHandle socket);

}  // namespace korvel::net
