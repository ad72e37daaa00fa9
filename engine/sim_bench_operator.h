// Plays the bench operator for the simulated instrument: when the worker shows
// a calibration prompt, it connects what the prompt asks for (cable, dummy
// load, open port, 0 dBm or -20 dBm source) and then passes the message on;
// after a "finished." message it puts the device under test back (the
// antenna, or the circuit of the instrument's Touchstone file).
#pragma once

#include <optional>
#include <string>

#include "sim/sim_bench.h"
#include "sim/sim_instrument.h"
#include "worker_window.h"

namespace korvel {

// The bench a prompt asks for, if any.
std::optional<SimBench> BenchForPrompt(const std::string& text);

class SimBenchOperator final : public WorkerWindow {
  public:
    SimBenchOperator(WorkerWindow& window, SimInstrument& instrument)
        : window_(window), instrument_(instrument) {}

    const DialogSettings& Settings() const override { return window_.Settings(); }
    void BeginScanPass() override { window_.BeginScanPass(); }
    void DrawProgressLine(int y, int xEnd) override { window_.DrawProgressLine(y, xEnd); }
    void EndScanPass() override { window_.EndScanPass(); }
    void InvalidateSmithArea() override { window_.InvalidateSmithArea(); }
    void ShowMessage(const std::string& text) override;
    void PassFinished() override { window_.PassFinished(); }

  private:
    WorkerWindow& window_;
    SimInstrument& instrument_;
};

}  // namespace korvel
