// What the sweep worker needs from the window. The main dialog implements it
// (carrying each call to the GUI thread); headless tools and tests implement
// it with plain code. Every call comes from the worker thread.
#pragma once

#include <string>

#include "dialog_settings.h"

namespace korvel {

class WorkerWindow {
public:
    virtual ~WorkerWindow() = default;

    // The settings the worker reads directly (Smith frequency, ranges, enables).
    virtual const DialogSettings& Settings() const = 0;

    // A scan pass takes the window's drawing context for its progress lines.
    virtual void BeginScanPass() {}
    // Red 3-pixel progress line from (430, y) to (xEnd, y) of the client area.
    virtual void DrawProgressLine(int y, int xEnd) = 0;
    virtual void EndScanPass() {}

    // Repaint the Smith area (0, 0)-(430, 440) without erasing.
    virtual void InvalidateSmithArea() = 0;

    // Modal message with an OK button. Blocks the worker until the user has
    // acknowledged it, or until the window is closing (then it returns at once).
    virtual void ShowMessage(const std::string& text) = 0;

    // A whole scan pass has ended (after EndScanPass).
    virtual void PassFinished() {}
};

}  // namespace korvel
