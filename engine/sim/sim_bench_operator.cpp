#include "sim_bench_operator.h"

namespace korvel {

std::optional<SimBench> BenchForPrompt(const std::string& text) {
    auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
    if (has("50ohm cable"))
        return SimBench::ThroughCable;
    if (has("50ohm RF dummy load"))
        return SimBench::DummyLoad;
    if (has("Output Port open"))
        return SimBench::OpenPort;
    // "-20dBm signal" also contains "0dBm signal": test it first.
    if (has("-20dBm signal"))
        return SimBench::SourceMinus20dBm;
    if (has("0dBm signal"))
        return SimBench::Source0dBm;
    return std::nullopt;
}

void SimBenchOperator::ShowMessage(const std::string& text) {
    if (const auto bench = BenchForPrompt(text))
        instrument_.SetBench(*bench);
    window_.ShowMessage(text);
    if (text.find("finished.") != std::string::npos)
        instrument_.SetBench(instrument_.DeviceUnderTest());
}

}  // namespace korvel
