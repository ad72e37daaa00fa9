// korvel: the desktop front-end for the KDX7720C HF antenna analyzer.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "device_choice.h"
#include "korvel_app.h"
#include "no_instrument_transport.h"
#include "parent_console.h"
#include "record/record_target.h"
#include "record/recording_transport.h"

namespace {

// Options of the window system that take a value (the application object
// reads them); ours are read from the rest.
bool IsWindowSystemOptionWithValue(const std::string& arg) {
    for (const char* option : {"-platform", "-display", "-style", "-qwindowgeometry",
                               "-qwindowtitle", "-qwindowicon", "-platformpluginpath"}) {
        if (arg == option) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> ours;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (IsWindowSystemOptionWithValue(arg)) {
            ++i;
            continue;
        }
        ours.push_back(arg);
    }
    const korvel::CommandLine options = korvel::ParseCommandLine(ours);
    if (!options.error.empty() || options.help) {
        korvel::UseParentConsole();
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "korvel: %s\n\n%s", options.error.c_str(),
                     korvel::UsageText().c_str());
        return korvel::kExitUsage;
    }
    if (options.help) {
        std::fputs(korvel::UsageText().c_str(), stdout);
        return 0;
    }
    std::string error;
    if (!options.recordPath.empty()) {
        error = korvel::record::RecordTargetClash(
            options.recordPath, {korvel::record::DeviceInputFile(options.device)});
        if (!error.empty()) {
            korvel::UseParentConsole();
            std::fprintf(stderr, "korvel: --record: %s\n", error.c_str());
            return korvel::kExitUsage;
        }
    }
    std::string startupProblem;
    auto transport = korvel::MakeTransport(options.device, error);
    if (!transport && options.device.kind == korvel::DeviceChoice::Kind::kReplay) {
        // A recording that cannot be replayed is shown in the window, which
        // then starts with no instrument.
        startupProblem = error;
        transport = std::make_unique<korvel::NoInstrumentTransport>();
    }
    if (!transport) {
        korvel::UseParentConsole();
        std::fprintf(stderr, "korvel: %s\n", error.c_str());
        return korvel::kExitUsage;
    }
    if (!options.recordPath.empty()) {
        auto recorder = korvel::MakeRecordingTransport(std::move(transport), options.recordPath,
                                                       "korvel", options.device.text, error);
        if (!recorder) {
            korvel::UseParentConsole();
            std::fprintf(stderr, "korvel: --record: %s\n", error.c_str());
            return korvel::kExitUsage;
        }
        // Said once, the moment it happens: on standard error and in the window.
        recorder->SetFailureReport(korvel::CKORVELApp::ReportProblem);
        transport = std::move(recorder);
    }
    korvel::CKORVELApp app(argc, argv);
    if (!startupProblem.empty()) {
        korvel::CKORVELApp::ShowStartupProblem(startupProblem);
    }
    return app.InitInstance(options, *transport);
}
