#include "vswr_figures.h"

#include <cmath>
#include <limits>

namespace korvel {

bool IsMeasuredVswr(double vswr) {
    return std::isfinite(vswr) && vswr >= 1.0;
}

std::optional<MismatchFigures> FiguresFromVswr(double vswr) {
    if (!IsMeasuredVswr(vswr)) {
        return std::nullopt;
    }
    MismatchFigures f{};
    f.gammaMag = (vswr - 1.0) / (vswr + 1.0);
    // Written in logarithms of VSWR±1 so that neither loss loses its digits
    // (or overflows) for a VSWR near 1 or a very large one.
    f.returnLossDb = vswr == 1.0 ? std::numeric_limits<double>::infinity()
                                 : 20.0 * (std::log10(vswr + 1.0) - std::log10(vswr - 1.0));
    // 1 - |G|^2 = 4 VSWR / (VSWR+1)^2
    f.mismatchLossDb = 20.0 * std::log10(vswr + 1.0) - 10.0 * std::log10(4.0 * vswr);
    return f;
}

}  // namespace korvel
