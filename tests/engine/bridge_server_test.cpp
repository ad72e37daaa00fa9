// The bridge in process on a real Unix socket, before the simulated
// instrument: relaying, the calibration-memory guard, one client at a time,
// hostile input, the idle close and an instrument that goes and comes back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bridge/command_filter.h"
#include "bridge_rig.h"
#include "core/device_link.h"
#include "recording_window.h"
#include "socket_peer.h"

namespace korvel {
namespace {

using testing::BridgeRig;
using testing::RawClient;

constexpr int kCloseBoundMs = 5000;

// korvel's device link over a client of the rig, opened and up.
struct LinkedClient {
    explicit LinkedClient(BridgeRig& rig, int timeoutMs = 1000)
        : transport(rig.Client(timeoutMs)), window(&state), link(*transport, state, window) {
        opened = link.OpenDevice();
        state.linkUp.store(1);
    }
    std::unique_ptr<StreamTransport> transport;
    MeasurementState state;
    testing::RecordingWindow window;
    DeviceLink link;
    bool opened = false;
};

std::vector<uint8_t> Page(uint8_t fill) {
    return std::vector<uint8_t>(32, fill);
}

TEST(BridgeServer, RelaysCommandsAndRepliesFromAnOwnerOnlySocket) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    struct stat st {};
    ASSERT_EQ(::stat(rig.Path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    LinkedClient client(rig);
    ASSERT_TRUE(client.opened);
    DetectorReading r;
    client.link.SetFrequency(TuningWord(14.27));
    client.link.ReadDetectors(kInputPowerRecord, r);
    EXPECT_TRUE(client.window.messages.empty());
    EXPECT_EQ(r.calAmp, 3000);  // the instrument's own pin record
    EXPECT_NEAR(rig.Instrument().TunedMHz(), 14.27, 1e-6);
    EXPECT_EQ(rig.Instrument().Counters().reads, 1u);
    EXPECT_EQ(rig.Server().Counts().replies, 2u);
}

TEST(BridgeServer, ProbeThenOpenAsKorvelDoesIsServedEveryTime) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    for (int i = 0; i < 20; ++i) {
        const auto transport = rig.Client();
        // The probe's close may still be unread when the real connection comes.
        ASSERT_EQ(transport->CountDevices(), 1);
        ASSERT_TRUE(transport->OpenDevice());
        const uint8_t tune[7] = {0x7A, 0xA1, 0, 0, 0, 0, 1};
        uint8_t reply[64];
        ASSERT_EQ(transport->WriteBlock(tune, 7), 7);
        ASSERT_EQ(transport->ReadBlock(reply, 64), 2) << "round " << i;
    }
    EXPECT_EQ(rig.Server().Counts().refusedClients, 0u);
}

TEST(BridgeServer, CalibrationPageWritesAreRefusedWithoutAReply) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    const CalRecord before = rig.Instrument().Record(0);
    {
        LinkedClient client(rig, 200);
        ASSERT_TRUE(client.opened);
        client.link.WriteCalPage(0, 0, Page(0x11).data());
        ASSERT_EQ(client.window.messages.size(), 1u);  // a link error aborts the procedure
        EXPECT_EQ(client.state.linkUp.load(), 0);
    }
    EXPECT_TRUE(rig.WaitForLog("refused a calibration-page write (block 0, page 0)"));
    EXPECT_EQ(rig.Instrument().Counters().pageWrites, 0u);
    EXPECT_EQ(rig.Instrument().Record(0).amp, before.amp);
    // The bridge serves on.
    LinkedClient next(rig);
    next.link.SetFrequency(TuningWord(7.1));
    EXPECT_TRUE(next.window.messages.empty());
}

TEST(BridgeServer, CalibrationPageWritesPassWhenAllowed) {
    bridge::BridgeOptions options;
    options.allowCalibrationWrites = true;
    BridgeRig rig(options);
    ASSERT_TRUE(rig.Start());
    LinkedClient client(rig);
    client.link.WriteCalPage(0, 1, Page(0x22).data());
    EXPECT_TRUE(client.window.messages.empty());
    EXPECT_EQ(rig.Instrument().Counters().pageWrites, 1u);
    EXPECT_EQ(rig.Instrument().Record(4).amp, 0x2222);  // page 1 starts at record 4
}

TEST(BridgeServer, ASecondClientIsRefusedAndNamedWhileTheFirstIsServed) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    LinkedClient first(rig);
    first.link.SetFrequency(TuningWord(3.5));
    ASSERT_TRUE(first.window.messages.empty());

    RawClient second(rig.Path());
    ASSERT_TRUE(second.Connected());
    EXPECT_TRUE(second.ClosedWithin(kCloseBoundMs));
    EXPECT_TRUE(rig.WaitForLog("refused a second client, a local process (pid " +
                               std::to_string(::getpid())));
    first.link.SetFrequency(TuningWord(3.6));
    EXPECT_TRUE(first.window.messages.empty());
    EXPECT_EQ(rig.Server().Counts().refusedClients, 1u);
}

// Whatever a client sends that is not a whole instrument command closes its
// connection, and none of it reaches the instrument.
TEST(BridgeServer, MalformedInputNeverReachesTheInstrument) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    std::vector<std::vector<uint8_t>> inputs = {
        {37, 0},                                        // longer than any command
        {0xFF, 0xFF, 0x7A, 0xA1},                       // 65535 announced
        {0, 0},                                         // empty frame
        {4, 0, 0x7B, 0xA2, 0, 0},                       // wrong lead
        {4, 0, 0x7A, 0xA3, 0, 0},                       // unknown command
        {4, 0, 0x7A, 0xA1, 0, 0},                       // tune cut to 4 bytes
        {7, 0, 0x7A, 0xA2, 0, 0, 0, 0, 1},              // read padded to 7
        {36, 0, 0x7A, 0xA1},                            // page-write length, not one
        {7, 0, 0x7A, 0xA1, 1, 2},                       // cut: the client leaves mid-frame
        {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T'},  // not the protocol at all
    };
    // Random bytes whose first frame can never be a command: a length over
    // 36, or a payload not led by 0x7A.
    std::mt19937 rng(12);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(3, 80);
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(size(rng)));
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(byte(rng));
        }
        if (bytes[2] == 0x7A) {
            bytes[2] = 0x7B;
        }
        inputs.push_back(bytes);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        RawClient client(rig.Path());
        ASSERT_TRUE(client.Connected());
        client.Send(inputs[i]);
        client.FinishSending();
        std::vector<uint8_t> received;
        ASSERT_TRUE(client.ClosedWithin(kCloseBoundMs, &received)) << "input " << i;
        EXPECT_TRUE(received.empty()) << "input " << i;
    }
    EXPECT_EQ(rig.InstrumentCommands(), 0u);
    EXPECT_GE(rig.Server().Counts().refusedInputs, 9u);
    EXPECT_TRUE(rig.WaitForLog("left inside a frame"));
    // Still serving.
    LinkedClient client(rig);
    client.link.SetFrequency(TuningWord(10.1));
    EXPECT_TRUE(client.window.messages.empty());
    RecordProperty("malformed_inputs", static_cast<int>(inputs.size()));
}

TEST(BridgeServer, CommandsSentFarAheadOfTheirRepliesCloseTheConnection) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    RawClient client(rig.Path());
    std::vector<uint8_t> flood;
    for (int i = 0; i < 200; ++i) {
        flood.insert(flood.end(), {4, 0, 0x7A, 0xA2, 0, 0});
    }
    client.Send(flood);
    EXPECT_TRUE(client.ClosedWithin(kCloseBoundMs));
    EXPECT_TRUE(rig.WaitForLog("sent ahead of their replies"));
    // Only commands that had come in whole before the flood grew too long.
    EXPECT_LE(rig.InstrumentCommands(), bridge::kMaxCommandsAhead + 1);
}

TEST(BridgeServer, AClientThatSendsNothingIsClosed) {
    bridge::BridgeOptions options;
    options.idleTimeout = std::chrono::milliseconds(50);
    BridgeRig rig(options);
    ASSERT_TRUE(rig.Start());
    RawClient idle(rig.Path());
    ASSERT_TRUE(idle.Connected());
    EXPECT_TRUE(idle.ClosedWithin(kCloseBoundMs));
    EXPECT_TRUE(rig.WaitForLog("nothing received for 50 ms"));
    EXPECT_EQ(rig.Server().Counts().idleClosed, 1u);
}

TEST(BridgeServer, AnInstrumentThatGoesClosesTheClientAndStopsListeningUntilItIsBack) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    LinkedClient client(rig);
    client.link.SetFrequency(TuningWord(14.0));
    ASSERT_TRUE(client.window.messages.empty());

    rig.Instrument().Unplug();
    client.link.SetFrequency(TuningWord(14.1));
    EXPECT_EQ(client.window.messages.size(), 1u);
    ASSERT_TRUE(rig.WaitForLog("the instrument is gone"));
    // No listener: a client counts no instrument, as with one unplugged.
    EXPECT_EQ(rig.Client()->CountDevices(), 0);

    rig.Instrument().Replug();
    ASSERT_TRUE(rig.WaitForLog("the instrument is back"));
    LinkedClient again(rig);
    ASSERT_TRUE(again.opened);
    again.link.SetFrequency(TuningWord(14.2));
    EXPECT_TRUE(again.window.messages.empty());
    EXPECT_NEAR(rig.Instrument().TunedMHz(), 14.2, 1e-6);
}

TEST(BridgeServer, WithoutAnInstrumentItDoesNotListenUntilOneIsThere) {
    BridgeRig rig;
    rig.Instrument().Unplug();
    StreamEndpoint endpoint;
    std::string error;
    ASSERT_TRUE(ParseStreamEndpoint(rig.Device(), endpoint, error));
    // Start() waits for "listening on", which comes only with the instrument.
    std::thread plugLater([&rig] {
        rig.WaitForLog("no instrument yet");
        rig.Instrument().Replug();
    });
    EXPECT_TRUE(rig.Start());
    plugLater.join();
    LinkedClient client(rig);
    client.link.SetFrequency(TuningWord(21.0));
    EXPECT_TRUE(client.window.messages.empty());
}

TEST(BridgeServer, StoppingRemovesTheSocketFile) {
    auto rig = std::make_unique<BridgeRig>();
    ASSERT_TRUE(rig->Start());
    const std::string path = rig->Path();
    LinkedClient client(*rig);
    client.link.SetFrequency(TuningWord(5.0));
    rig.reset();  // stopped while serving a client
    struct stat st {};
    EXPECT_NE(::stat(path.c_str(), &st), 0);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Bytes dripped in keep no client: only whole commands restart the idle time.
TEST(BridgeServer, AClientDrippingBytesIsClosedByTheIdleTime) {
    bridge::BridgeOptions options;
    options.idleTimeout = std::chrono::milliseconds(100);
    options.frameTimeout = std::chrono::minutes(10);
    BridgeRig rig(options);
    ASSERT_TRUE(rig.Start());
    RawClient client(rig.Path());
    std::vector<uint8_t> frame = {36, 0, 0x7A, 0xA4, 0, 0};
    frame.resize(38, 0x11);  // a page write: 38 bytes, one every 50 ms
    for (const uint8_t byte : frame) {
        if (!client.Send({byte}) || rig.Log().find("closed") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(client.ClosedWithin(kCloseBoundMs));
    EXPECT_TRUE(rig.WaitForLog("no whole command received for 100 ms"));
    EXPECT_EQ(rig.Server().Counts().refusedWrites, 0u);  // the frame never came whole
}

TEST(BridgeServer, AFrameLeftUnfinishedClosesTheClient) {
    bridge::BridgeOptions options;
    options.frameTimeout = std::chrono::milliseconds(50);
    BridgeRig rig(options);
    ASSERT_TRUE(rig.Start());
    RawClient client(rig.Path());
    client.Send({7, 0, 0x7A});
    EXPECT_TRUE(client.ClosedWithin(kCloseBoundMs));
    EXPECT_TRUE(rig.WaitForLog("a frame left unfinished for 50 ms"));
}

// A flood of clients gives two lines, not one each.
TEST(BridgeServer, RefusedClientsAreNamedOnceThenCounted) {
    BridgeRig rig;
    ASSERT_TRUE(rig.Start());
    {
        LinkedClient first(rig);
        first.link.SetFrequency(TuningWord(3.5));
        for (int i = 0; i < 50; ++i) {
            RawClient other(rig.Path());
            EXPECT_TRUE(other.ClosedWithin(kCloseBoundMs));
        }
    }
    ASSERT_TRUE(rig.WaitForLog("refused 49 more clients while serving a local process"));
    EXPECT_EQ(Occurrences(rig.Log(), "refused a second client"), 1u);
    EXPECT_EQ(rig.Server().Counts().refusedClients, 50u);
}

// A socket another program put at the path since stays when the bridge ends.
TEST(BridgeServer, AtTheEndOnlyItsOwnSocketFileIsRemoved) {
    auto rig = std::make_unique<BridgeRig>();
    ASSERT_TRUE(rig->Start());
    const std::string path = rig->Path();
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_TRUE(testing::MakeStaleSocketFile(path));
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    rig.reset();
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace korvel
