#include "chaos_driver.h"

#include <algorithm>
#include <numeric>

#include "core/calibration.h"
#include "core/sweep_worker.h"
#include "state_invariants.h"

namespace korvel::testing {

namespace {

// A nominal pass with every channel ticked and the Smith point measured:
// 3 channels of 2.45 s of pauses and 7 Smith points of 200 ms.
constexpr Milliseconds kNominalPass{3 * 2450 + 7 * 200};
// Late replies that still come in time: at most three of 900 ms per episode.
constexpr int kLateInTimeReplies = 3;
constexpr int kLateInTimeMaxMs = 900;
// From the end of an episode to the end of a whole clean pass: the rest of
// the pass under way (slowed by late replies), the reconnection (500 ms, a
// count poll, a few time-outs and refused opens) and one whole pass.
constexpr Milliseconds kRecoveryBound =
    2 * kNominalPass + Milliseconds(kLateInTimeReplies * kLateInTimeMaxMs) + Milliseconds(3000);
// A 50-ohm calibration takes about 346 s of pauses.
constexpr Milliseconds kCalibrationLimit{600000};
constexpr std::size_t kViolationLimit = 50;
constexpr int kReplyLengths[] = {0, 1, 17, 19, 2000};
constexpr int kPinCalTransfers = 2 * kPinReadsPerLevel + kPagesPerBlock;
constexpr int kZoCalTransfers = 4 * kZoPoints + kZoBlocks * kPagesPerBlock;

struct KindWeight {
    EpisodeKind kind;
    int weight;
};

constexpr KindWeight kWeights[] = {
    {EpisodeKind::ReplyLength, 10},
    {EpisodeKind::Timeout, 5},
    {EpisodeKind::LateInTime, 4},
    {EpisodeKind::LateAbandoned, 4},
    {EpisodeKind::Unplug, 10},
    {EpisodeKind::TwoInstruments, 4},
    {EpisodeKind::ZeroReference, 5},
    {EpisodeKind::AllWordsZero, 5},
    {EpisodeKind::AllWordsOnes, 5},
    {EpisodeKind::Garbage, 5},
    {EpisodeKind::HugeFrame, 3},
    {EpisodeKind::TruncatedReply, 3},
    {EpisodeKind::ZeroReferenceRecords, 3},
    {EpisodeKind::RefusedOpens, 3},
    {EpisodeKind::PinCalibration, 4},
    {EpisodeKind::ZoCalibration, 2},
    {EpisodeKind::BothCalibrations, 1},
    {EpisodeKind::NewSettings, 4},
};

bool SameRecord(const CalRecord& a, const CalRecord& b) {
    return a.amp == b.amp && a.ref == b.ref && a.phase == b.phase && a.power == b.power;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

ChaosDriver::Breaks ChaosDriver::BreaksLink(EpisodeKind kind) {
    switch (kind) {
        case EpisodeKind::LateInTime:
        case EpisodeKind::ZeroReference:
        case EpisodeKind::AllWordsZero:
        case EpisodeKind::AllWordsOnes:
        case EpisodeKind::NewSettings:
        case EpisodeKind::PinCalibration:  // unless a fault is armed inside it
        case EpisodeKind::ZoCalibration:
        case EpisodeKind::BothCalibrations:
            return Breaks::No;
        case EpisodeKind::Garbage:  // random bytes may have the right length
            return Breaks::Either;
        default:
            return Breaks::Yes;
    }
}

const char* EpisodeName(EpisodeKind kind) {
    switch (kind) {
        case EpisodeKind::ReplyLength:
            return "wrong reply length";
        case EpisodeKind::Timeout:
            return "time-out";
        case EpisodeKind::LateInTime:
            return "late reply in time";
        case EpisodeKind::LateAbandoned:
            return "late reply abandoned";
        case EpisodeKind::Unplug:
            return "unplug and re-plug";
        case EpisodeKind::TwoInstruments:
            return "two instruments";
        case EpisodeKind::ZeroReference:
            return "reference word 0";
        case EpisodeKind::AllWordsZero:
            return "every word 0";
        case EpisodeKind::AllWordsOnes:
            return "every word 0xFFFF";
        case EpisodeKind::Garbage:
            return "garbage reply";
        case EpisodeKind::HugeFrame:
            return "65535-byte reply";
        case EpisodeKind::TruncatedReply:
            return "reply that never completes";
        case EpisodeKind::ZeroReferenceRecords:
            return "records 767/768 erased";
        case EpisodeKind::RefusedOpens:
            return "refused opens";
        case EpisodeKind::PinCalibration:
            return "input-power calibration";
        case EpisodeKind::ZoCalibration:
            return "50-ohm calibration";
        case EpisodeKind::BothCalibrations:
            return "both calibrations";
        case EpisodeKind::NewSettings:
            return "new settings";
    }
    return "?";
}

ChaosDriver::ChaosDriver(Parts parts, uint32_t seed, int episodes, std::function<void()> stop)
    : parts_(parts), rng_(seed), target_(std::max(1, episodes)), stop_(std::move(stop)) {
    // The first episode starts once the worker has made one clean pass.
    phase_ = Phase::Recovering;
    episodeEnd_ = Milliseconds(0);
    kind_ = EpisodeKind::NewSettings;
}

int ChaosDriver::Rand(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng_);
}

void ChaosDriver::Violation(const std::string& what) {
    if (violations_.size() < kViolationLimit) {
        violations_.push_back("episode " + std::to_string(figures_.episodes) + " (" +
                              EpisodeName(kind_) + ", t=" + std::to_string(Now().count()) +
                              " ms): " + what);
    }
}

void ChaosDriver::CheckState(const char* when) {
    const std::string bad = CheckMeasurementState(parts_.state);
    if (!bad.empty()) {
        Violation(std::string(when) + ": " + bad);
    }
}

// ---- Hooks ----

void ChaosDriver::OnSleep() {
    if (phase_ == Phase::Done) {
        return;
    }
    CheckState("during a pause");
    switch (phase_) {
        case Phase::Calm:
            if (--sleepsLeft_ <= 0) {
                Inject();
            }
            break;
        case Phase::Unplugged:
            if (--sleepsLeft_ <= 0) {
                parts_.instrument.Replug();
                replugAt_ = Now();
                EnterRecovering(Now());
            }
            break;
        case Phase::Calibrating: {
            const bool pin = parts_.state.pinCalRequest.load(kRelaxed) != 0;
            const bool zo = parts_.state.zoCalRequest.load(kRelaxed) != 0;
            if (!pin && !zo) {
                EnterRecovering(episodeEnd_);  // episodeEnd_: the last finishing message
            } else if (Now() - episodeStart_ > kCalibrationLimit) {
                Violation("the calibration did not end");
                phase_ = Phase::Done;
                stop_();
            }
            break;
        }
        case Phase::Recovering:
            if (Now() - episodeEnd_ > kRecoveryBound + kNominalPass) {
                Violation("no whole clean pass within " +
                          std::to_string((kRecoveryBound + kNominalPass).count()) +
                          " ms: the worker did not recover");
                phase_ = Phase::Done;
                stop_();
            }
            break;
        case Phase::Done:
            break;
    }
}

void ChaosDriver::OnPassBegin() {
    passBeginAt_ = Now();
    passBeginConnection_ = parts_.transport.Connection();
}

void ChaosDriver::OnPassFinished() {
    if (phase_ == Phase::Done) {
        return;
    }
    ++figures_.passesCompleted;
    CheckState("after a pass");
    const int connection = parts_.transport.Connection();
    const bool clean = phase_ == Phase::Recovering && passBeginAt_ >= episodeEnd_ &&
                       passBeginConnection_ == connection &&
                       parts_.transport.FailuresInConnection() == 0 &&
                       parts_.state.linkUp.load(kRelaxed) == 1;
    if (clean) {
        EndEpisode();
    }
}

void ChaosDriver::OnSmith() {
    CheckState("after a Smith point");
}

void ChaosDriver::OnFailure(uint8_t command) {
    ledger_.OnFailure(parts_.transport.Connection(), command);
    if (firstFailureAt_ < Milliseconds(0)) {
        firstFailureAt_ = Now();
    }
}

void ChaosDriver::OnMessage(const std::string& text) {
    if (LinkMessageLedger::IsLinkError(text)) {
        ++figures_.linkErrorMessages;
        const std::string wrong = ledger_.OnLinkMessage(parts_.transport.Connection(), text);
        if (!wrong.empty()) {
            Violation(wrong);
        }
        return;
    }
    ++figures_.otherMessages;
    if (phase_ != Phase::Calibrating) {
        Violation("unexpected message \"" + text + "\"");
        return;
    }
    if (text == kPinPrompt0dBm || text == kZoPromptCable) {
        // A calibration begins: start its page log, maybe fail it half-way.
        parts_.transport.TakePagesSent();
        failuresAtCalStart_ = parts_.transport.FailedTransfers();
        if (calFaultPending_) {
            calFaultPending_ = false;
            const int span = text == kPinPrompt0dBm ? kPinCalTransfers : kZoCalTransfers;
            ArmBreakingFault(static_cast<uint64_t>(Rand(0, span - 1)));
            breaks_ = Breaks::Yes;
            ++figures_.faultsInjected;
        }
    } else if (Contains(text, "finished.")) {
        ++figures_.calibrations;
        parts_.instrument.ClearFaults();  // a fault not yet due must not spill over
        CheckCalibrationPages(text);
        episodeEnd_ = Now();
    }
}

// ---- Episodes ----

void ChaosDriver::StartCalm() {
    phase_ = Phase::Calm;
    // Anywhere within the next pass or so (a pass has about 620 pauses).
    sleepsLeft_ = Rand(1, 700);
}

void ChaosDriver::ArmBreakingFault(uint64_t after) {
    SimFault fault;
    fault.after = after;
    switch (Rand(0, 3)) {
        case 0:
            fault.kind = SimFaultKind::ReplyLength;
            fault.value = kReplyLengths[Rand(0, 4)];
            break;
        case 1:
            fault.kind = SimFaultKind::NoReply;
            break;
        case 2:
            fault.kind = SimFaultKind::LateReply;
            fault.value = 1500;
            break;
        default:
            fault.kind = SimFaultKind::HugeFrame;
            break;
    }
    parts_.instrument.ArmFault(fault);
}

void ChaosDriver::RandomSettings() {
    SweepSettings& s = parts_.settings;
    s.m_smithFreqKHz.store(static_cast<uint32_t>(Rand(1000, 50000)), kRelaxed);
    std::atomic<float>* limits[] = {&s.m_vswr1StartMHz, &s.m_vswr1StopMHz,  &s.m_vswr2StartMHz,
                                    &s.m_vswr2StopMHz,  &s.m_vswr3StartMHz, &s.m_vswr3StopMHz};
    for (std::atomic<float>* limit : limits) {
        // Any accepted entry, a stop below its start included.
        limit->store(static_cast<float>(Rand(1000, 60000)) / 1000.0f, kRelaxed);
    }
    for (std::atomic<int32_t>* enable : {&s.m_enableVswr1, &s.m_enableVswr2, &s.m_enableVswr3}) {
        enable->store(Rand(0, 4) == 0 ? 0 : 1, kRelaxed);
    }
}

void ChaosDriver::Inject() {
    int total = 0;
    for (const KindWeight& k : kWeights) {
        total += k.weight;
    }
    int pick = Rand(0, total - 1);
    for (const KindWeight& k : kWeights) {
        if (pick < k.weight) {
            kind_ = k.kind;
            break;
        }
        pick -= k.weight;
    }
    episodeStart_ = Now();
    firstFailureAt_ = Milliseconds(-1);
    replugAt_ = Milliseconds(-1);
    ++figures_.faultsInjected;
    SimInstrument& sim = parts_.instrument;
    SimFault fault;
    breaks_ = BreaksLink(kind_);
    switch (kind_) {
        case EpisodeKind::ReplyLength:
            fault.kind = SimFaultKind::ReplyLength;
            fault.value = kReplyLengths[Rand(0, 4)];
            break;
        case EpisodeKind::Timeout:
            fault.kind = SimFaultKind::NoReply;
            break;
        case EpisodeKind::LateInTime:
            fault.kind = SimFaultKind::LateReply;
            fault.value = Rand(1, kLateInTimeMaxMs);
            fault.count = kLateInTimeReplies;
            break;
        case EpisodeKind::LateAbandoned:
            fault.kind = SimFaultKind::LateReply;
            fault.value = Rand(1001, 5000);
            break;
        case EpisodeKind::ZeroReference:
            fault.kind = SimFaultKind::ZeroReference;
            fault.count = 5;
            break;
        case EpisodeKind::AllWordsZero:
            fault.kind = SimFaultKind::AllWordsZero;
            fault.count = 3;
            break;
        case EpisodeKind::AllWordsOnes:
            fault.kind = SimFaultKind::AllWordsOnes;
            fault.count = 3;
            break;
        case EpisodeKind::Garbage:
            fault.kind = SimFaultKind::Garbage;
            fault.count = Rand(1, 3);
            break;
        case EpisodeKind::HugeFrame:
            fault.kind = SimFaultKind::HugeFrame;
            break;
        case EpisodeKind::TruncatedReply:
            fault.kind = SimFaultKind::TruncatedFrame;
            fault.value = Rand(0, 17);
            break;
        case EpisodeKind::RefusedOpens:
            sim.FailNextOpens(Rand(1, 14));
            fault.kind = SimFaultKind::NoReply;
            break;
        case EpisodeKind::Unplug:
        case EpisodeKind::TwoInstruments:
        case EpisodeKind::ZeroReferenceRecords:
            if (kind_ == EpisodeKind::TwoInstruments) {
                sim.SetInstrumentCount(2);
            }
            if (kind_ == EpisodeKind::ZeroReferenceRecords) {
                // An instrument whose open-port record has no reference and
                // whose input-power record was never written.
                savedRecords_ = {sim.Record(kOpenPortRecord), sim.Record(kInputPowerRecord)};
                CalRecord open = savedRecords_[0];
                open.ref = 0;
                const CalRecord erased{0, 0, 0, 0};
                sim.SetRecord(kOpenPortRecord, open);
                sim.SetRecord(kInputPowerRecord, erased);
                parts_.transport.SetShadowRecord(kOpenPortRecord, open);
                parts_.transport.SetShadowRecord(kInputPowerRecord, erased);
            }
            sim.Unplug();
            phase_ = Phase::Unplugged;
            sleepsLeft_ = Rand(0, 60);
            return;
        case EpisodeKind::PinCalibration:
        case EpisodeKind::ZoCalibration:
        case EpisodeKind::BothCalibrations:
            calFaultPending_ = Rand(0, 1) == 1;
            if (!calFaultPending_) {
                --figures_.faultsInjected;
            }
            if (kind_ != EpisodeKind::ZoCalibration) {
                parts_.state.pinCalRequest.store(1, kRelaxed);
            }
            if (kind_ != EpisodeKind::PinCalibration) {
                parts_.state.zoCalRequest.store(1, kRelaxed);
            }
            phase_ = Phase::Calibrating;
            return;
        case EpisodeKind::NewSettings:
            --figures_.faultsInjected;
            RandomSettings();
            EnterRecovering(Now());
            return;
    }
    sim.ArmFault(fault);
    EnterRecovering(Now());
}

void ChaosDriver::EnterRecovering(Milliseconds from) {
    phase_ = Phase::Recovering;
    episodeEnd_ = from;
}

void ChaosDriver::EndEpisode() {
    const Milliseconds now = Now();
    const bool failed = firstFailureAt_ >= Milliseconds(0);
    if (!warmingUp_ && breaks_ != Breaks::Either && failed != (breaks_ == Breaks::Yes)) {
        Violation(failed ? "the link failed where no failure was due"
                         : "the fault did not fail the link");
    }
    if (warmingUp_) {
        warmingUp_ = false;  // the first clean pass only starts the run
    } else {
        figures_.recoveryTimes.push_back(now - episodeEnd_);
        if (now - episodeEnd_ > kRecoveryBound) {
            Violation("the first whole clean pass ended " +
                      std::to_string((now - episodeEnd_).count()) + " ms after the episode");
        }
        if (failed) {
            ++figures_.failureEpisodes;
            // From the moment the instrument could be reached again: the failure
            // itself, the re-plug, or the end of a calibration that failed
            // half-way and walked on through its remaining points.
            const Milliseconds from = std::max(firstFailureAt_, episodeEnd_);
            const Milliseconds reloaded = parts_.transport.ReloadedAt();
            if (reloaded < from) {
                Violation("records 767/768 were not reloaded after the failure");
            } else {
                figures_.reconnectTimes.push_back(reloaded - from);
            }
        }
        if (kind_ == EpisodeKind::ZeroReferenceRecords) {
            // Unusable records count as no scaling and no input-power calibration.
            if (parts_.state.gammaScale.load(kRelaxed) != 1.0) {
                Violation("gammaScale from a record without reference is " +
                          std::to_string(parts_.state.gammaScale.load(kRelaxed)));
            }
            if (parts_.state.pinReading0dBm.load(kRelaxed) != kDefaultPinReading0dBm ||
                parts_.state.pinReadingMinus20dBm.load(kRelaxed) != kDefaultPinReadingMinus20dBm) {
                Violation("an erased record 768 did not give the default power readings");
            }
            parts_.instrument.SetRecord(kOpenPortRecord, savedRecords_[0]);
            parts_.instrument.SetRecord(kInputPowerRecord, savedRecords_[1]);
            parts_.transport.SetShadowRecord(kOpenPortRecord, savedRecords_[0]);
            parts_.transport.SetShadowRecord(kInputPowerRecord, savedRecords_[1]);
        }
        ++figures_.episodes;
    }
    parts_.instrument.ClearFaults();
    parts_.instrument.SetInstrumentCount(1);
    if (static_cast<int>(figures_.episodes) >= target_) {
        CheckMemoryMatchesShadow("at the end of the run");
        completed_ = true;
        phase_ = Phase::Done;
        stop_();
        return;
    }
    kind_ = EpisodeKind::NewSettings;
    StartCalm();
}

// ---- Calibration memory ----

void ChaosDriver::CheckCalibrationPages(const std::string& finishedText) {
    const bool pin = finishedText == kPinFinished;
    const bool failed = parts_.transport.FailedTransfers() != failuresAtCalStart_;
    const std::vector<int> pages = parts_.transport.TakePagesSent();
    // Pages as block * 32 + page: block 6 for the input power, blocks 0..5
    // for the 50-ohm records, always in order.
    std::vector<int> due(pin ? kPagesPerBlock : kZoBlocks * kPagesPerBlock);
    std::iota(due.begin(), due.end(), pin ? kPinBlock * kPagesPerBlock : 0);
    const bool prefix =
        pages.size() <= due.size() && std::equal(pages.begin(), pages.end(), due.begin());
    if (!prefix) {
        Violation(std::string(pin ? "input-power" : "50-ohm") +
                  " calibration wrote pages out of order or beyond its own");
    } else if (!failed && pages.size() != due.size()) {
        Violation("a calibration without failure wrote " + std::to_string(pages.size()) + " of " +
                  std::to_string(due.size()) + " pages");
    }
    CheckMemoryMatchesShadow(pin ? "after an input-power calibration"
                                 : "after a 50-ohm calibration");
}

void ChaosDriver::CheckMemoryMatchesShadow(const char* when) {
    const std::vector<CalRecord>& shadow = parts_.transport.Shadow();
    for (int n = 0; n < ObservedTransport::kShadowRecords; ++n) {
        if (!SameRecord(parts_.instrument.Record(n), shadow[n])) {
            Violation(std::string(when) + ": calibration record " + std::to_string(n) +
                      " holds data that no page write sent");
            return;
        }
    }
}

// ---- End of run ----

void ChaosDriver::Finish() {
    for (const std::string& v : ledger_.Verify(parts_.transport.Connection())) {
        Violation(v);
    }
    figures_.failedConnections = ledger_.FailedConnections();
    figures_.transfers = parts_.transport.Transfers();
    for (const std::string& v : parts_.transport.Violations()) {
        Violation(v);
    }
}

}  // namespace korvel::testing
