#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/device_link.h"
#include "recording_window.h"
#include "scripted_transport.h"

namespace korvel {
namespace {

using testing::RecordingWindow;
using testing::ScriptedTransport;
using Bytes = std::vector<uint8_t>;

const std::string kTuneError = "USB Link Error\xEF\xBC\x81";  // full-width ！ in UTF-8
const std::string kPageError = "USB Link Error";

class DeviceLinkTest : public ::testing::Test {
  protected:
    DeviceLinkTest() : window(&state), link(transport, state, window) {
        state.linkUp.store(1, kRelaxed);
    }

    static Bytes DetectorReply(uint16_t first) {
        Bytes r(18);
        for (int w = 0; w < 9; ++w) {
            const uint16_t v = static_cast<uint16_t>(first + w);
            r[2 * w] = static_cast<uint8_t>(v & 0xFF);
            r[2 * w + 1] = static_cast<uint8_t>(v >> 8);
        }
        return r;
    }

    ScriptedTransport transport;
    MeasurementState state;
    RecordingWindow window;
    DeviceLink link;
};

TEST(CalibrationIndexTest, FollowsTheFiftyKilohertzGrid) {
    EXPECT_EQ(CalibrationIndex(14.27), 265);
    EXPECT_EQ(CalibrationIndex(60.0), 1180);
    EXPECT_EQ(CalibrationIndex(1.0), 0);
    EXPECT_EQ(CalibrationIndex(39.35), 767);
    EXPECT_EQ(CalibrationIndex(39.4), 768);
    EXPECT_EQ(CalibrationIndex(1.024), 0);  // 0.48 + 0.5 truncates to 0
    EXPECT_EQ(CalibrationIndex(1.026), 1);
    EXPECT_EQ(CalibrationIndex(15.697), 294);
}

TEST(CalibrationIndexTest, IsDefinedForEveryInput) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(CalibrationIndex(nan), 0);
    EXPECT_EQ(CalibrationIndex(inf), 0);
    EXPECT_EQ(CalibrationIndex(-inf), 0);
    EXPECT_EQ(CalibrationIndex(1e300), 0);  // a multiple of 65536: low 16 bits are 0
    // Below 1 MHz the truncated value is negative and wraps like a 16-bit cast.
    EXPECT_EQ(CalibrationIndex(0.5), static_cast<uint16_t>(-9));
    // Past the 16-bit range it keeps the low 16 bits.
    EXPECT_EQ(CalibrationIndex(1.0 + 65536.0 / 20 + 0.05), 1);
}

TEST(TuningWordTest, RoundsTheMegahertzToTuningUnits) {
    EXPECT_EQ(TuningWord(14.27), 510742593u);
    EXPECT_EQ(TuningWord(1.0), 35791352u);
    EXPECT_EQ(TuningWord(60.0), 2147481120u);
    EXPECT_EQ(TuningWord(0.0), 0u);
}

TEST(TuningWordTest, IsDefinedForEveryInput) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(TuningWord(nan), 0u);
    EXPECT_EQ(TuningWord(inf), 0u);
    EXPECT_EQ(TuningWord(-inf), 0u);
    EXPECT_EQ(TuningWord(1e300), 0u);
    // 130 MHz passes 2^32 units and keeps the low 32 bits.
    EXPECT_EQ(TuningWord(130.0), static_cast<uint32_t>(4652875760ull & 0xFFFFFFFFull));
    EXPECT_EQ(TuningWord(-1.0), static_cast<uint32_t>(-35791351));
}

TEST(CalRecordTest, PacksFourLittleEndianWords) {
    const CalRecord r{0x1234, 0xABCD, 0x0001, 0xFF00};
    uint8_t bytes[8];
    PackCalRecord(r, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 8), (Bytes{0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00, 0x00, 0xFF}));
    const CalRecord back = UnpackCalRecord(bytes);
    EXPECT_EQ(back.amp, r.amp);
    EXPECT_EQ(back.ref, r.ref);
    EXPECT_EQ(back.phase, r.phase);
    EXPECT_EQ(back.power, r.power);
}

TEST_F(DeviceLinkTest, CommandBlocksHaveTheWireLayout) {
    transport.replies = {Bytes(2), DetectorReply(0), Bytes(2)};
    link.SetFrequency(510742593u);
    DetectorReading reading;
    link.ReadDetectors(0x02FF, reading);
    uint8_t page[32];
    for (int i = 0; i < 32; ++i) {
        page[i] = static_cast<uint8_t>(i + 100);
    }
    link.WriteCalPage(5, 31, page);

    ASSERT_EQ(transport.written.size(), 3u);
    // 510742593 = 0x1E715041.
    EXPECT_EQ(transport.written[0], (Bytes{0x7A, 0xA1, 0x41, 0x50, 0x71, 0x1E, 0x01}));
    EXPECT_EQ(transport.written[1], (Bytes{0x7A, 0xA2, 0xFF, 0x02}));
    Bytes expectedPage{0x7A, 0xA4, 5, 31};
    expectedPage.insert(expectedPage.end(), page, page + 32);
    EXPECT_EQ(transport.written[2], expectedPage);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(state.linkUp.load(), 1);
}

TEST_F(DeviceLinkTest, ReadDetectorsTakesTheEightWordsAfterTheFirstTwoBytes) {
    transport.replies = {DetectorReply(0x0100)};
    DetectorReading r;
    link.ReadDetectors(265, r);
    EXPECT_EQ(r.liveAmp, 0x0101);
    EXPECT_EQ(r.liveRef, 0x0102);
    EXPECT_EQ(r.livePhase, 0x0103);
    EXPECT_EQ(r.livePower, 0x0104);
    EXPECT_EQ(r.calAmp, 0x0105);
    EXPECT_EQ(r.calRef, 0x0106);
    EXPECT_EQ(r.calPhase, 0x0107);
    EXPECT_EQ(r.calPower, 0x0108);
}

TEST_F(DeviceLinkTest, ReadsWithRoomForAnOverlongReply) {
    // Asking for exactly 18 bytes would hide a longer reply.
    transport.replies = {DetectorReply(0)};
    DetectorReading r;
    link.ReadDetectors(0, r);
    ASSERT_EQ(transport.readSizes.size(), 1u);
    EXPECT_GT(transport.readSizes[0], 18);
}

TEST_F(DeviceLinkTest, WrongReplyLengthsShowOneMessageThenDropTheLink) {
    for (const int length : {0, 1, 17, 19, 2000}) {
        SCOPED_TRACE(length);
        transport.replies = {Bytes(static_cast<std::size_t>(length), 0x55)};
        state.linkUp.store(1);
        window.messages.clear();
        window.linkUpWhileShown.clear();
        DetectorReading r;
        r.liveAmp = 7;
        r.calPower = 9;
        link.ReadDetectors(3, r);
        EXPECT_EQ(r.liveAmp, 7);
        EXPECT_EQ(r.calPower, 9);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0], kTuneError);
        // The link drops only once the user has closed the message.
        EXPECT_EQ(window.linkUpWhileShown, std::vector<int>{1});
        EXPECT_EQ(state.linkUp.load(), 0);
    }
}

TEST_F(DeviceLinkTest, EachCommandHasItsOwnMessageText) {
    transport.replies = {Bytes(3)};
    link.SetFrequency(1);
    state.linkUp.store(1);
    transport.replies = {};  // time-out
    uint8_t page[32] = {};
    link.WriteCalPage(0, 0, page);
    EXPECT_EQ(window.messages, (std::vector<std::string>{kTuneError, kPageError}));
}

TEST_F(DeviceLinkTest, AfterAFailureLaterCommandsAreSilentNoOps) {
    transport.replies = {Bytes(17)};
    DetectorReading r;
    link.ReadDetectors(0, r);
    ASSERT_EQ(window.messages.size(), 1u);
    const std::size_t sent = transport.written.size();

    r.liveRef = 42;
    uint8_t page[32] = {};
    link.SetFrequency(123);
    link.ReadDetectors(5, r);
    link.WriteCalPage(6, 0, page);
    EXPECT_EQ(transport.written.size(), sent);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(r.liveRef, 42);
}

TEST_F(DeviceLinkTest, ReplyContentOfAcknowledgementsIsNotChecked) {
    transport.replies = {Bytes{0xFF, 0xFF}, Bytes{0, 0}};
    link.SetFrequency(1);
    uint8_t page[32] = {};
    link.WriteCalPage(6, 0, page);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(state.linkUp.load(), 1);
}

TEST_F(DeviceLinkTest, LowerLayerCallsPassThrough) {
    transport.count = 2;
    EXPECT_EQ(link.CountDevices(), 2);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(link.OpenDevice());
    EXPECT_TRUE(link.IsOpen());
    link.CloseDevice();
    EXPECT_FALSE(link.IsOpen());
}

}  // namespace
}  // namespace korvel
