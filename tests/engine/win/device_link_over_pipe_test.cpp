// The device link's commands over the Windows layer, with the instrument at
// the far end of an overlapped pipe: a reply of the wrong length gives one
// message and drops the link, and nothing more is sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device_link.h"
#include "fake_setup_api.h"
#include "pipe_instrument.h"
#include "recording_window.h"
#include "win/win_transport.h"

namespace korvel::win {
namespace {

using korvel::testing::RecordingWindow;
using testing::FakeSetupApi;
using testing::PipeInstrument;
using Bytes = std::vector<uint8_t>;

Bytes DetectorReply(uint16_t first) {
    Bytes reply(18, 0);
    for (int word = 0; word < 8; ++word) {
        const auto value = static_cast<uint16_t>(first + word);
        reply[2 + 2 * word] = static_cast<uint8_t>(value & 0xFF);
        reply[3 + 2 * word] = static_cast<uint8_t>(value >> 8);
    }
    return reply;
}

struct LinkOverPipe {
    explicit LinkOverPipe(std::vector<PipeInstrument::Step> script)
        : instrument(std::move(script)) {
        fake.devicePaths = {instrument.Path()};
        fake.forwardCreateFile = true;
        transport = std::make_unique<WinTransport>(fake.Api(), TransferTimeouts{10000, 10000});
        link = std::make_unique<DeviceLink>(*transport, state, window);
        if (link->OpenDevice()) {
            state.linkUp.store(1);
        }
    }
    ~LinkOverPipe() {
        link.reset();
        transport.reset();
    }

    FakeSetupApi fake;
    PipeInstrument instrument;
    MeasurementState state;
    RecordingWindow window;
    std::unique_ptr<WinTransport> transport;
    std::unique_ptr<DeviceLink> link;
};

TEST(DeviceLinkOverPipe, FullReplyFillsTheReading) {
    LinkOverPipe rig({PipeInstrument::Reply({0, 0}), PipeInstrument::Reply(DetectorReply(1000))});
    ASSERT_EQ(rig.state.linkUp.load(), 1);
    rig.link->SetFrequency(TuningWord(14.27));
    DetectorReading reading;
    rig.link->ReadDetectors(CalibrationIndex(14.27), reading);

    EXPECT_EQ(reading.liveAmp, 1000);
    EXPECT_EQ(reading.calPower, 1007);
    EXPECT_TRUE(rig.window.messages.empty());
    EXPECT_EQ(rig.state.linkUp.load(), 1);
    const auto commands = rig.instrument.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1], (Bytes{0x7A, 0xA2, 0x09, 0x01}));  // index 265
}

TEST(DeviceLinkOverPipe, ShortOrLongReplyGivesOneMessageAndDropsTheLink) {
    for (const int length : {17, 20}) {
        SCOPED_TRACE(length);
        Bytes reply = DetectorReply(500);
        reply.resize(static_cast<size_t>(length), 0x33);
        LinkOverPipe rig({PipeInstrument::Reply(reply)});
        DetectorReading reading;
        reading.liveAmp = 4242;
        rig.link->ReadDetectors(5, reading);

        EXPECT_EQ(reading.liveAmp, 4242);  // left as it was
        EXPECT_EQ(rig.window.messages, (std::vector<std::string>{"USB Link Error！"}));
        EXPECT_EQ(rig.state.linkUp.load(), 0);

        // Later commands are silent no-ops.
        rig.link->SetFrequency(1);
        rig.link->ReadDetectors(5, reading);
        EXPECT_EQ(rig.window.messages.size(), 1u);
        EXPECT_EQ(rig.instrument.Commands().size(), 1u);
    }
}

}  // namespace
}  // namespace korvel::win
