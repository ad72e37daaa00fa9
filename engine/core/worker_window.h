// What the sweep worker tells the window, and the settings it reads from it.
// The main dialog implements it (carrying each event to the GUI thread, where
// it decides what to draw); headless tools and tests implement it with plain
// code. Every call comes from the worker thread.
#pragma once

#include <string>

#include "sweep_settings.h"

namespace korvel {

class WorkerWindow {
  public:
    virtual ~WorkerWindow() = default;

    // The settings the worker reads directly (Smith frequency, ranges, enables).
    virtual const SweepSettings& Settings() const = 0;

    // A scan pass begins: the progress of the last one is over.
    virtual void BeginScanPass() {}
    // Range `channel` (1..3) is about to measure sweep point `point` (0..199).
    virtual void ScanProgress(int channel, int point) = 0;
    virtual void EndScanPass() {}

    // A new Smith point is in the shared record.
    virtual void SmithPointChanged() = 0;

    // Modal message with an OK button. Blocks the worker until the user has
    // acknowledged it, or until the window is closing (then it returns at once).
    virtual void ShowMessage(const std::string& text) = 0;

    // A whole scan pass has ended (after EndScanPass).
    virtual void PassFinished() {}
};

}  // namespace korvel
