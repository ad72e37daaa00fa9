// A worker wired to the scripted instrument, a recording window and the
// virtual clock. Tests run Run() on their own thread and stop it from a
// window or clock hook, so every sequence is deterministic.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/calibration.h"
#include "core/measurement_state.h"
#include "core/sweep_worker.h"
#include "fake_clock.h"
#include "recording_window.h"
#include "scripted_instrument.h"

namespace korvel::testing {

inline double FreqOfTuningWord(uint32_t word) {
    return word / 35791352.0;
}

struct WorkerRig {
    ScriptedInstrument instrument;
    MeasurementState state;
    RecordingWindow window;
    FakeClock clock;
    SweepWorker worker{instrument, state, window, clock};

    WorkerRig() {
        // An instrument with a plain factory calibration: record 767 gives a
        // gamma scale of 0.97, record 768 the default input-power readings.
        instrument.memory[kOpenPortRecord] = {1475, 2950, 2950, 0};
        instrument.memory[kInputPowerRecord] = {kPinMarkerAmp, 2446, kPinMarkerPhase, 2084};
        // Per-frequency records of a well-matched bridge, and a live reading
        // that matches them: every point reads VSWR 1 and S21 0 dB.
        for (int n = 0; n < kOpenPortRecord; ++n)
            instrument.memory[n] = {2950, 2950, 2950, 2446};
        instrument.live = [](uint32_t) { return LiveWords{2950, 2950, 2950, 2446}; };
    }

    void StopAfterPasses(int n) {
        window.onPassFinished = [this, n] {
            if (window.passes >= n)
                worker.RequestStop();
        };
    }

    // Stops at the first pause of length d after `armed` becomes true.
    void StopAtPause(Milliseconds d, const bool& armed) {
        clock.SetSleepHook([this, d, &armed](Milliseconds p) {
            if (armed && p == d)
                worker.RequestStop();
        });
    }

    // Pauses recorded after the connection's 500 ms pause (the first one).
    std::vector<Milliseconds> PausesAfterConnect() const {
        std::vector<Milliseconds> all = clock.Pauses();
        if (!all.empty() && all.front() == kBeforeOpenPause)
            all.erase(all.begin());
        return all;
    }

    std::vector<uint16_t> ReadIndices() const {
        std::vector<uint16_t> out;
        for (const auto& c : instrument.Commands(0xA2))
            out.push_back(c.index);
        return out;
    }
};

inline std::vector<Milliseconds> ExpectedChannelPauses(bool smith) {
    std::vector<Milliseconds> out;
    for (int i = 0; i < 200; ++i) {
        if (smith && i % 100 == 0) {
            out.push_back(kSmithSettlePause);
            out.push_back(kSmithSettlePause);
        }
        out.push_back(i % 40 == 0 ? Milliseconds(100) : Milliseconds(10));
    }
    return out;
}

}  // namespace korvel::testing
