// The worker reading the most extreme settings the window can leave in its
// members (out-of-range values are stored before they are refused): every
// frequency, tuning word and calibration index it derives must be a defined
// value, the pass must end normally, and the shared record must stay sound.
// The sanitizer builds turn any undefined conversion here into a failure.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <memory>
#include <vector>

#include "../soak/state_invariants.h"
#include "core/measurement_state.h"
#include "core/sweep_worker.h"
#include "fake_clock.h"
#include "recording_window.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"

namespace korvel {
namespace {

struct Extreme {
    const char* name;
    uint32_t smithKHz;
    float start;
    float stop;
};

TEST(WorkerExtremeSettings, StoredOutOfRangeValuesGiveDefinedCommands) {
    const Extreme cases[] = {
        {"zero", 0, 0.0f, 0.0f},
        {"negative", 5, -5.0f, -60.0f},
        {"largest floats", UINT32_MAX, FLT_MAX, -FLT_MAX},
        {"smallest float", 2147483648u, FLT_TRUE_MIN, -FLT_TRUE_MIN},
        {"stop below start", 50000, 60.0f, 1.0f},
        {"tuning word wraps", 4000000, 119.9f, 120.1f},
    };
    for (const Extreme& c : cases) {
        SCOPED_TRACE(c.name);
        auto instrument = std::make_shared<SimInstrument>(3);
        testing::FakeClock clock;
        SimTransport transport(instrument, &clock);
        MeasurementState state;
        state.scanRequest.store(1);
        testing::RecordingWindow window;
        window.settings.m_smithFreqKHz.store(c.smithKHz);
        for (auto* limit : {&window.settings.m_vswr1StartMHz, &window.settings.m_vswr2StartMHz,
                            &window.settings.m_vswr3StartMHz}) {
            limit->store(c.start);
        }
        for (auto* limit : {&window.settings.m_vswr1StopMHz, &window.settings.m_vswr2StopMHz,
                            &window.settings.m_vswr3StopMHz}) {
            limit->store(c.stop);
        }
        SweepWorker worker(transport, state, window, clock);
        window.onPassFinished = [&worker] { worker.RequestStop(); };
        worker.Run();  // on this thread: one whole pass, then stop

        EXPECT_EQ(window.passes, 1);
        EXPECT_TRUE(window.messages.empty()) << window.messages.front();
        // 600 sweep points and 7 Smith points of two tunings each.
        EXPECT_EQ(instrument->Counters().tunes, 600u + 14u);
        EXPECT_EQ(testing::CheckMeasurementState(state), "");
    }
}

}  // namespace
}  // namespace korvel
