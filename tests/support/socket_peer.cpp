#include "socket_peer.h"

#include <unistd.h>
#include <asio/buffer.hpp>
#include <asio/post.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>

namespace korvel::testing {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::string TempSocketPath(const char* tag) {
    static std::atomic<int> counter{0};
    return "/tmp/korvel-" + std::string(tag) + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".sock";
}

bool MakeStaleSocketFile(const std::string& path) {
    asio::io_context io;
    asio::local::stream_protocol::acceptor socket(io);
    std::error_code ec;
    socket.open(asio::local::stream_protocol(), ec);
    if (!ec) {
        socket.bind(asio::local::stream_protocol::endpoint(path), ec);
    }
    return !ec;  // closed without removing the path
}

std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload, int announced) {
    const std::size_t n = announced >= 0 ? static_cast<std::size_t>(announced) : payload.size();
    std::vector<uint8_t> f(2 + payload.size());
    f[0] = static_cast<uint8_t>(n & 0xFF);
    f[1] = static_cast<uint8_t>((n >> 8) & 0xFF);
    std::copy(payload.begin(), payload.end(), f.begin() + 2);
    return f;
}

PeerConnection::PeerConnection(asio::io_context& io, int index)
    : io_(io), socket_(io), index_(index) {}

void PeerConnection::Close() {
    asio::post(io_, [this] {
        std::error_code ignored;
        socket_.close(ignored);
    });
}

PeerConnection::Result PeerConnection::Await(std::function<void(Done)> start, int timeoutMs) {
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> future = promise->get_future();
    asio::post(io_, [start = std::move(start), promise] {
        start([promise](const std::error_code& error, std::size_t bytes) {
            promise->set_value(Result{error, bytes});
        });
    });
    if (timeoutMs < 0 ||
        future.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready) {
        return future.get();
    }
    Close();  // ends the operation
    future.wait();
    return Result{asio::error::timed_out, 0};
}

bool PeerConnection::ReadExactly(uint8_t* out, std::size_t n, int timeoutMs) {
    return !Await(
                [this, out, n](Done done) {
                    asio::async_read(socket_, asio::buffer(out, n), std::move(done));
                },
                timeoutMs)
                .error;
}

bool PeerConnection::ReadFrame(std::vector<uint8_t>& payload, int timeoutMs) {
    uint8_t header[2];
    if (!ReadExactly(header, 2, timeoutMs)) {
        return false;
    }
    payload.assign(static_cast<std::size_t>(header[0] | (header[1] << 8)), 0);
    return payload.empty() || ReadExactly(payload.data(), payload.size(), timeoutMs);
}

std::size_t PeerConnection::ReadSome(uint8_t* out, std::size_t n, int timeoutMs) {
    const Result r =
        Await([this, out,
               n](Done done) { socket_.async_read_some(asio::buffer(out, n), std::move(done)); },
              timeoutMs);
    return r.error ? 0 : r.bytes;
}

long PeerConnection::ReadUntilClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    long total = 0;
    for (;;) {
        uint8_t chunk[256];
        const Result r =
            Await([this, &chunk](
                      Done done) { socket_.async_read_some(asio::buffer(chunk), std::move(done)); },
                  MsLeft(deadline));
        if (r.error == asio::error::eof) {
            return total;
        }
        if (r.error) {
            return -1;
        }
        total += static_cast<long>(r.bytes);
    }
}

bool PeerConnection::WriteAll(const std::vector<uint8_t>& bytes, int timeoutMs) {
    return !Await(
                [this, &bytes](Done done) {
                    asio::async_write(socket_, asio::buffer(bytes), std::move(done));
                },
                timeoutMs)
                .error;
}

SocketPeer::SocketPeer(std::string path, Script script, Order order)
    : path_(std::move(path)),
      script_(std::move(script)),
      order_(order),
      work_(asio::make_work_guard(io_)),
      acceptor_(io_) {
    ::unlink(path_.c_str());
    std::error_code ec;
    acceptor_.open(asio::local::stream_protocol(), ec);
    if (!ec) {
        acceptor_.bind(asio::local::stream_protocol::endpoint(path_), ec);
    }
    if (!ec) {
        acceptor_.listen(8, ec);
    }
    listening_ = !ec;
    if (!listening_) {
        std::fprintf(stderr, "socket peer on %s: %s\n", path_.c_str(), ec.message().c_str());
    }
    Accept();
    ioThread_ = std::thread([this] { io_.run(); });
}

SocketPeer::SocketPeer(Script script) : SocketPeer(TempSocketPath("peer"), std::move(script)) {}

SocketPeer::~SocketPeer() {
    // Close everything on the I/O thread, so no connection is accepted after.
    std::promise<void> closed;
    asio::post(io_, [this, &closed] {
        stopping_ = true;
        std::error_code ignored;
        acceptor_.close(ignored);
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& connection : open_) {
            connection->Socket().close(ignored);
        }
        closed.set_value();
    });
    closed.get_future().wait();
    std::vector<std::thread> scripts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scripts.swap(scripts_);
    }
    for (std::thread& t : scripts) {
        t.join();
    }
    work_.reset();
    ioThread_.join();
    ::unlink(path_.c_str());
}

void SocketPeer::Accept() {
    if (!acceptor_.is_open()) {
        return;
    }
    auto connection = std::make_shared<PeerConnection>(io_, connections_.load());
    acceptor_.async_accept(connection->Socket(), [this, connection](const std::error_code& error) {
        if (error || stopping_) {
            return;  // closed by the destructor
        }
        connections_.fetch_add(1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_.push_back(connection);
            scripts_.emplace_back([this, connection] { Run(connection); });
        }
        if (order_ == Order::AllAtOnce) {
            Accept();
        }
    });
}

void SocketPeer::Run(std::shared_ptr<PeerConnection> connection) {
    script_(*connection);
    asio::post(io_, [this, connection] {
        std::error_code ignored;
        connection->Socket().close(ignored);
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(open_, connection);
        if (order_ == Order::OneAtATime && !stopping_) {
            Accept();
        }
    });
}

}  // namespace korvel::testing
