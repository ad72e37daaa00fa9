// The listening side that korvel-sim and korvel-bridge share: one endpoint,
// connections accepted on the thread inside Run(), a pause before accepting
// again after a failed accept, and a stop from any thread. What a server does
// with a connection is its own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "stream_endpoint.h"
#include "stream_socket.h"

namespace asio {
class io_context;
}

namespace korvel::net {

class FramedServer {
  public:
    using Accepted = std::function<void(Socket socket)>;

    // `ownerOnly`: a Unix socket file gets mode 0600 before anyone connects.
    explicit FramedServer(bool ownerOnly);
    ~FramedServer();
    FramedServer(const FramedServer&) = delete;
    FramedServer& operator=(const FramedServer&) = delete;

    // The context every handler of the server runs on.
    asio::io_context& Io();

    // Binds the endpoint (closing an earlier listener); false with a message.
    bool Listen(const StreamEndpoint& endpoint, std::string& error);
    // The endpoint bound last, again (a TCP port of 0 stays the one it got).
    bool Relisten(std::string& error);
    // The endpoint as bound (a TCP port of 0 becomes the real one).
    const StreamEndpoint& BoundEndpoint() const { return endpoint_; }
    bool Listening() const;
    // Closes the listener, removing its Unix socket file when that is still
    // the one it made. Connections waiting in the backlog are refused.
    void CloseListener();

    // Accepts one connection and hands it to `accepted` on the serving
    // thread; nothing when the listener closes first.
    void AcceptOne(Accepted accepted);

    // Runs the handlers until Stop(), or until there is nothing left to do
    // unless `keepRunning`; returns at once after Stop().
    void Run(bool keepRunning);
    // From any thread (not a signal handler). For good.
    void Stop();
    bool Stopped() const;

  private:
    struct Wire;

    bool ownerOnly_;
    StreamEndpoint endpoint_;
    ListenerFile file_;
    std::unique_ptr<Wire> wire_;
};

}  // namespace korvel::net
