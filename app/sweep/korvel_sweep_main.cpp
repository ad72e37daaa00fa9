// korvel-sweep: headless measurement with the same engine as the window.
#include <iostream>
#include <string>
#include <vector>

#include "clock.h"
#include "device_choice.h"
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
    std::string error;
    auto transport = korvel::MakeTransport(parsed.options->device, error);
    if (!transport) {
        std::cerr << "korvel-sweep: --device: " << error << "\n" << SweepUsage();
        return kExitUsage;
    }
    if (!parsed.options->recordPath.empty()) {
        transport =
            korvel::MakeRecordingTransport(std::move(transport), parsed.options->recordPath,
                                           "korvel-sweep", parsed.options->device.text, error);
        if (!transport) {
            std::cerr << "korvel-sweep: --record: " << error << "\n";
            return kExitUsage;
        }
    }
    korvel::SteadyClock clock;
    return RunSweep(*parsed.options, *transport, clock, std::cout, std::cerr);
}
