// Plays the bench operator for the simulated instrument: when the worker shows
// a calibration prompt, it connects what the prompt asks for (cable, dummy
// load, open port, 0 dBm or -20 dBm source) and then passes the message on;
// after a "finished." message it puts the device under test back (the
// antenna, or the circuit of the instrument's Touchstone file).
#pragma once

#include <optional>
#include <string>

#include "core/worker_window.h"
#include "sim/sim_bench.h"
#include "sim/sim_instrument.h"

namespace korvel {

// The bench a prompt asks for, if any.
std::optional<SimBench> BenchForPrompt(const std::string& text);

class SimBenchOperator final : public WorkerWindow {
  public:
    SimBenchOperator(WorkerWindow& window, SimInstrument& instrument)
        : window_(window), instrument_(instrument) {}

    const SweepSettings& Settings() const override { return window_.Settings(); }
    void BeginScanPass() override { window_.BeginScanPass(); }
    void ScanProgress(int channel, int point) override { window_.ScanProgress(channel, point); }
    void EndScanPass() override { window_.EndScanPass(); }
    void SmithPointChanged() override { window_.SmithPointChanged(); }
    void ShowMessage(const std::string& text) override;
    void PassFinished() override { window_.PassFinished(); }

  private:
    WorkerWindow& window_;
    SimInstrument& instrument_;
};

}  // namespace korvel
