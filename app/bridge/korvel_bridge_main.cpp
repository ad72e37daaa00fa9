// korvel-bridge: a local instrument served on a socket, so that korvel can
// reach it from another place (through an SSH tunnel) or another process.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../stop_on_signal.h"

#include "bridge/bridge_server.h"
#include "bridge/instrument_thread.h"
#include "bridge/listen_policy.h"
#include "bridge_command_line.h"
#include "clock.h"
#include "device_choice.h"
#include "record/record_target.h"
#include "record/recording_transport.h"

namespace {

// How often a missing instrument is looked for.
constexpr korvel::Milliseconds kInstrumentPoll{500};
constexpr int kExitUsage = 64;
constexpr int kExitRecordFailed = 74;

void PrintLine(FILE* stream, const std::string& line) {
    std::fprintf(stream, "korvel-bridge: %s\n", line.c_str());
    std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
    namespace bridge = korvel::bridge;
    const std::vector<std::string> args(argv + 1, argv + argc);
    bridge::BridgeCommandLine options;
    std::string error;
    if (!bridge::ParseBridgeCommandLine(args, options, error)) {
        std::fprintf(stderr, "korvel-bridge: %s\n%s", error.c_str(), bridge::BridgeUsage().c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(bridge::BridgeUsage().c_str(), stdout);
        return 0;
    }
    if (!options.recordPath.empty()) {
        error = korvel::record::RecordTargetClash(
            options.recordPath, {korvel::record::DeviceInputFile(options.device)});
        if (!error.empty()) {
            std::fprintf(stderr, "korvel-bridge: --record: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    std::unique_ptr<korvel::DeviceTransport> transport =
        korvel::MakeTransport(options.device, error);
    if (!transport) {
        std::fprintf(stderr, "korvel-bridge: --device: %s\n", error.c_str());
        return kExitUsage;
    }
    // The file is made only once the bridge listens.
    korvel::RecordingTransport* recording = nullptr;
    if (!options.recordPath.empty()) {
        auto recorder = korvel::PrepareRecordingTransport(
            std::move(transport), options.recordPath, "korvel-bridge", options.device.text, error);
        if (!recorder) {
            std::fprintf(stderr, "korvel-bridge: --record: %s\n", error.c_str());
            return kExitUsage;
        }
        recorder->SetFailureReport(
            [](const std::string& message) { PrintLine(stderr, "--record: " + message); });
        recording = recorder.get();
        transport = std::move(recorder);
    }
    if (options.allowRemote && !bridge::IsLocalOnly(options.listen, error)) {
        PrintLine(stderr, bridge::RemoteListenWarning(options.listen));
    }

    korvel::SteadyClock clock;
    bridge::InstrumentThread instrument(std::move(transport), clock, kInstrumentPoll);
    bridge::BridgeOptions serving;
    serving.allowCalibrationWrites = options.allowCalibrationWrites;
    bridge::BridgeServer server(
        instrument, serving, [](const std::string& line) { PrintLine(stderr, line); },
        [](const std::string& line) { PrintLine(stdout, line); });
    const korvel::StopOnSignal stopOnSignal([&server] { server.Stop(); });
    if (!server.Listen(options.listen, error)) {
        std::fprintf(stderr, "korvel-bridge: cannot listen on %s: %s\n",
                     options.listen.ToString().c_str(), error.c_str());
        return kExitUsage;
    }
    if (recording != nullptr && !recording->Start(error)) {
        std::fprintf(stderr, "korvel-bridge: --record: %s\n", error.c_str());
        return kExitUsage;
    }
    const bool served = server.Serve();
    if (!served) {
        return 1;
    }
    // Served to the end, but the recording asked for is incomplete.
    return recording != nullptr && recording->WriteFailed() ? kExitRecordFailed : 0;
}
