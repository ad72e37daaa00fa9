// An instrument peer for stream tests on a Unix-domain socket, written on
// Asio apart from the transport's own socket code. It listens on a path and
// runs a script on each accepted connection in a thread of its own: all at
// once (as a server with a slow old connection would) or one at a time.
// Every wait a script makes is bounded, and destroying the peer ends them all.
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/local/stream_protocol.hpp>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvel::testing {

// A path in /tmp no other test (or test process) uses.
std::string TempSocketPath(const char* tag);
// Leaves a socket file at `path` that nobody listens on, as a dead listener does.
bool MakeStaleSocketFile(const std::string& path);
// A frame holding `payload`; its header announces `announced` bytes if >= 0.
std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload, int announced = -1);

// Waits without end (until the peer is destroyed).
inline constexpr int kNoTimeout = -1;

// One accepted connection, as its script sees it. Each call blocks until it is
// done, the time-out passes, or the peer stops; a time-out closes the connection.
class PeerConnection {
  public:
    PeerConnection(asio::io_context& io, int index);

    // 0 for the first connection the peer accepted.
    int Index() const { return index_; }
    bool ReadExactly(uint8_t* out, std::size_t n, int timeoutMs = 5000);
    // One whole frame's payload; false when the connection ended first.
    bool ReadFrame(std::vector<uint8_t>& payload, int timeoutMs = 5000);
    // What arrives next (at most n bytes); 0 when the connection ended.
    std::size_t ReadSome(uint8_t* out, std::size_t n, int timeoutMs = 5000);
    // The number of bytes received until the client closed; -1 if it did not
    // close within timeoutMs.
    long ReadUntilClosed(int timeoutMs = 5000);
    bool WriteAll(const std::vector<uint8_t>& bytes, int timeoutMs = 5000);

    asio::local::stream_protocol::socket& Socket() { return socket_; }
    // Ends the running wait and every later one (on the peer's I/O thread).
    void Close();

  private:
    struct Result {
        std::error_code error;
        std::size_t bytes = 0;
    };
    using Done = std::function<void(const std::error_code&, std::size_t)>;
    // Starts an operation on the I/O thread and waits for it.
    Result Await(std::function<void(Done)> start, int timeoutMs);

    asio::io_context& io_;
    asio::local::stream_protocol::socket socket_;
    int index_;
};

class SocketPeer {
  public:
    using Script = std::function<void(PeerConnection&)>;
    enum class Order { AllAtOnce, OneAtATime };

    // Listens on `path` (whatever was there is replaced), or on a fresh path.
    SocketPeer(std::string path, Script script, Order order = Order::AllAtOnce);
    explicit SocketPeer(Script script);
    ~SocketPeer();
    SocketPeer(const SocketPeer&) = delete;
    SocketPeer& operator=(const SocketPeer&) = delete;

    bool Listening() const { return listening_; }
    std::string Device() const { return "unix:" + path_; }
    int Connections() const { return connections_.load(); }

  private:
    void Accept();
    void Run(std::shared_ptr<PeerConnection> connection);

    std::string path_;
    Script script_;
    Order order_;
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    asio::local::stream_protocol::acceptor acceptor_;
    bool listening_ = false;
    bool stopping_ = false;  // on the I/O thread only
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::shared_ptr<PeerConnection>> open_;
    std::vector<std::thread> scripts_;
    std::thread ioThread_;
};

}  // namespace korvel::testing
