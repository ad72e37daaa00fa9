// The settings the sweep worker reads while it runs: the Smith frequency, the
// three ranges, their enables and the cable length. The main dialog holds one
// (its data exchange writes it, on the window thread alone); korvel-sweep
// fills one from its options.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

struct SweepSettings {
    std::atomic<uint32_t> m_smithFreqKHz{14270};
    std::atomic<float> m_vswr1StartMHz{6.1f};
    std::atomic<float> m_vswr1StopMHz{7.9f};
    std::atomic<float> m_vswr2StartMHz{13.1f};
    std::atomic<float> m_vswr2StopMHz{14.9f};
    std::atomic<float> m_vswr3StartMHz{20.1f};
    std::atomic<float> m_vswr3StopMHz{21.9f};
    std::atomic<int32_t> m_enableVswr1{1};
    std::atomic<int32_t> m_enableVswr2{1};
    std::atomic<int32_t> m_enableVswr3{1};
    std::atomic<double> m_cableLengthM{0.0};
};

}  // namespace korvel
