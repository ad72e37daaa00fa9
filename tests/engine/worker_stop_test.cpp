#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

TEST(WorkerStop, JoinsPromptlyWhileWaitingForAnInstrument) {
    ScriptedInstrument instrument;
    instrument.devices = 0;
    MeasurementState state;
    RecordingWindow window;
    SteadyClock clock;  // real pauses: the stop must cut them short
    {
        SweepWorker worker(instrument, state, window, clock);
        worker.Start();
        worker.Start();  // a second start does nothing
    }                    // the destructor stops and joins; a hang here fails the test by timeout
    EXPECT_EQ(state.linkUp.load(), 0);
    EXPECT_TRUE(window.messages.empty());
}

TEST(WorkerStop, StopDuringAScanLeavesNoSpuriousLinkError) {
    WorkerRig rig;
    rig.state.scanRequest = 1;
    std::mutex mutex;
    std::condition_variable cv;
    bool measured = false;
    rig.window.onSmithChanged = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        measured = true;
        cv.notify_all();
    };
    rig.worker.Start();
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return measured; });
    }
    rig.worker.RequestStop();
    rig.worker.Join();
    // The interrupted transfer did not reach the window as a link error, and
    // the device was closed.
    EXPECT_TRUE(rig.window.messages.empty());
    EXPECT_FALSE(rig.instrument.IsOpen());
    EXPECT_EQ(rig.state.linkUp.load(), 0);
    rig.worker.Join();  // joining again is harmless
}

TEST(WorkerStop, JoinWithoutStartIsANoOp) {
    ScriptedInstrument instrument;
    MeasurementState state;
    RecordingWindow window;
    FakeClock clock;
    SweepWorker worker(instrument, state, window, clock);
    worker.Join();
    worker.RequestStop();
    worker.Start();  // after a stop the worker does not start again
    worker.Join();
    EXPECT_EQ(instrument.counts, 0);
}

}  // namespace
}  // namespace korvel::testing
