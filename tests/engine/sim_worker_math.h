// The program's own reading of detector words, written out independently so
// the simulated instrument can be checked against it.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>

#include "clock.h"
#include "core/device_link.h"
#include "recording_window.h"
#include "sim/sim_transport.h"

namespace korvel::testing {

inline double DetectorRatioOf(int amp, int ref) {
    return std::pow(10.0, -1.5 * (2 * amp - ref) / static_cast<double>(ref));
}

inline double DetectorPhaseOf(int phase, int ref) {
    return 1.570795 * (2 * phase - ref) / static_cast<double>(ref) - 1.570795;
}

inline double SweepVswr(double m) {
    return m >= 1 ? 10.0 : std::min(10.0, std::abs((1 + m) / (1 - m)));
}

// A link to a simulated instrument, opened and up, with the program's
// calibration scale loaded from record 767.
struct SimBenchRig {
    explicit SimBenchRig(uint32_t seed = 1)
        : instrument(std::make_shared<SimInstrument>(seed)),
          transport(instrument),
          window(&state),
          link(transport, state, window) {
        transport.OpenDevice();
        state.linkUp.store(1, kRelaxed);
        DetectorReading r;
        link.ReadDetectors(kOpenPortRecord, r);
        gammaScale = 0.97 * DetectorRatioOf(r.calAmp, r.calRef);
    }

    DetectorReading Read(double freqMHz) {
        link.SetFrequency(TuningWord(freqMHz));
        DetectorReading r;
        link.ReadDetectors(CalibrationIndex(freqMHz), r);
        return r;
    }

    // The sweep's corrected reflection magnitude at f.
    double CorrectedGamma(double freqMHz) {
        const DetectorReading r = Read(freqMHz);
        const auto live = std::polar(DetectorRatioOf(r.liveAmp, r.liveRef) / gammaScale,
                                     DetectorPhaseOf(r.livePhase, r.liveRef));
        const auto stored = std::polar(DetectorRatioOf(r.calAmp, r.calRef) / gammaScale,
                                       DetectorPhaseOf(r.calPhase, r.calRef));
        return std::abs(live - stored);
    }

    double Vswr(double freqMHz) { return SweepVswr(CorrectedGamma(freqMHz)); }

    std::shared_ptr<SimInstrument> instrument;
    SimTransport transport;
    MeasurementState state;
    RecordingWindow window;
    DeviceLink link;
    double gammaScale = 0;
};

}  // namespace korvel::testing
