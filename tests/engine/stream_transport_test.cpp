#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "core/device_link.h"
#include "device_from_string.h"
#include "sim/sim_server.h"
#include "socket_peer.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Frame;
using testing::PeerConnection;
using testing::SocketPeer;

// Short enough to keep time-out tests quick; long enough for a loaded box.
constexpr int kShortTimeoutMs = 250;

StreamEndpoint EndpointOf(const std::string& device) {
    StreamEndpoint e;
    std::string error;
    EXPECT_TRUE(ParseStreamEndpoint(device, e, error)) << error;
    return e;
}

const Bytes kRead{0x7A, 0xA2, 0x09, 0x01};

Bytes Reply18() {
    Bytes r(18);
    for (int i = 0; i < 18; ++i) {
        r[i] = static_cast<uint8_t>(i);
    }
    return r;
}

TEST(StreamTransportTest, CountProbesAConnectionThatSendsNothing) {
    std::promise<long> bytesSeen;
    SocketPeer peer([&](PeerConnection& c) { bytesSeen.set_value(c.ReadUntilClosed()); });
    StreamTransport transport(EndpointOf(peer.Device()), kShortTimeoutMs);
    EXPECT_EQ(transport.CountDevices(), 1);
    EXPECT_FALSE(transport.IsOpen());
    // The probe connected, sent nothing and closed at once.
    std::future<long> seen = bytesSeen.get_future();
    ASSERT_EQ(seen.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(seen.get(), 0);
    EXPECT_EQ(peer.Connections(), 1);
    StreamTransport absent(EndpointOf("unix:/tmp/korvel-nobody-here.sock"), kShortTimeoutMs);
    EXPECT_EQ(absent.CountDevices(), 0);
    EXPECT_FALSE(absent.OpenDevice());
}

TEST(StreamTransportTest, OneFramePerCommandAndPerReply) {
    Bytes received;
    SocketPeer peer([&](PeerConnection& c) {
        uint8_t header[2];
        if (!c.ReadExactly(header, 2)) {
            return;
        }
        received.assign(header, header + 2);
        Bytes payload(header[0]);
        c.ReadExactly(payload.data(), payload.size());
        received.insert(received.end(), payload.begin(), payload.end());
        // The reply dribbles in: the transport must join the pieces.
        const Bytes frame = Frame(Reply18());
        for (std::size_t at = 0; at < frame.size(); at += 5) {
            c.WriteAll(Bytes(frame.begin() + at, frame.begin() + std::min(frame.size(), at + 5)));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        c.ReadFrame(payload);  // hold the connection until the client leaves
    });
    StreamTransport transport(EndpointOf(peer.Device()), 2000);
    ASSERT_TRUE(transport.OpenDevice());
    EXPECT_EQ(transport.WriteBlock(kRead.data(), 4), 4);
    uint8_t buffer[64] = {};
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 18);
    EXPECT_EQ(Bytes(buffer, buffer + 18), Reply18());
    transport.CloseDevice();
    EXPECT_EQ(received, (Bytes{0x04, 0x00, 0x7A, 0xA2, 0x09, 0x01}));
}

TEST(StreamTransportTest, ALateFrameNeverLandsInALaterTransfer) {
    SocketPeer peer([](PeerConnection& c) {
        Bytes command;
        while (c.ReadFrame(command)) {
            if (c.Index() == 0) {
                // Too late: the transport has given up and closed by then.
                std::this_thread::sleep_for(std::chrono::milliseconds(2 * kShortTimeoutMs));
            }
            Bytes reply = Reply18();
            reply[0] = static_cast<uint8_t>(c.Index());
            if (!c.WriteAll(Frame(reply))) {
                return;
            }
        }
    });
    StreamTransport transport(EndpointOf(peer.Device()), kShortTimeoutMs);
    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    uint8_t buffer[64] = {};
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 0);
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(transport.WriteBlock(kRead.data(), 4), 0);

    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 18);
    EXPECT_EQ(buffer[0], 1);  // the reply of the second connection
}

TEST(StreamTransportTest, OddFramesAreReportedByTheirLength) {
    SocketPeer peer([](PeerConnection& c) {
        Bytes command;
        const Bytes replies[] = {Bytes{}, Bytes(65535, 0x5A), Bytes(17, 1), Bytes(19, 2)};
        for (const Bytes& reply : replies) {
            if (!c.ReadFrame(command) || !c.WriteAll(Frame(reply))) {
                return;
            }
        }
        c.ReadFrame(command);
    });
    StreamTransport transport(EndpointOf(peer.Device()), 2000);
    ASSERT_TRUE(transport.OpenDevice());
    uint8_t buffer[66] = {};
    for (const int expected : {0, 65535, 17, 19}) {
        transport.WriteBlock(kRead.data(), 4);
        EXPECT_EQ(transport.ReadBlock(buffer, 64), expected);
        EXPECT_TRUE(transport.IsOpen());
    }
    EXPECT_EQ(buffer[64], 0);  // nothing past the buffer given
}

TEST(StreamTransportTest, UnaskedFramesAndCutFramesDropTheConnection) {
    SocketPeer peer([](PeerConnection& c) {
        Bytes command;
        if (!c.ReadFrame(command)) {
            return;
        }
        if (c.Index() == 0) {
            c.WriteAll(Frame(Bytes(2, 0)));
            c.WriteAll(Frame(Bytes(2, 0)));  // answers nothing
        } else {
            c.WriteAll(Frame(Bytes(5, 0), 18));  // promises 18, stalls
        }
        c.ReadFrame(command);
    });
    StreamTransport transport(EndpointOf(peer.Device()), kShortTimeoutMs);
    uint8_t buffer[64];
    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the extra frame arrive
    EXPECT_EQ(transport.WriteBlock(kRead.data(), 4), 0);
    EXPECT_FALSE(transport.IsOpen());

    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 0);
    EXPECT_FALSE(transport.IsOpen());
}

TEST(StreamTransportTest, PeerLeavingEndsTheTransferAtOnce) {
    SocketPeer peer([](PeerConnection& c) {
        Bytes command;
        c.ReadFrame(command);
    });
    // A long time-out that the test must not wait for.
    StreamTransport transport(EndpointOf(peer.Device()), 60000);
    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    uint8_t buffer[64];
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 0);
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 0);
}

TEST(StreamTransportTest, InterruptCutsAWaitShort) {
    std::atomic<bool> release{false};
    SocketPeer peer([&](PeerConnection& c) {
        Bytes command;
        c.ReadFrame(command);
        c.ReadUntilClosed(30000);  // silent until the client goes
    });
    StreamTransport transport(EndpointOf(peer.Device()), 60000);
    ASSERT_TRUE(transport.OpenDevice());
    transport.WriteBlock(kRead.data(), 4);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        transport.Interrupt();
    });
    uint8_t buffer[64];
    EXPECT_EQ(transport.ReadBlock(buffer, 64), 0);
    stopper.join();
    EXPECT_FALSE(transport.IsOpen());
    // Stopping is for good: nothing waits any more.
    EXPECT_FALSE(transport.OpenDevice());
    EXPECT_EQ(transport.CountDevices(), 0);
}

TEST(StreamTransportTest, RefusesBlocksThatDoNotFitAFrame) {
    SocketPeer peer([](PeerConnection& c) {
        Bytes command;
        c.ReadFrame(command);
    });
    StreamTransport transport(EndpointOf(peer.Device()), kShortTimeoutMs);
    ASSERT_TRUE(transport.OpenDevice());
    const Bytes huge(65536, 0);
    EXPECT_EQ(transport.WriteBlock(huge.data(), 65536), 0);
    EXPECT_EQ(transport.WriteBlock(nullptr, 4), 0);
    EXPECT_EQ(transport.WriteBlock(kRead.data(), 0), 0);
    EXPECT_EQ(transport.WriteBlock(kRead.data(), -1), 0);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

TEST(SimServerListenTest, TakesOverOnlyAStaleSocketPath) {
    const std::string path = testing::TempSocketPath("listen");
    StreamEndpoint endpoint = EndpointOf("unix:" + path);
    std::string error;
    {
        SimServer first(nullptr);
        ASSERT_TRUE(first.Listen(endpoint, error)) << error;
        SimServer second(nullptr);
        EXPECT_FALSE(second.Listen(endpoint, error));
        EXPECT_NE(error.find("in use"), std::string::npos) << error;
    }
    // A socket file left behind by a listener that died is replaced.
    ASSERT_TRUE(testing::MakeStaleSocketFile(path));
    SimServer third(nullptr);
    EXPECT_TRUE(third.Listen(endpoint, error)) << error;
}

TEST(SimServerListenTest, LeavesOtherFilesAlone) {
    const std::string path = testing::TempSocketPath("file");
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    SimServer server(nullptr);
    std::string error;
    EXPECT_FALSE(server.Listen(EndpointOf("unix:" + path), error));
    EXPECT_NE(error.find("not a socket"), std::string::npos) << error;
    EXPECT_EQ(::unlink(path.c_str()), 0);  // still there
}

}  // namespace
}  // namespace korvel
