#include "chart_inputs.h"

#include <cstring>

namespace korvel {

namespace {

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace

bool operator==(const ChartInputs& a, const ChartInputs& b) {
    if (!(a.fields == b.fields) || !SameBits(a.held, b.held)) {
        return false;
    }
    for (int i = 0; i < kChartCurves; ++i) {
        if (!SameBits(a.samples[i], b.samples[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace korvel
