#include "sweep_run.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "console_window.h"
#include "core/measurement_state.h"
#include "core/sweep_worker.h"
#include "export/atomic_file.h"
#include "export/result_table.h"
#include "export/touchstone_writer.h"
#include "record/traffic_reader.h"

namespace korvel::sweep {
namespace {

// How often the main thread looks at the link while it waits for passes.
constexpr std::chrono::milliseconds kLinkCheck{100};

void ApplySettings(const SweepOptions& o, SweepSettings& s) {
    s.m_smithFreqKHz = o.smithKHz;
    s.m_cableLengthM = o.cableM;
    s.m_vswr1StartMHz = o.ranges[0].startMHz;
    s.m_vswr1StopMHz = o.ranges[0].stopMHz;
    s.m_vswr2StartMHz = o.ranges[1].startMHz;
    s.m_vswr2StopMHz = o.ranges[1].stopMHz;
    s.m_vswr3StartMHz = o.ranges[2].startMHz;
    s.m_vswr3StopMHz = o.ranges[2].stopMHz;
    s.m_enableVswr1 = o.enabled[0] ? 1 : 0;
    s.m_enableVswr2 = o.enabled[1] ? 1 : 0;
    s.m_enableVswr3 = o.enabled[2] ? 1 : 0;
}

// The whole output, so that a file receives it in one piece.
std::string ResultText(const SweepOptions& options, const MeasurementState& state,
                       const SweepSettings& settings) {
    ResultHeader header;  // no time: a run and its replay print the same bytes
    // A replay names the recorded instrument, so that it prints the same
    // bytes as the run it replays.
    header.device = MeasuredDevice(options.device);
    header.cablePort = options.cablePort;
    ResultTable table = SnapshotResults(state, settings, header);
    table.summary = options.summary;
    if (options.onlyRange != 0) {
        std::erase_if(table.ranges,
                      [&](const RangeResult& r) { return r.range != options.onlyRange; });
    }
    std::ostringstream text;
    if (options.format == OutputFormat::S1p) {
        WriteTouchstoneS1p(text, table, options.onlyRange);
    } else if (options.format == OutputFormat::Json) {
        WriteResultJson(text, table);
    } else {
        WriteResultCsv(text, table);
    }
    return text.str();
}

}  // namespace

int RunSweep(const SweepOptions& options, DeviceTransport& transport, Clock& clock,
             std::ostream& out, std::ostream& err) {
    MeasurementState state;
    state.scanRequest = 1;
    ConsoleWindow window(err);
    ApplySettings(options, window.MutableSettings());
    SweepWorker worker(transport, state, window, clock);
    // Stop from the worker thread itself, so it starts nothing after the last pass.
    window.SetPassHook([&](int count) {
        if (count >= options.passes)
            worker.RequestStop();
    });

    const auto timeout = std::chrono::duration<double, std::milli>(options.timeoutS * 1000.0);
    bool everConnected = false;
    auto lastLink = clock.Now();
    bool timedOut = false;
    worker.Start();
    while (window.WaitForPasses(options.passes, kLinkCheck) < options.passes) {
        const auto now = clock.Now();
        if (state.linkUp.load(kRelaxed) == 1) {
            everConnected = true;
            lastLink = now;
        } else if (now - lastLink > timeout) {
            timedOut = true;
            break;
        }
    }
    worker.RequestStop();
    worker.Join();

    if (timedOut) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", options.timeoutS);
        err << "korvel-sweep: "
            << (everConnected ? "the instrument link has been down for more than "
                              : "no instrument found within ")
            << seconds << " s" << std::endl;
        return kExitNoInstrument;
    }
    const std::string text = ResultText(options, state, window.Settings());
    if (!options.outputPath.empty()) {
        const std::string failure = WriteFileAtomically(options.outputPath, text);
        if (!failure.empty()) {
            err << "korvel-sweep: --output: " << failure << std::endl;
            return kExitOutputFailed;
        }
        return kExitOk;
    }
    out << text;
    out.flush();
    if (!out) {
        err << "korvel-sweep: the results could not be written" << std::endl;
        return kExitOutputFailed;
    }
    return kExitOk;
}

}  // namespace korvel::sweep
