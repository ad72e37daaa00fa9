// The figures of one soak run, printed at its end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "clock.h"

namespace korvel::testing {

struct SoakFigures {
    uint64_t episodes = 0;
    uint64_t faultsInjected = 0;
    uint64_t failureEpisodes = 0;    // episodes in which the link broke
    uint64_t failedConnections = 0;  // connections ended by a failed transfer
    uint64_t passesCompleted = 0;
    uint64_t linkErrorMessages = 0;
    uint64_t otherMessages = 0;  // calibration prompts and finishing messages
    uint64_t calibrations = 0;
    uint64_t transfers = 0;
    std::vector<Milliseconds> reconnectTimes;
    std::vector<Milliseconds> recoveryTimes;  // to the next whole clean pass

    static Milliseconds Median(std::vector<Milliseconds> v) {
        if (v.empty()) {
            return Milliseconds(0);
        }
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    static Milliseconds Worst(const std::vector<Milliseconds>& v) {
        return v.empty() ? Milliseconds(0) : *std::max_element(v.begin(), v.end());
    }

    std::string Summary(const char* name, const char* timeBase) const {
        char text[640];
        std::snprintf(text, sizeof text,
                      "%s: %llu episodes, %llu faults injected, %llu episodes with link failures "
                      "(%llu connections failed), %llu passes "
                      "completed, %llu transfers, %llu link-error messages, %llu other messages, "
                      "%llu calibrations; reconnect median %lld ms, worst %lld ms; recovery to a "
                      "clean pass median %lld ms, worst %lld ms (%s)",
                      name, static_cast<unsigned long long>(episodes),
                      static_cast<unsigned long long>(faultsInjected),
                      static_cast<unsigned long long>(failureEpisodes),
                      static_cast<unsigned long long>(failedConnections),
                      static_cast<unsigned long long>(passesCompleted),
                      static_cast<unsigned long long>(transfers),
                      static_cast<unsigned long long>(linkErrorMessages),
                      static_cast<unsigned long long>(otherMessages),
                      static_cast<unsigned long long>(calibrations),
                      static_cast<long long>(Median(reconnectTimes).count()),
                      static_cast<long long>(Worst(reconnectTimes).count()),
                      static_cast<long long>(Median(recoveryTimes).count()),
                      static_cast<long long>(Worst(recoveryTimes).count()), timeBase);
        return text;
    }
};

}  // namespace korvel::testing
