// Sockets as the stream transport and the served simulator open them: kept
// from child processes, TCP without delay, and bad paths refused in words.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <asio/ip/tcp.hpp>
#include <string>
#include <vector>

#include "socket_peer.h"
#include "stream/stream_socket.h"

namespace korvel::net {
namespace {

bool ClosedOnExec(int fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    return flags >= 0 && (flags & FD_CLOEXEC) != 0;
}

StreamEndpoint Tcp(uint16_t port) {
    StreamEndpoint e;
    e.kind = StreamEndpoint::Kind::Tcp;
    e.host = "127.0.0.1";
    e.port = port;
    return e;
}

StreamEndpoint Unix(const std::string& path) {
    StreamEndpoint e;
    e.kind = StreamEndpoint::Kind::Unix;
    e.path = path;
    return e;
}

TEST(StreamSocket, TcpSocketsAreKeptFromChildrenAndSendAtOnce) {
    TimedIo io;
    Acceptor listener(io.Context());
    std::string error;
    ASSERT_TRUE(Listen(Tcp(0), listener, error)) << error;
    const uint16_t port = LocalPort(listener);
    ASSERT_NE(port, 0);
    EXPECT_TRUE(ClosedOnExec(listener.native_handle()));

    Socket client(io.Context());
    ASSERT_TRUE(Connect(Tcp(port), io, 5000, client, error)) << error;
    EXPECT_TRUE(ClosedOnExec(client.native_handle()));
    asio::ip::tcp::no_delay noDelay;
    client.get_option(noDelay);
    EXPECT_TRUE(noDelay.value());

    Socket accepted(io.Context());
    listener.accept(accepted);
    PrepareSocket(accepted);
    EXPECT_TRUE(ClosedOnExec(accepted.native_handle()));
    accepted.get_option(noDelay);
    EXPECT_TRUE(noDelay.value());
}

TEST(StreamSocket, AUnixListenerIsKeptFromChildrenAndTakesItsPathAlong) {
    const std::string path = testing::TempSocketPath("socket");
    TimedIo io;
    Acceptor listener(io.Context());
    std::string error;
    ListenerFile made;
    ASSERT_TRUE(Listen(Unix(path), listener, error, false, &made)) << error;
    EXPECT_TRUE(ClosedOnExec(listener.native_handle()));
    Socket client(io.Context());
    EXPECT_TRUE(Connect(Unix(path), io, 5000, client, error)) << error;
    CloseListener(Unix(path), listener, made);
    struct stat st;
    EXPECT_NE(::stat(path.c_str(), &st), 0);  // removed
    EXPECT_FALSE(Connect(Unix(path), io, 5000, client, error));
}

TEST(StreamSocket, PathsASocketCannotHoldAreRefusedInWords) {
    TimedIo io;
    Socket client(io.Context());
    Acceptor listener(io.Context());
    const std::string zeroInside("/tmp/korvel\0x.sock", 18);
    for (const std::string& path : {std::string(), std::string(200, 'k'), zeroInside}) {
        std::string error;
        EXPECT_FALSE(Connect(Unix(path), io, 100, client, error));
        EXPECT_EQ(error, "bad socket path");
        error.clear();
        EXPECT_FALSE(Listen(Unix(path), listener, error));
        EXPECT_EQ(error, "bad socket path");
    }
}

// A listener whose backlog is full is busy, not gone: its path stays its own.
TEST(StreamSocket, AListenerWithAFullBacklogKeepsItsPath) {
    const std::string path = testing::TempSocketPath("busy");
    TimedIo io;
    Acceptor busy(io.Context());
    std::string error;
    ASSERT_TRUE(Listen(Unix(path), busy, error)) << error;
    ::listen(busy.native_handle(), 0);
    std::vector<Socket> queued;
    for (int i = 0; i < 8; ++i) {
        queued.emplace_back(io.Context());
        Connect(Unix(path), io, 50, queued.back(), error);
    }
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    Acceptor second(io.Context());
    EXPECT_FALSE(Listen(Unix(path), second, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace korvel::net
