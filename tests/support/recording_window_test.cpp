// The shared doubles where they do more than record: a recording window that
// watches another one must pass every call on, and the scripted instrument's
// switch to silence must silence it and nothing else.
#include <gtest/gtest.h>

#include "recording_window.h"
#include "scripted_instrument.h"

namespace korvel::testing {
namespace {

TEST(RecordingWindow, WatchingAnotherWindowPassesEveryCallOnAndReadsItsSettings) {
    RecordingWindow inner;
    inner.settings.m_smithFreqKHz.store(7100);
    RecordingWindow watch(static_cast<WorkerWindow&>(inner));
    EXPECT_EQ(watch.Settings().m_smithFreqKHz.load(), 7100u);
    EXPECT_EQ(&watch.Settings(), &inner.settings);

    watch.BeginScanPass();
    watch.DrawProgressLine(24, 500);
    watch.InvalidateSmithArea();
    watch.ShowMessage("USB Link Error");
    watch.EndScanPass();
    watch.PassFinished();
    for (const RecordingWindow* w : {&watch, &inner}) {
        EXPECT_EQ(w->events,
                  (std::vector<std::string>{"begin", "message:USB Link Error", "end", "pass"}));
        ASSERT_EQ(w->lines.size(), 1u);
        EXPECT_EQ(w->lines[0].y, 24);
        EXPECT_EQ(w->lines[0].xEnd, 500);
        EXPECT_EQ(w->lineCount.load(), 1);
        EXPECT_EQ(w->invalidations, 1);
        EXPECT_EQ(w->passes, 1);
    }
}

TEST(RecordingWindow, NotesTheLinkStateAtEachMessage) {
    MeasurementState state;
    RecordingWindow window(&state);
    state.linkUp.store(1);
    window.ShowMessage("a");
    state.linkUp.store(0);
    window.ShowMessage("b");
    EXPECT_EQ(window.linkUpWhileShown, (std::vector<int>{1, 0}));
}

TEST(ScriptedInstrument, SilenceTimesOutEveryReadUntilItAnswersAgain) {
    ScriptedInstrument instrument;
    instrument.live = [](uint32_t) { return LiveWords{900, 2000, 1200, 2400}; };
    ASSERT_TRUE(instrument.OpenDevice());
    const uint8_t read[4] = {0x7A, 0xA2, 0x00, 0x00};
    uint8_t reply[64] = {};

    instrument.answer = false;
    EXPECT_EQ(instrument.WriteBlock(read, 4), 4);
    EXPECT_EQ(instrument.ReadBlock(reply, 64), 0);
    // The silenced reply is gone, not held back for the next read.
    instrument.answer = true;
    EXPECT_EQ(instrument.ReadBlock(reply, 64), 0);

    EXPECT_EQ(instrument.WriteBlock(read, 4), 4);
    EXPECT_EQ(instrument.ReadBlock(reply, 64), 18);
    EXPECT_EQ(reply[2] | (reply[3] << 8), 900);
    EXPECT_TRUE(instrument.IsOpen());
    EXPECT_EQ(instrument.Commands(0xA2).size(), 2u);
}

}  // namespace
}  // namespace korvel::testing
