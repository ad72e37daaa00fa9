// Drives a soak of the real worker against the simulated instrument, one
// episode after another: at a random moment of a pass it commits one fault
// (a reply of the wrong length, a time-out, a late reply, an unplug, a second
// instrument, zero or all-ones words, garbage, a corrupted calibration
// record, refused opens) or requests a calibration (sometimes failing it
// half-way), then waits until the worker has come back to a whole clean pass.
// Every hook runs on the worker thread, so the run is deterministic for a
// seed; what goes wrong is collected as violations for the test to report.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "clock.h"
#include "core/measurement_state.h"
#include "core/sweep_settings.h"
#include "link_message_ledger.h"
#include "observed_transport.h"
#include "sim/sim_instrument.h"
#include "soak_figures.h"

namespace korvel::testing {

enum class EpisodeKind {
    ReplyLength,
    Timeout,
    LateInTime,
    LateAbandoned,
    Unplug,
    TwoInstruments,
    ZeroReference,
    AllWordsZero,
    AllWordsOnes,
    Garbage,
    HugeFrame,
    TruncatedReply,
    ZeroReferenceRecords,
    RefusedOpens,
    PinCalibration,
    ZoCalibration,
    BothCalibrations,
    NewSettings,
};

const char* EpisodeName(EpisodeKind kind);

class ChaosDriver {
  public:
    struct Parts {
        SimInstrument& instrument;
        MeasurementState& state;
        SweepSettings& settings;
        ObservedTransport& transport;
        const Clock& clock;
    };

    // `stop` ends the worker; it is called once, from the worker thread.
    ChaosDriver(Parts parts, uint32_t seed, int episodes, std::function<void()> stop);

    // Hooks (worker thread).
    void OnSleep();
    void OnPassBegin();
    void OnPassFinished();
    void OnSmith();
    void OnMessage(const std::string& text);
    void OnFailure(uint8_t command);

    // After the worker has ended: the per-connection message accounting.
    void Finish();

    bool Completed() const { return completed_; }
    const SoakFigures& Figures() const { return figures_; }
    const std::vector<std::string>& Violations() const { return violations_; }

  private:
    enum class Phase { Calm, Unplugged, Calibrating, Recovering, Done };
    // Whether an episode must break the link.
    enum class Breaks { No, Yes, Either };
    static Breaks BreaksLink(EpisodeKind kind);

    void StartCalm();
    void Inject();
    void ArmBreakingFault(uint64_t after);
    void RandomSettings();
    void EnterRecovering(Milliseconds from);
    void EndEpisode();
    void CheckCalibrationPages(const std::string& finishedText);
    void CheckMemoryMatchesShadow(const char* when);
    void CheckState(const char* when);
    void Violation(const std::string& what);
    int Rand(int lo, int hi);
    Milliseconds Now() const { return parts_.clock.Now(); }

    Parts parts_;
    std::mt19937 rng_;
    int target_;
    std::function<void()> stop_;
    SoakFigures figures_;
    std::vector<std::string> violations_;
    bool completed_ = false;
    bool warmingUp_ = true;

    Phase phase_ = Phase::Calm;
    EpisodeKind kind_ = EpisodeKind::NewSettings;
    Breaks breaks_ = Breaks::Either;
    int sleepsLeft_ = 0;
    Milliseconds episodeStart_{0};
    Milliseconds episodeEnd_{0};
    Milliseconds replugAt_{-1};
    Milliseconds firstFailureAt_{-1};
    Milliseconds passBeginAt_{-1};
    int passBeginConnection_ = -1;
    // Calibration episodes.
    bool calFaultPending_ = false;
    uint64_t failuresAtCalStart_ = 0;
    std::vector<CalRecord> savedRecords_;

    LinkMessageLedger ledger_;
};

}  // namespace korvel::testing
