#include "chart_scale.h"

#include <cmath>

#include "safe_convert.h"
#include "text_format.h"

namespace korvel {

namespace {

// Enough tenths to walk from 10^5 down past the smallest normal double.
constexpr int kMaxDecadeSteps = 330;

struct Decade {
    double c = 100000;
    int k = 0;
    double n = 0;
    bool found = false;
};

// The largest decade c (from 10^5 down) that fits into d at least once, one
// decade finer when it fits fewer than three times.
Decade DecadeSearch(double d) {
    Decade out;
    if (!(d > 0) || !std::isfinite(d)) {
        return out;
    }
    out.n = std::trunc(d / out.c);
    while (out.n == 0) {
        if (out.k >= kMaxDecadeSteps) {
            return out;
        }
        out.c = out.c / 10;
        out.k = out.k + 1;
        out.n = std::trunc(d / out.c);
    }
    if (out.n < 3) {
        out.c = out.c / 10;
        out.k = out.k + 1;
        out.n = std::trunc(d / out.c);
    }
    out.found = out.c > 0 && std::isfinite(out.n);
    return out;
}

bool TryNiceScale(double lo, double hi, NiceScaleResult& out) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) {
        return false;
    }
    const Decade first = DecadeSearch(hi - lo);
    if (!first.found) {
        return false;
    }
    const double c = first.c;
    const double roundedLo = c * std::trunc(lo / c - 1);
    const double roundedHi = c * (std::trunc(hi / c) + 1);
    const Decade second = DecadeSearch(roundedHi - roundedLo);
    if (!std::isfinite(roundedLo) || !std::isfinite(roundedHi) || !second.found) {
        return false;
    }
    out.lo = roundedLo;
    out.hi = roundedHi;
    out.divisions = std::max<int64_t>(1, TruncToInt64(second.n));
    out.divisionSize = second.c;
    out.exponent = 5 - second.k;
    return true;
}

}  // namespace

void AutoRange(double& lo, double& hi, std::span<const double> samples, int32_t swrScale) {
    const double* first = nullptr;
    for (const double& v : samples) {
        if (std::isfinite(v)) {
            first = &v;
            break;
        }
    }
    if (first == nullptr) {
        return;
    }
    if (lo == kNoRangeLo && hi == kNoRangeHi) {
        lo = hi = *first;
    }
    for (const double v : samples) {
        if (!std::isfinite(v)) {
            continue;
        }
        if (lo > v) {
            lo = hi - (hi - v) * 1.15;
        }
        if (hi < v) {
            hi = lo + (v - lo) * 1.15;
        }
    }
    if (lo == hi) {
        if (lo != 0) {
            const double d = lo * hi * 0.0001;
            lo = lo - d;
            hi = hi + d;
        } else {
            lo = -0.01;
            hi = 0.01;
        }
    }
    if (swrScale == 1) {
        lo = std::trunc(lo) - 1;
        if (lo < 1) {
            lo = 1;
        }
        if (hi - lo < 2) {
            hi = lo + 2;
        }
    } else if (swrScale == 0) {
        if (hi - lo < 6) {
            const double m = (lo + hi) * 0.5;
            hi = m + 3;
            lo = m - 3;
        }
    }
}

NiceScaleResult NiceScale(double lo, double hi) {
    NiceScaleResult out;
    if (!TryNiceScale(lo, hi, out)) {
        TryNiceScale(kNoRangeLo, kNoRangeHi, out);
    }
    return out;
}

int ValueDecimals(int exponent) {
    return exponent < 0 ? -exponent : 0;
}

QString ValueDivisionLabel(double divisionSize, int exponent, const QString& yUnit) {
    const double shown = ToSingle(divisionSize);
    return CFormat("Y:%2.*f", ValueDecimals(exponent), shown) + yUnit + QStringLiteral("/Div");
}

QString ValueLabel(double value, int exponent) {
    return CFormat("%2.*f", ValueDecimals(exponent), static_cast<double>(ToSingle(value)));
}

uint32_t FrequencyInterval(uint32_t span) {
    uint32_t interval = 1;
    double t = span;
    while (t > 40) {
        t = t / 10;
        interval = interval * 10;
    }
    return interval;
}

SiPrefixResult SiPrefix(uint32_t f) {
    static const char* const kPrefixes[] = {"", "K", "M", "G", "T"};
    uint64_t divisor = 1;
    int j = 0;
    if (f != 0) {
        while (f % divisor == 0 && j < 4) {
            divisor = divisor * 1000;
            j = j + 1;
            if (f / divisor == 0) {
                break;
            }
        }
    }
    if (j > 0) {
        divisor = divisor / 1000;
        j = j - 1;
    }
    return SiPrefixResult{divisor, QString::fromLatin1(kPrefixes[j])};
}

QString FrequencyDivisionLabel(uint32_t interval, const QString& xUnit) {
    const SiPrefixResult si = SiPrefix(interval);
    return CFormat("X:%d", static_cast<int>(interval / si.divisor)) + si.prefix + xUnit +
           QStringLiteral("/Div");
}

QString StartFrequencyLabel(uint32_t startFreqHz) {
    return CFormat("%5.3fMHz", startFreqHz / 1000000.0);
}

QString LastSampleLabel(double sample, int32_t decimals, const QString& yUnit) {
    const int places = decimals < 0 ? 0 : (decimals > 30 ? 30 : decimals);
    return CFormat("%6.*f", places, static_cast<double>(ToSingle(sample))) + yUnit;
}

uint32_t MinimumIndex(std::span<const double> samples) {
    float minimum = 10000000.0f;
    uint32_t index = 0;
    for (size_t k = 0; k < samples.size(); ++k) {
        const double v = samples[k];
        if (std::isfinite(v) && v < static_cast<double>(minimum)) {
            minimum = ToSingle(v);
            index = static_cast<uint32_t>(k);
        }
    }
    return index;
}

}  // namespace korvel
