// The served simulator over a real TCP socket on the loopback interface,
// driven through the device link. Portable: no Unix-only calls.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "core/device_link.h"
#include "recording_window.h"
#include "sim/sim_server.h"
#include "stream/stream_transport.h"

namespace korvel {
namespace {

// A late reply overruns the time-out by well less than one time-out, so the server
// is free again before the reconnected link waits for its next reply.
constexpr int kServedTimeoutMs = 500;

class ServedSimTest : public ::testing::Test {
  protected:
    void Start(SimServerOptions options = {}) {
        instrument = std::make_shared<SimInstrument>();
        server = std::make_unique<SimServer>(instrument, options);
        std::string error;
        StreamEndpoint anyPort;
        anyPort.kind = StreamEndpoint::Kind::Tcp;
        anyPort.host = "127.0.0.1";
        ASSERT_TRUE(server->Listen(anyPort, error)) << error;
        thread = std::thread([this] { server->Serve(); });
        transport = std::make_unique<StreamTransport>(server->BoundEndpoint(), kServedTimeoutMs);
        link = std::make_unique<DeviceLink>(*transport, state, window);
    }
    void TearDown() override {
        link.reset();
        transport.reset();
        if (server) {
            server->Stop();
            thread.join();
        }
    }
    bool Connect() {
        if (link->CountDevices() != 1 || !link->OpenDevice()) {
            return false;
        }
        state.linkUp.store(1);
        return true;
    }

    std::shared_ptr<SimInstrument> instrument;
    std::unique_ptr<SimServer> server;
    std::thread thread;
    std::unique_ptr<StreamTransport> transport;
    MeasurementState state;
    testing::RecordingWindow window;
    std::unique_ptr<DeviceLink> link;
};

TEST_F(ServedSimTest, TheLinkWorksOverTcp) {
    Start();
    ASSERT_TRUE(Connect());
    link->SetFrequency(TuningWord(14.27));
    DetectorReading r;
    link->ReadDetectors(kInputPowerRecord, r);
    EXPECT_EQ(r.calAmp, 3000);
    EXPECT_EQ(r.calPhase, 2600);
    uint8_t page[32] = {};
    PackCalRecord(CalRecord{3000, 2400, 2600, 2000}, page);
    link->WriteCalPage(6, 0, page);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_NEAR(instrument->TunedMHz(), 14.27, 1e-7);
    EXPECT_EQ(instrument->Record(kInputPowerRecord).ref, 2400);
    EXPECT_EQ(server->Replies(), 3u);
}

TEST_F(ServedSimTest, FaultsOnTheWireGiveOneMessageAndTheLinkRecovers) {
    Start();
    const SimFault faults[] = {
        {SimFaultKind::NoReply},         {SimFaultKind::LateReply, kServedTimeoutMs + 100},
        {SimFaultKind::ReplyLength, 19}, {SimFaultKind::Garbage, 3},
        {SimFaultKind::HugeFrame},       {SimFaultKind::TruncatedFrame, 4}};
    for (const SimFault& fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault.kind));
        window.messages.clear();
        if (!transport->IsOpen()) {
            ASSERT_TRUE(Connect());
        }
        state.linkUp.store(1);
        instrument->ArmFault(fault);
        DetectorReading r;
        r.liveAmp = 1234;
        link->ReadDetectors(3, r);
        link->ReadDetectors(3, r);
        EXPECT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(r.liveAmp, 1234);
        // Reconnect as the worker does; the next reply is the right one.
        link->CloseDevice();
        ASSERT_TRUE(Connect());
        link->ReadDetectors(kInputPowerRecord, r);
        EXPECT_EQ(r.calAmp, 3000);
        EXPECT_EQ(window.messages.size(), 1u);
    }
}

TEST_F(ServedSimTest, UnplugClosesTheEndpointUntilReplug) {
    SimServerOptions options;
    options.unplugAfterReplies = 2;
    options.replugAfterMs = 200;
    Start(options);
    ASSERT_TRUE(Connect());
    DetectorReading r;
    link->ReadDetectors(0, r);
    link->ReadDetectors(0, r);
    EXPECT_TRUE(window.messages.empty());
    link->ReadDetectors(0, r);
    EXPECT_EQ(window.messages.size(), 1u);
    link->CloseDevice();
    // Unplugged for a moment, then present again: poll as the worker would.
    bool sawGone = false;
    bool back = false;
    for (int i = 0; i < 250 && !back; ++i) {
        const int count = link->CountDevices();
        sawGone = sawGone || count == 0;
        back = sawGone && count == 1;
        if (!back) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_TRUE(sawGone);
    ASSERT_TRUE(back);
    ASSERT_TRUE(Connect());
    link->ReadDetectors(kInputPowerRecord, r);
    EXPECT_EQ(r.calAmp, 3000);
}

StreamEndpoint AnyLoopbackPort() {
    StreamEndpoint e;
    e.kind = StreamEndpoint::Kind::Tcp;
    e.host = "127.0.0.1";
    return e;
}

TEST(SimServerTest, StoppingIsForGood) {
    SimServer server(nullptr);
    std::string error;
    ASSERT_TRUE(server.Listen(AnyLoopbackPort(), error)) << error;
    server.Stop();
    server.Serve();  // returns at once
    server.Serve();
    StreamTransport transport(server.BoundEndpoint(), kServedTimeoutMs);
    EXPECT_EQ(transport.CountDevices(), 0);  // the listener closed with it
    EXPECT_EQ(server.Connections(), 0u);
}

TEST(SimServerTest, UnpluggedForGoodItStopsServingByItself) {
    SimServerOptions options;
    options.unplugAfterReplies = 1;
    options.replugAfterMs = -1;
    SimServer server(nullptr, options);
    std::string error;
    ASSERT_TRUE(server.Listen(AnyLoopbackPort(), error)) << error;
    std::thread serving([&] { server.Serve(); });
    StreamTransport transport(server.BoundEndpoint(), 5000);
    ASSERT_TRUE(transport.OpenDevice());
    const uint8_t read[4] = {0x7A, 0xA2, 0x09, 0x01};
    uint8_t reply[18];
    EXPECT_EQ(transport.WriteBlock(read, 4), 4);
    EXPECT_EQ(transport.ReadBlock(reply, 18), 18);
    serving.join();  // without Stop()
    EXPECT_EQ(transport.CountDevices(), 0);
    EXPECT_EQ(server.Replies(), 1u);
}

TEST(SimServerTest, ServesOneConnectionAtATime) {
    SimServer server(nullptr);
    std::string error;
    ASSERT_TRUE(server.Listen(AnyLoopbackPort(), error)) << error;
    std::thread serving([&] { server.Serve(); });
    const uint8_t read[4] = {0x7A, 0xA2, 0x09, 0x01};
    uint8_t reply[18];
    {
        StreamTransport first(server.BoundEndpoint(), 5000);
        ASSERT_TRUE(first.OpenDevice());
        EXPECT_EQ(first.WriteBlock(read, 4), 4);
        EXPECT_EQ(first.ReadBlock(reply, 18), 18);
        // Waits in the backlog while the first holds the instrument.
        StreamTransport second(server.BoundEndpoint(), kServedTimeoutMs);
        ASSERT_TRUE(second.OpenDevice());
        EXPECT_EQ(second.WriteBlock(read, 4), 4);
        EXPECT_EQ(second.ReadBlock(reply, 18), 0);
        EXPECT_EQ(first.WriteBlock(read, 4), 4);
        EXPECT_EQ(first.ReadBlock(reply, 18), 18);
    }
    StreamTransport third(server.BoundEndpoint(), 5000);
    ASSERT_TRUE(third.OpenDevice());
    EXPECT_EQ(third.WriteBlock(read, 4), 4);
    EXPECT_EQ(third.ReadBlock(reply, 18), 18);
    server.Stop();
    serving.join();
    EXPECT_EQ(server.Connections(), 3u);
}

}  // namespace
}  // namespace korvel
