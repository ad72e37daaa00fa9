#include "export/touchstone_writer.h"

#include <algorithm>

#include "export/json_text.h"

namespace korvel {
namespace {

// A comment is one line: line breaks in a device name would end it.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, ' ');
    return text;
}

}  // namespace

bool WriteTouchstoneS1p(std::ostream& out, const ResultTable& table, int range) {
    const auto r = std::find_if(table.ranges.begin(), table.ranges.end(),
                                [range](const RangeResult& x) { return x.range == range; });
    if (r == table.ranges.end())
        return false;
    const ResultHeader& h = table.header;
    std::size_t written = 0;
    for (const auto& g : r->gamma)
        written += g.has_value();
    out << "! " << OneLine(h.program) << ' ' << OneLine(h.version) << '\n';
    if (h.time)
        out << "! time " << OneLine(*h.time) << '\n';
    out << "! device " << OneLine(h.device) << '\n'
        << "! range " << r->range << ": " << FormatNumber(r->startMHz) << " to "
        << FormatNumber(r->stopMHz) << " MHz, " << written << " of " << r->freqMHz.size()
        << " points (" << r->unsettled << " with an unsettled phase sign left out)\n";
    if (h.cablePort)
        out << "! at the far end of " << FormatNumber(h.cableM)
            << " m of 50 ohm cable, velocity factor 0.67\n";
    out << "# MHz S RI R 50\n";
    for (std::size_t i = 0; i < r->gamma.size() && i < r->freqMHz.size(); ++i) {
        if (r->gamma[i]) {
            out << FormatNumber(r->freqMHz[i]) << ' ' << FormatNumber(r->gamma[i]->real()) << ' '
                << FormatNumber(r->gamma[i]->imag()) << '\n';
        }
    }
    return true;
}

}  // namespace korvel
