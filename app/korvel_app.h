// The application object: prepares the window system, runs the main window
// modally on the chosen instrument and ends when the window closes.
#pragma once

#include <QApplication>
#include <string>

#include "command_line.h"
#include "device_transport.h"

namespace korvel {

class CKORVELApp : public QApplication {
    Q_OBJECT

  public:
    CKORVELApp(int& argc, char** argv);

    // Runs the main window on `transport` until it closes; returns the
    // process exit code.
    int InitInstance(const CommandLine& options, DeviceTransport& transport);

    // A problem found before the window opens (such as a recording that
    // cannot be replayed), in a message box the user dismisses.
    static void ShowStartupProblem(const std::string& text);
    // A problem that arises while the window runs, from any thread: on
    // standard error at once, and in a message box on the window's thread.
    static void ReportProblem(const std::string& text);
};

}  // namespace korvel
