// The Touchstone reader against arbitrary text: it must accept or refuse with
// a message naming the file, leave the output alone when it refuses, and hand
// out only data the simulator can use: increasing frequencies, finite values,
// interpolation that hits the file's own points and stays finite between.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "sim/sim_physics.h"
#include "sim/touchstone.h"
#include "sim/touchstone_bench.h"

namespace {

using namespace korvel::sim;

bool Finite(Complex c) {
    return std::isfinite(c.real()) && std::isfinite(c.imag());
}

bool Finite(const SParameters& s) {
    return Finite(s.s11) && Finite(s.s21) && Finite(s.s12) && Finite(s.s22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks the port count (1, 2, or an unread 3), the rest is the file.
    const int ports = 1 + data[0] % 3;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string name = "fuzz.s1p";
    TouchstoneData out;
    out.freqMHz = {-1};
    std::string error;
    if (!ParseTouchstone(text, ports, name, out, error)) {
        FUZZ_CHECK(error.rfind(name, 0) == 0);
        FUZZ_CHECK(out.freqMHz.size() == 1 && out.freqMHz[0] == -1);
        return 0;
    }
    FUZZ_CHECK(ports != 3);
    FUZZ_CHECK(out.ports == ports);
    FUZZ_CHECK(!out.freqMHz.empty() && out.freqMHz.size() == out.points.size());
    for (std::size_t k = 0; k < out.freqMHz.size(); ++k) {
        FUZZ_CHECK(std::isfinite(out.freqMHz[k]) && out.freqMHz[k] >= 0);
        FUZZ_CHECK(k == 0 || out.freqMHz[k] > out.freqMHz[k - 1]);
        FUZZ_CHECK(Finite(out.points[k]));
        const auto at = out.At(out.freqMHz[k]);
        FUZZ_CHECK(at && at->s11 == out.points[k].s11);
        if (k > 0) {
            const double mid = out.freqMHz[k - 1] + (out.freqMHz[k] - out.freqMHz[k - 1]) / 2;
            // Anywhere inside the file's range there is a value.
            FUZZ_CHECK(out.At(mid).has_value());
        }
    }
    FUZZ_CHECK(!out.At(std::nan("")));
    FUZZ_CHECK(!out.At(std::nextafter(out.freqMHz.front(), -1.0)));
    // Whatever the file says, the instrument's words stay finite.
    for (const double f : {out.freqMHz.front(), out.freqMHz.back(), 14.0, 200.0}) {
        const PortSignals s = TouchstoneSignals(out, f);
        const AnalogWords w = DetectorOutputs(s.gamma, s.inputDbm, f);
        FUZZ_CHECK(std::isfinite(w.amp) && std::isfinite(w.phase) && std::isfinite(w.power));
    }
    (void)TouchstoneRangeNotice(name, out);
    return 0;
}
