#include "korvel_app.h"

#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <memory>

#include "about_dlg.h"
#include "app_title.h"
#include "korvel_dlg.h"
#include "record/recording_transport.h"
#include "sim/sim_bench_operator.h"
#include "sim/sim_transport.h"

namespace korvel {

CKORVELApp::CKORVELApp(int& argc, char** argv) : QApplication(argc, argv) {
#ifdef Q_OS_WIN
    constexpr bool kWindows = true;
#else
    constexpr bool kWindows = false;
#endif
    // The title of the program's own message boxes.
    setApplicationName(TitleForExecutable(applicationFilePath(), kWindows));
    // Wayland desktops find the menu entry and its icon by this name.
    setDesktopFileName(QStringLiteral(KORVEL_APP_ID));
    // Numbers in texts always use '.' whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
}

void CKORVELApp::ShowStartupProblem(const std::string& text) {
    QMessageBox::warning(nullptr, ApplicationTitle(), QString::fromStdString(text));
}

void CKORVELApp::ReportProblem(const std::string& text) {
    std::fprintf(stderr, "korvel: %s\n", text.c_str());
    std::fflush(stderr);
    QMetaObject::invokeMethod(
        qApp, [text] { ShowStartupProblem(text); }, Qt::QueuedConnection);
}

int CKORVELApp::InitInstance(const CommandLine& options, DeviceTransport& transport) {
    MeasurementState state;
    SteadyClock clock;
    DialogOptions dialogOptions;
    dialogOptions.enableCalibration = options.enableCalibration;
    dialogOptions.device = options.device.text;
    if (auto* sim = dynamic_cast<SimTransport*>(&Unrecorded(transport))) {
        // The simulated bench follows what the calibration prompts ask for.
        dialogOptions.wrapWorkerWindow = [sim](WorkerWindow& window) {
            return std::make_unique<SimBenchOperator>(window, sim->Instrument());
        };
    }
    CKORVELDlg dialog(state, transport, clock, std::move(dialogOptions));
    QObject::connect(&dialog, &CKORVELDlg::aboutRequested, &dialog, [&dialog] {
        CAboutDlg about(&dialog);
        about.exec();
    });
    dialog.exec();
    return 0;
}

}  // namespace korvel
