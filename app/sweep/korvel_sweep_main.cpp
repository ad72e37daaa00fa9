// korvel-sweep: headless measurement with the same engine as the window.
#include <iostream>
#include <string>
#include <vector>

#include "clock.h"
#include "device_choice.h"
#include "record/record_target.h"
#include "record/recording_transport.h"
#include "sweep_options.h"
#include "sweep_run.h"
#if !defined(_WIN32)
#include "usb_commands.h"
#endif

int main(int argc, char** argv) {
    using namespace korvel::sweep;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseSweepOptions(args);
    if (!parsed.options) {
        std::cerr << "korvel-sweep: " << parsed.error << "\n" << SweepUsage();
        return kExitUsage;
    }
    if (parsed.options->help) {
        std::cout << SweepUsage();
        return kExitOk;
    }
#if !defined(_WIN32)
    if (parsed.options->listDevices)
        return ListUsbDevices(std::cout, std::cerr);
    if (parsed.options->udevRule)
        return PrintUdevRule(parsed.options->udevRuleIds, std::cout, std::cerr);
#endif
    const SweepOptions& options = *parsed.options;
    std::string error;
    if (!options.recordPath.empty()) {
        error = korvel::record::RecordTargetClash(options.recordPath,
                                                  {korvel::record::DeviceInputFile(options.device),
                                                   {options.outputPath, "the --output file"}});
        if (!error.empty()) {
            std::cerr << "korvel-sweep: --record: " << error << "\n";
            return kExitUsage;
        }
    }
    auto transport = korvel::MakeTransport(options.device, error);
    if (!transport) {
        std::cerr << "korvel-sweep: --device: " << error << "\n" << SweepUsage();
        return kExitUsage;
    }
    korvel::RecordingTransport* recording = nullptr;
    if (!options.recordPath.empty()) {
        auto recorder = korvel::MakeRecordingTransport(std::move(transport), options.recordPath,
                                                       "korvel-sweep", options.device.text, error);
        if (!recorder) {
            std::cerr << "korvel-sweep: --record: " << error << "\n";
            return kExitUsage;
        }
        recorder->SetFailureReport([](const std::string& message) {
            std::cerr << "korvel-sweep: --record: " << message << std::endl;
        });
        recording = recorder.get();
        transport = std::move(recorder);
    }
    korvel::SteadyClock clock;
    const int code = RunSweep(options, *transport, clock, std::cout, std::cerr);
    // The results stand, but the recording asked for is incomplete.
    return code == kExitOk && recording != nullptr && recording->WriteFailed() ? kExitOutputFailed
                                                                               : code;
}
