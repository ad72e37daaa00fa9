#include "sweep_worker.h"

#include <algorithm>
#include <cmath>

#include "calibration.h"
#include "measurement_math.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace korvel {
namespace {

struct ChannelPlan {
    const std::atomic<int32_t>& enable;
    const std::atomic<float>& start;
    const std::atomic<float>& stop;
    PointArray& points;
};

ChannelPlan PlanOf(int channel, const SweepSettings& s, MeasurementState& state) {
    switch (channel) {
        case 1:
            return {s.m_enableVswr1, s.m_vswr1StartMHz, s.m_vswr1StopMHz, state.vswr1Points};
        case 2:
            return {s.m_enableVswr2, s.m_vswr2StartMHz, s.m_vswr2StopMHz, state.vswr2Points};
        default:
            return {s.m_enableVswr3, s.m_vswr3StartMHz, s.m_vswr3StopMHz, state.vswr3Points};
    }
}

// Magnitude and angle of one detector pair as the Smith measurement uses them.
struct SmithVector {
    double m = 0.0;
    double q = 0.0;
};

SmithVector SmithPair(uint16_t amp, uint16_t ref, uint16_t phase, double gammaScale) {
    return {std::min(1.0, DetectorRatio(amp, ref) / gammaScale),
            -(DetectorPhase(phase, ref) + kPi)};
}

bool ReferencesUsable(const DetectorReading& r) {
    return r.liveRef != 0 && r.calRef != 0;
}

}  // namespace

Milliseconds SweepPointPause(int i) {
    return i % 40 == 0 ? kSweepLongPause : kSweepShortPause;
}

// ---- GuardedWindow ----

void SweepWorker::GuardedWindow::BeginScanPass() {
    if (!stop_.IsRaised())
        window_.BeginScanPass();
}
void SweepWorker::GuardedWindow::ScanProgress(int channel, int point) {
    if (!stop_.IsRaised())
        window_.ScanProgress(channel, point);
}
void SweepWorker::GuardedWindow::EndScanPass() {
    if (!stop_.IsRaised())
        window_.EndScanPass();
}
void SweepWorker::GuardedWindow::SmithPointChanged() {
    if (!stop_.IsRaised())
        window_.SmithPointChanged();
}
void SweepWorker::GuardedWindow::ShowMessage(const std::string& text) {
    if (!stop_.IsRaised())
        window_.ShowMessage(text);
}
void SweepWorker::GuardedWindow::PassFinished() {
    if (!stop_.IsRaised())
        window_.PassFinished();
}

// ---- Thread control ----

SweepWorker::SweepWorker(DeviceTransport& transport, MeasurementState& state, WorkerWindow& window,
                         Clock& clock)
    : transport_(transport),
      state_(state),
      window_(window, stop_),
      link_(transport, state, window_),
      ctx_{link_, state_, window_, clock, stop_} {
    arrivalsAnnounced_ = transport_.WatchArrivals([this] { stop_.Nudge(); });
}

SweepWorker::~SweepWorker() {
    RequestStop();
    Join();
    if (arrivalsAnnounced_)
        transport_.WatchArrivals({});
}

void SweepWorker::Start() {
    if (thread_.joinable() || stop_.IsRaised())
        return;
    thread_ = std::thread([this] {
#if defined(__linux__)
        // The default 50 us timer slack adds up over the 614 pauses of a pass;
        // the worker sleeps nearly all the time, so its wake-ups cost nothing.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        prctl(PR_SET_NAME, "sweep-worker", 0UL, 0UL, 0UL);
#endif
        Run();
    });
}

void SweepWorker::RequestStop() {
    stop_.Raise();
    transport_.Interrupt();
}

void SweepWorker::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void SweepWorker::Run() {
    while (!ctx_.Stopping()) {
        if (!ConnectInstrument())
            continue;
        while (!ctx_.Stopping() && ctx_.LinkUp())
            DispatchCycle();
        DropConnection();
    }
    DropConnection();
}

// ---- Connection ----

bool SweepWorker::ConnectInstrument() {
    const int present = link_.CountDevices();
    ShowTransportNotice();
    if (present == 0) {
        state_.linkUp.store(0, kRelaxed);
        WaitForInstrument();
        return false;
    }
    if (!ctx_.Sleep(kBeforeOpenPause))
        return false;
    bool opened = false;
    for (int attempt = 0; attempt < kOpenAttempts && !opened && !ctx_.Stopping(); ++attempt) {
        opened = link_.OpenDevice();
    }
    if (!opened) {
        ShowTransportNotice();
        return false;
    }
    state_.linkUp.store(1, kRelaxed);
    LoadCalibrationRecords();
    if (!ctx_.LinkUp()) {
        DropConnection();
        return false;
    }
    return true;
}

void SweepWorker::WaitForInstrument() {
    // The instrument is looked for again after a pause, not in a spin; where
    // arrivals are announced, an arrival ends the pause at once.
    if (arrivalsAnnounced_)
        ctx_.clock.WaitForArrival(kNoInstrumentRecheck, stop_);
    else
        ctx_.Sleep(kNoInstrumentPoll);
}

void SweepWorker::ShowTransportNotice() {
    const std::string notice = transport_.TakeNotice();
    if (!notice.empty())
        window_.ShowMessage(notice);
}

void SweepWorker::LoadCalibrationRecords() {
    DetectorReading open;
    if (!ReadFresh(kOpenPortRecord, open))
        return;
    const double scale = kGammaScaleFactor * DetectorRatio(open.calAmp, open.calRef);
    // A record without a usable reference would make every magnitude
    // non-finite; it counts as no scaling at all.
    state_.gammaScale.store(std::isfinite(scale) && scale > 0.0 ? scale : 1.0, kRelaxed);

    DetectorReading pin;
    if (!ReadFresh(kInputPowerRecord, pin))
        return;
    float p0 = kDefaultPinReading0dBm;
    float p20 = kDefaultPinReadingMinus20dBm;
    // Equal readings would give a flat curve that maps nothing; treat them as
    // never calibrated.
    if (pin.calAmp == kPinMarkerAmp && pin.calPhase == kPinMarkerPhase &&
        pin.calRef != pin.calPower) {
        p0 = pin.calRef;
        p20 = pin.calPower;
    }
    state_.pinReading0dBm.store(p0, kRelaxed);
    state_.pinReadingMinus20dBm.store(p20, kRelaxed);
    state_.pinSlope.store(static_cast<float>((p0 - p20) / 315.0), kRelaxed);
    BuildPowerCurve(state_);
}

void SweepWorker::DropConnection() {
    if (link_.IsOpen())
        link_.CloseDevice();
    state_.linkUp.store(0, kRelaxed);
}

// ---- Dispatch ----

void SweepWorker::DispatchCycle() {
    bool busy = false;
    if (state_.pinCalRequest.load(kRelaxed) == 1) {
        RunPinCalibration(ctx_);
        busy = true;
    }
    if (ctx_.Stopping())
        return;
    if (state_.zoCalRequest.load(kRelaxed) == 1 && ctx_.LinkUp()) {
        RunZoCalibration(ctx_);
        busy = true;
    }
    if (ctx_.Stopping())
        return;
    if (state_.smithRequest.load(kRelaxed) == 1 && ctx_.LinkUp()) {
        MeasureSmithPoint();
        busy = true;
    }
    if (ctx_.Stopping())
        return;
    if (state_.scanRequest.load(kRelaxed) == 1) {
        if (!ctx_.LinkUp())
            return;  // the caller drops the link and reconnects
        ScanPass();
        busy = true;
    }
    // Nothing requested: rest instead of spinning until a command arrives.
    if (!busy)
        ctx_.Sleep(kIdleCyclePause);
}

void SweepWorker::ScanPass() {
    window_.BeginScanPass();
    for (int channel = 1; channel <= 3 && !ctx_.Stopping(); ++channel)
        SweepChannel(channel);
    window_.EndScanPass();
    window_.PassFinished();
}

void SweepWorker::SweepChannel(int channel) {
    const ChannelPlan plan = PlanOf(channel, window_.Settings(), state_);
    // S21 is averaged over the last four points of this pass.
    double ring[4] = {0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < static_cast<int>(kSweepPoints); ++i) {
        if (plan.enable.load(kRelaxed) != 1 || ctx_.Stopping())
            return;
        if (state_.smithRequest.load(kRelaxed) == 1 && i % 100 == 0) {
            MeasureSmithPoint();
            if (ctx_.Stopping())
                return;
        }
        window_.ScanProgress(channel, i);
        const double f = SweepPointFreqMHz(plan.start.load(kRelaxed), plan.stop.load(kRelaxed), i);
        DetectorReading reading;
        const Tuned tuned = TuneAndRead(f, SweepPointPause(i), reading);
        if (tuned == Tuned::kStopped)
            return;
        const PointResult point = tuned == Tuned::kRead ? MeasurePoint(reading) : PointResult{};
        // A point without a usable reply keeps its previous value.
        if (std::isfinite(point.gamma)) {
            plan.points[i].store(VswrFromGammaSweep(point.gamma), kRelaxed);
            state_.reflections.Store(channel, i, point.reading);
        }
        if (channel == 3 && point.s21Fresh) {
            ring[i % 4] = state_.s21Db.load(kRelaxed);
            const int used = i + 1 < 4 ? i + 1 : 4;
            double sum = 0.0;
            for (int k = 0; k < used; ++k)
                sum += ring[k];
            state_.s21Points[i].store(sum / used, kRelaxed);
        }
    }
}

// ---- Measurements ----

bool SweepWorker::ReadFresh(uint16_t index, DetectorReading& reading) {
    if (!ctx_.LinkUp())
        return false;
    link_.ReadDetectors(index, reading);
    return ctx_.LinkUp();
}

bool SweepWorker::UpdatePower(const DetectorReading& r) {
    const float live = ReadingToDbm(static_cast<float>(r.livePower), state_);
    if (!std::isfinite(live))
        return false;
    state_.rfPowerDbm.store(live, kRelaxed);
    const float stored = ReadingToDbm(static_cast<float>(r.calPower), state_);
    if (!std::isfinite(stored))
        return false;
    // Both readings are single precision, and so is their difference.
    state_.s21Db.store(static_cast<double>(live - stored), kRelaxed);
    return true;
}

SweepWorker::Tuned SweepWorker::TuneAndRead(double freqMHz, Milliseconds settle,
                                            DetectorReading& reading) {
    state_.currentFreqMHz.store(freqMHz, kRelaxed);
    link_.SetFrequency(TuningWord(freqMHz));
    if (!ctx_.Sleep(settle))
        return Tuned::kStopped;
    return ReadFresh(CalibrationIndex(freqMHz), reading) ? Tuned::kRead : Tuned::kNoReply;
}

SweepWorker::PointResult SweepWorker::MeasurePoint(const DetectorReading& r) {
    PointResult result;
    result.s21Fresh = UpdatePower(r);
    if (!ReferencesUsable(r))
        return result;
    const double scale = state_.gammaScale.load(kRelaxed);
    const double a1 = DetectorRatio(r.liveAmp, r.liveRef) / scale;
    const double p1 = DetectorPhase(r.livePhase, r.liveRef);
    const double a2 = DetectorRatio(r.calAmp, r.calRef) / scale;
    const double p2 = DetectorPhase(r.calPhase, r.calRef);
    result.gamma = DifferenceMagnitude(a1, p1, a2, p2);
    result.reading = {static_cast<float>(a1), static_cast<float>(std::fabs(p1)),
                      static_cast<float>(a2), static_cast<float>(std::fabs(p2))};
    return result;
}

void SweepWorker::MeasureSmithPoint() {
    const uint32_t kHz = window_.Settings().m_smithFreqKHz.load(kRelaxed);
    const double scale = state_.gammaScale.load(kRelaxed);

    // 1.1 times the Smith frequency first: it settles the phase signs.
    DetectorReading a;
    const Tuned first = TuneAndRead(kHz * 1.1 / 1000.0, kSmithSettlePause, a);
    if (first == Tuned::kStopped)
        return;
    if (first == Tuned::kRead)
        UpdatePower(a);

    DetectorReading b;
    const Tuned second = TuneAndRead(kHz / 1000.0, kSmithSettlePause, b);
    if (second == Tuned::kStopped)
        return;

    // Without two usable replies the previous Smith point stays on screen.
    if (first != Tuned::kRead || second != Tuned::kRead || !ReferencesUsable(a) ||
        !ReferencesUsable(b))
        return;
    const SmithVector liveA = SmithPair(a.liveAmp, a.liveRef, a.livePhase, scale);
    const SmithVector storedA = SmithPair(a.calAmp, a.calRef, a.calPhase, scale);
    SmithVector liveB = SmithPair(b.liveAmp, b.liveRef, b.livePhase, scale);
    SmithVector storedB = SmithPair(b.calAmp, b.calRef, b.calPhase, scale);

    if (SignTest(storedB.m, storedB.q) > SignTest(storedA.m, storedA.q))
        storedB.q = -storedB.q;
    if (SignTest(liveB.m, liveB.q) > SignTest(liveA.m, liveA.q))
        liveB.q = -liveB.q;

    const double re = liveB.m * std::cos(liveB.q) - storedB.m * std::cos(storedB.q);
    const double im = liveB.m * std::sin(liveB.q) - storedB.m * std::sin(storedB.q);
    const double mag = std::sqrt(re * re + im * im);
    const double angle = ReflectionAngle(re, im);
    const Impedance z = ImpedanceFromGamma(mag, angle);
    const double zMag = std::sqrt(z.r * z.r + z.x * z.x);
    if (!std::isfinite(mag) || !std::isfinite(angle) || !std::isfinite(zMag))
        return;

    state_.smithGammaMag.store(mag, kRelaxed);
    state_.smithGammaAngle.store(angle, kRelaxed);
    state_.smithVswr.store(VswrFromGammaSmith(mag), kRelaxed);
    state_.smithR.store(z.r, kRelaxed);
    state_.smithX.store(z.x, kRelaxed);
    state_.smithGammaShown.store(mag, kRelaxed);
    state_.smithZMag.store(zMag, kRelaxed);
    window_.SmithPointChanged();
}

}  // namespace korvel
