#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "core/measurement_math.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

enum class Bench { Antenna, Cable, Load, Open };

// The Zo procedure on a scripted bench whose words encode the point: through
// the cable the power word is 1000 + n; on the dummy load amp = n % 2000,
// phase = 100 + n % 1000 and power 7 (which must not be stored); the open port
// reads amp 1000, ref 2000.
struct ZoRig : WorkerRig {
    Bench bench = Bench::Antenna;
    bool finished = false;
    std::vector<std::size_t> logSizeAtMessage;

    ZoRig() {
        state.smithRequest = 0;
        state.zoCalRequest = 1;
        instrument.live = [this](uint32_t word) {
            const int n = static_cast<int>(std::lround((FreqOfTuningWord(word) - 1) * 20));
            switch (bench) {
                case Bench::Cable:
                    return LiveWords{0, 3000, 0, static_cast<uint16_t>(1000 + n)};
                case Bench::Load:
                    return LiveWords{static_cast<uint16_t>(n % 2000), 3000,
                                     static_cast<uint16_t>(100 + n % 1000), 7};
                case Bench::Open:
                    return LiveWords{1000, 2000, 1500, 7};
                default:
                    return LiveWords{2950, 2950, 2950, 2446};
            }
        };
        window.onMessage = [this](const std::string& text) {
            logSizeAtMessage.push_back(instrument.log.size());
            if (text == kZoPromptCable)
                bench = Bench::Cable;
            if (text == kZoPromptDummyLoad)
                bench = Bench::Load;
            if (text == kZoPromptOpenPort)
                bench = Bench::Open;
            if (text == kZoFinished) {
                bench = Bench::Antenna;
                finished = true;
            }
        };
        StopAtPause(kIdleCyclePause, finished);
    }

    std::size_t PagesBefore(std::size_t logSize) const {
        std::size_t pages = 0;
        for (std::size_t k = 0; k < logSize; ++k)
            pages += instrument.log[k].code == 0xA4;
        return pages;
    }
};

TEST(ZoCalibration, PromptsAndTheirPlaceInTheWalk) {
    ZoRig rig;
    rig.worker.Run();
    EXPECT_EQ(rig.window.messages, (std::vector<std::string>{kZoPromptCable, kZoPromptDummyLoad,
                                                             kZoPromptOpenPort, kZoFinished}));
    EXPECT_EQ(std::string(kZoPromptOpenPort),
              "Please let the Output Port open,and click OK to countinue...");
    // The open-port prompt comes once, after 191 pages, before the 768th point.
    ASSERT_EQ(rig.logSizeAtMessage.size(), 4u);
    EXPECT_EQ(rig.PagesBefore(rig.logSizeAtMessage[2]), 191u);
    EXPECT_EQ(rig.PagesBefore(rig.logSizeAtMessage[3]), 192u);
    EXPECT_EQ(rig.state.zoCalRequest.load(), 0);
}

TEST(ZoCalibration, TuningAndPausesOfBothPhases) {
    ZoRig rig;
    rig.worker.Run();
    const auto tunes = rig.instrument.Commands(0xA1);
    ASSERT_EQ(tunes.size(), 1536u);
    for (int n = 0; n < 768; ++n) {
        EXPECT_EQ(tunes[n].tuningWord, TuningWord(n / 20.0 + 1.0)) << n;
        EXPECT_EQ(tunes[768 + n].tuningWord, tunes[n].tuningWord) << n;
    }
    EXPECT_NEAR(FreqOfTuningWord(tunes[767].tuningWord), 39.35, 1e-6);

    // 1536 tunings and 192 pages of 200 ms: 345.6 s of virtual time.
    const auto pauses = rig.PausesAfterConnect();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), Milliseconds(200)), 1536 + 192);
    const auto total = std::accumulate(pauses.begin(), pauses.end(), Milliseconds(0));
    EXPECT_EQ(total, Milliseconds(345600) + kBeforeOpenPause + kIdleCyclePause);
    // Every read of the procedure asks for index 0 only.
    const auto reads = rig.ReadIndices();
    EXPECT_TRUE(std::all_of(reads.begin() + 2, reads.end() - 2, [](uint16_t n) { return n == 0; }));
}

TEST(ZoCalibration, PageBytesHoldTheLoadWordsAndTheThroughPower) {
    ZoRig rig;
    rig.worker.Run();
    const auto pages = rig.instrument.Commands(0xA4);
    ASSERT_EQ(pages.size(), 192u);
    for (int k = 0; k < 192; ++k) {
        ASSERT_EQ(pages[k].block, k / 32);
        ASSERT_EQ(pages[k].page, k % 32);
        for (int slot = 0; slot < 4; ++slot) {
            const int n = k * 4 + slot;
            const CalRecord r = UnpackCalRecord(pages[k].data.data() + 8 * slot);
            const CalRecord expected = n == 767 ? CalRecord{1000, 2000, 1500, 1767}
                                                : CalRecord{static_cast<uint16_t>(n % 2000), 3000,
                                                            static_cast<uint16_t>(100 + n % 1000),
                                                            static_cast<uint16_t>(1000 + n)};
            ASSERT_EQ(r.amp, expected.amp) << n;
            ASSERT_EQ(r.ref, expected.ref) << n;
            ASSERT_EQ(r.phase, expected.phase) << n;
            ASSERT_EQ(r.power, expected.power) << n;
        }
    }
}

TEST(ZoCalibration, ReconnectReloadsTheOpenPortRecord) {
    ZoRig rig;
    rig.worker.Run();
    EXPECT_EQ(rig.instrument.opens, 2);
    // Record 767 now reads amp 1000 of ref 2000: ratio 1.
    EXPECT_DOUBLE_EQ(rig.state.gammaScale.load(), 0.97);
    const auto reads = rig.ReadIndices();
    EXPECT_EQ(reads[reads.size() - 2], kOpenPortRecord);
}

TEST(ZoCalibration, FailureMidwayWalksOnWithoutWriting) {
    ZoRig rig;
    // 2 record reads, 768 * 2 through commands, then per page 4 * 2 + 1:
    // fail the write of page 40 (block 1, page 8).
    rig.instrument.failCommand = 2 + 768 * 2 + 40 * 9 + 8;
    rig.worker.Run();
    EXPECT_EQ(rig.window.messages,
              (std::vector<std::string>{kZoPromptCable, kZoPromptDummyLoad, "USB Link Error",
                                        kZoPromptOpenPort, kZoFinished}));
    EXPECT_EQ(rig.instrument.Commands(0xA4).size(), 41u);
    const auto pauses = rig.PausesAfterConnect();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), Milliseconds(200)), 1536 + 192);
    EXPECT_EQ(rig.state.zoCalRequest.load(), 0);
    EXPECT_EQ(rig.instrument.opens, 2);
}

TEST(ZoCalibration, PinRunsFirstWhenBothAreRequested) {
    ZoRig rig;
    rig.state.pinCalRequest = 1;
    rig.worker.Run();
    ASSERT_EQ(rig.window.messages.size(), 7u);
    EXPECT_EQ(rig.window.messages[0], kPinPrompt0dBm);
    EXPECT_EQ(rig.window.messages[2], kPinFinished);
    EXPECT_EQ(rig.window.messages[3], kZoPromptCable);
    EXPECT_EQ(rig.window.messages[6], kZoFinished);
    // Zo started only after a reconnection.
    EXPECT_EQ(rig.instrument.opens, 3);
    EXPECT_EQ(rig.state.pinCalRequest.load(), 0);
}

TEST(ZoCalibration, NextPassUsesTheFreshRecords) {
    ZoRig rig;
    rig.state.scanRequest = 1;
    // After the procedure the bench keeps the dummy load and the cable's
    // power: the next pass must read a perfect match and 0 dB everywhere.
    rig.window.onMessage = [&](const std::string& text) {
        if (text == kZoPromptCable)
            rig.bench = Bench::Cable;
        if (text == kZoPromptDummyLoad)
            rig.bench = Bench::Load;
        if (text == kZoPromptOpenPort)
            rig.bench = Bench::Open;
        if (text == kZoFinished)
            rig.bench = Bench::Load;
    };
    rig.instrument.live = [&](uint32_t word) {
        const int n = static_cast<int>(std::lround((FreqOfTuningWord(word) - 1) * 20));
        if (rig.bench == Bench::Open)
            return LiveWords{1000, 2000, 1500, 7};
        const auto power = static_cast<uint16_t>(2000 + n);
        if (rig.bench == Bench::Cable)
            return LiveWords{0, 3000, 0, power};
        return LiveWords{static_cast<uint16_t>(1000 + n), 3000, 1500, power};
    };
    rig.StopAfterPasses(1);
    rig.worker.Run();
    ASSERT_EQ(rig.window.passes, 1);
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        ASSERT_DOUBLE_EQ(rig.state.vswr1Points[i].load(), 1.0) << i;
        ASSERT_DOUBLE_EQ(rig.state.vswr3Points[i].load(), 1.0) << i;
        ASSERT_NEAR(rig.state.s21Points[i].load(), 0.0, 1e-9) << i;
    }
}

}  // namespace
}  // namespace korvel::testing
