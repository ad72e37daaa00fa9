#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "core/measurement_math.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

// The Pin procedure alone: no Smith point, no scan. The worker is stopped at
// its first idle cycle after the procedure, i.e. once it has reconnected.
struct PinRig : WorkerRig {
    bool finished = false;
    int level = 0;  // 0: before the prompts, 1: 0 dBm, 2: -20 dBm
    int readsAtLevel = 0;

    PinRig() {
        state.smithRequest = 0;
        state.pinCalRequest = 1;
        // 0 dBm: 60 readings of 2446 and 40 of 2445 (mean 2445.6);
        // -20 dBm: 40 readings of 2084 and 60 of 2083 (mean 2083.4).
        instrument.live = [this](uint32_t) {
            const int k = readsAtLevel++;
            uint16_t power = 0;
            if (level == 1)
                power = k < 60 ? 2446 : 2445;
            if (level == 2)
                power = k < 40 ? 2084 : 2083;
            return LiveWords{2950, 2950, 2950, power};
        };
        window.onMessage = [this](const std::string& text) {
            if (text == kPinPrompt0dBm)
                level = 1;
            if (text == kPinPromptMinus20dBm)
                level = 2;
            readsAtLevel = 0;
            if (text == kPinFinished)
                finished = true;
        };
        StopAtPause(kIdleCyclePause, finished);
    }
};

TEST(PinCalibration, PromptsReadingsAndPagesInOrder) {
    PinRig rig;
    rig.worker.Run();

    EXPECT_EQ(rig.window.messages,
              (std::vector<std::string>{kPinPrompt0dBm, kPinPromptMinus20dBm, kPinFinished}));
    EXPECT_EQ(std::string(kPinPrompt0dBm),
              "Please input 15MHz 0dBm signal to the Input Port,and click OK to countinue...");
    EXPECT_EQ(rig.state.pinCalRequest.load(), 0);

    // Two settle pauses, 32 page pauses, then the reconnection's 500 ms.
    std::vector<Milliseconds> expected = {Milliseconds(500), Milliseconds(500)};
    expected.insert(expected.end(), 32, Milliseconds(200));
    expected.push_back(kBeforeOpenPause);
    expected.push_back(kIdleCyclePause);
    EXPECT_EQ(rig.PausesAfterConnect(), expected);

    // 200 reads at index 0, and the generator is never retuned.
    const auto reads = rig.ReadIndices();
    ASSERT_EQ(reads.size(), 2u + 200u + 2u);
    EXPECT_TRUE(
        std::all_of(reads.begin() + 2, reads.begin() + 202, [](uint16_t n) { return n == 0; }));
    EXPECT_TRUE(rig.instrument.Commands(0xA1).empty());

    // 32 pages of block 6, each the Pin record in slot 0 and zeros after it.
    const auto pages = rig.instrument.Commands(0xA4);
    ASSERT_EQ(pages.size(), 32u);
    std::array<uint8_t, 32> bytes{};
    PackCalRecord({3000, 2446, 2600, 2083}, bytes.data());
    for (int p = 0; p < 32; ++p) {
        EXPECT_EQ(pages[p].block, 6);
        EXPECT_EQ(pages[p].page, p);
        EXPECT_EQ(pages[p].data, bytes) << p;
    }
}

TEST(PinCalibration, ReconnectsAndUsesTheNewCurveAtOnce) {
    PinRig rig;
    rig.worker.Run();
    EXPECT_EQ(rig.instrument.opens, 2);
    EXPECT_GE(rig.instrument.closes, 1);
    const auto reads = rig.ReadIndices();
    EXPECT_EQ(reads[reads.size() - 2], kOpenPortRecord);
    EXPECT_EQ(reads.back(), kInputPowerRecord);
    EXPECT_EQ(rig.state.pinReading0dBm.load(), 2446.0f);
    EXPECT_EQ(rig.state.pinReadingMinus20dBm.load(), 2083.0f);
    EXPECT_FLOAT_EQ(rig.state.pinSlope.load(), 363.0f / 315.0f);
    EXPECT_NEAR(ReadingToDbm(2083.0f, rig.state), -20.0f, 1e-4);
}

TEST(PinCalibration, FailedPageWriteStopsWritingButNotTheProcedure) {
    PinRig rig;
    // Commands: 2 record reads, 200 power reads, then the pages: fail page 9.
    rig.instrument.failCommand = 2 + 200 + 9;
    rig.worker.Run();
    EXPECT_EQ(rig.window.messages, (std::vector<std::string>{kPinPrompt0dBm, kPinPromptMinus20dBm,
                                                             "USB Link Error", kPinFinished}));
    EXPECT_EQ(rig.instrument.Commands(0xA4).size(), 10u);
    // Still 32 page pauses before the finishing message.
    const auto pauses = rig.PausesAfterConnect();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), Milliseconds(200)), 32);
    EXPECT_EQ(rig.state.pinCalRequest.load(), 0);
    EXPECT_EQ(rig.instrument.opens, 2);
}

TEST(PinCalibration, RoundsMeanReadingsToWords) {
    EXPECT_EQ(RoundReadingToWord(2445.6f), 2446);
    EXPECT_EQ(RoundReadingToWord(2083.4f), 2083);
    EXPECT_EQ(RoundReadingToWord(0.0f), 0);
    EXPECT_EQ(RoundReadingToWord(65535.4f), 65535);
    EXPECT_EQ(RoundReadingToWord(1e30f), 65535);
    EXPECT_EQ(RoundReadingToWord(-3.0f), 0);
    EXPECT_EQ(RoundReadingToWord(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace korvel::testing
