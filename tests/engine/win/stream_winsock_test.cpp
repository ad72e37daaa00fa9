// The stream transport on Winsock: TCP to a simulated instrument served in
// this process, the interrupt that stops a waiting transfer, and Unix-domain
// endpoints that Windows cannot serve.
#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
#include <memory>
#include <thread>

#include "device_from_string.h"
#include "sim/sim_instrument.h"
#include "sim/sim_server.h"
#include "stream/stream_socket.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

StreamEndpoint Loopback(uint16_t port) {
    StreamEndpoint endpoint;
    endpoint.kind = StreamEndpoint::Kind::Tcp;
    endpoint.host = "127.0.0.1";
    endpoint.port = port;
    return endpoint;
}

TEST(StreamOverWinsock, SimulatedInstrumentAnswersOverTcp) {
    SimServer server(std::make_shared<SimInstrument>());
    std::string error;
    ASSERT_TRUE(server.Listen(Loopback(0), error)) << error;
    ASSERT_NE(server.BoundEndpoint().port, 0);
    std::thread serving([&] { server.Serve(); });

    {
        StreamTransport transport(server.BoundEndpoint(), 10000);
        EXPECT_EQ(transport.CountDevices(), 1);
        ASSERT_TRUE(transport.OpenDevice());
        const uint8_t tune[7] = {0x7A, 0xA1, 0x41, 0x2C, 0x71, 0x1E, 0x01};
        uint8_t reply[18] = {};
        EXPECT_EQ(transport.WriteBlock(tune, 7), 7);
        EXPECT_EQ(transport.ReadBlock(reply, 2), 2);
        const uint8_t read[4] = {0x7A, 0xA2, 0x09, 0x01};
        EXPECT_EQ(transport.WriteBlock(read, 4), 4);
        EXPECT_EQ(transport.ReadBlock(reply, 18), 18);
    }
    server.Stop();
    serving.join();
    EXPECT_GE(server.Replies(), 2u);
}

TEST(StreamOverWinsock, InterruptEndsAWaitForAReplyThatNeverComes) {
    asio::io_context io;
    asio::ip::tcp::acceptor listener(io, {asio::ip::make_address("127.0.0.1"), 0});
    // Nobody accepts: the connection sits in the backlog and never answers.
    StreamTransport transport(Loopback(listener.local_endpoint().port()), 30000);
    ASSERT_TRUE(transport.OpenDevice());
    const uint8_t tune[7] = {0x7A, 0xA1, 0, 0, 0, 0, 0x01};
    EXPECT_EQ(transport.WriteBlock(tune, 7), 7);

    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        transport.Interrupt();
    });
    uint8_t reply[2] = {};
    EXPECT_EQ(transport.ReadBlock(reply, 2), 0);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(transport.OpenDevice());
}

TEST(StreamOverWinsock, NoListenerAndUnixPathsFindNoInstrument) {
    uint16_t freedPort = 0;
    {
        asio::io_context io;
        asio::ip::tcp::acceptor listener(io, {asio::ip::make_address("127.0.0.1"), 0});
        freedPort = listener.local_endpoint().port();
    }
    StreamTransport refused(Loopback(freedPort), 3000);
    EXPECT_EQ(refused.CountDevices(), 0);
    EXPECT_FALSE(refused.OpenDevice());

    StreamEndpoint unixPath;
    unixPath.kind = StreamEndpoint::Kind::Unix;
    unixPath.path = "C:\\korvel.sock";
    std::string error;
    net::TimedIo io;
    net::Socket socket(io.Context());
    EXPECT_FALSE(net::Connect(unixPath, io, 100, socket, error));
    EXPECT_NE(error.find("tcp:HOST:PORT"), std::string::npos) << error;
    error.clear();
    SimServer server(nullptr);
    EXPECT_FALSE(server.Listen(unixPath, error));
    EXPECT_NE(error.find("tcp:HOST:PORT"), std::string::npos) << error;

    auto transport = MakeTransport("unix:C:/korvel.sock", error);
    ASSERT_NE(transport, nullptr) << error;
    EXPECT_EQ(transport->CountDevices(), 0);
    EXPECT_FALSE(transport->OpenDevice());
}

}  // namespace
}  // namespace korvel
