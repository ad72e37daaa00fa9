// The one background thread that talks to the instrument: it waits for the
// instrument, connects, loads the calibration records and then serves the
// window's requests (input-power calibration, 50-ohm calibration, Smith point,
// continuous scan) until it is asked to stop.
#pragma once

#include <cstdint>
#include <limits>
#include <thread>

#include "clock.h"
#include "device_link.h"
#include "device_transport.h"
#include "measurement_state.h"
#include "sweep_plan.h"
#include "worker_context.h"
#include "worker_window.h"

namespace korvel {

inline constexpr int kOpenAttempts = 10;
inline constexpr Milliseconds kNoInstrumentPoll{200};
// With arrivals announced, the list is looked at again only this often (a
// safety net: access granted without a replug, an announcement missed).
inline constexpr Milliseconds kNoInstrumentRecheck{1000};
inline constexpr Milliseconds kBeforeOpenPause{500};
inline constexpr Milliseconds kIdleCyclePause{50};
inline constexpr Milliseconds kSmithSettlePause{100};
inline constexpr Milliseconds kSweepLongPause{100};
inline constexpr Milliseconds kSweepShortPause{10};
inline constexpr double kGammaScaleFactor = 0.97;
inline constexpr float kDefaultPinReading0dBm = 2446.0f;
inline constexpr float kDefaultPinReadingMinus20dBm = 2084.0f;
// Pause before reading point i: 100 ms at every 40th point, 10 ms otherwise.
Milliseconds SweepPointPause(int i);

class SweepWorker {
  public:
    SweepWorker(DeviceTransport& transport, MeasurementState& state, WorkerWindow& window,
                Clock& clock);
    ~SweepWorker();  // RequestStop() + Join()
    SweepWorker(const SweepWorker&) = delete;
    SweepWorker& operator=(const SweepWorker&) = delete;

    void Start();        // runs Run() on a new std::thread
    void RequestStop();  // any thread: raise stop, Interrupt() the transport
    void Join();         // waits for the thread (no-op if not started)
    void Run();          // the thread body; returns after RequestStop()

  private:
    // Forwards to the real window until the worker is stopping, so nothing
    // reaches a window that is being destroyed.
    class GuardedWindow final : public WorkerWindow {
      public:
        GuardedWindow(WorkerWindow& window, const StopSignal& stop)
            : window_(window), stop_(stop) {}
        const SweepSettings& Settings() const override { return window_.Settings(); }
        void BeginScanPass() override;
        void ScanProgress(int channel, int point) override;
        void EndScanPass() override;
        void SmithPointChanged() override;
        void ShowMessage(const std::string& text) override;
        void PassFinished() override;

      private:
        WorkerWindow& window_;
        const StopSignal& stop_;
    };

    struct PointResult {
        // Corrected reflection magnitude, NaN without a usable reply.
        double gamma = std::numeric_limits<double>::quiet_NaN();
        bool s21Fresh = false;   // s21Db was updated by this point
        PointReading reading{};  // what gamma was worked out from
    };

    // How a tune-settle-read step ended.
    enum class Tuned { kStopped, kNoReply, kRead };

    bool ConnectInstrument();
    void WaitForInstrument();
    void ShowTransportNotice();
    void LoadCalibrationRecords();
    void DropConnection();
    void DispatchCycle();
    void ScanPass();
    void SweepChannel(int channel);
    // Tunes the instrument to `freqMHz` (recorded as the current frequency),
    // waits `settle` and reads the detectors at that frequency's record.
    Tuned TuneAndRead(double freqMHz, Milliseconds settle, DetectorReading& reading);
    PointResult MeasurePoint(const DetectorReading& reading);
    void MeasureSmithPoint();
    // Reads the detectors at `index`; true when a reply really arrived.
    bool ReadFresh(uint16_t index, DetectorReading& reading);
    // Updates rfPowerDbm and s21Db from a fresh reading; true when s21Db moved.
    bool UpdatePower(const DetectorReading& reading);

    DeviceTransport& transport_;
    MeasurementState& state_;
    StopSignal stop_;
    GuardedWindow window_;
    DeviceLink link_;
    WorkerContext ctx_;
    // True when the transport wakes the wait for an instrument itself.
    bool arrivalsAnnounced_ = false;
    std::thread thread_;
};

}  // namespace korvel
