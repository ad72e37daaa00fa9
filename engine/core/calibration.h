// The two guided calibrations that store reference measurements in the
// instrument's own memory. Both run on the worker thread, end with their
// request cleared, linkUp 0 and the device closed, so that the worker
// reconnects and reloads records 767 and 768.
#pragma once

#include <cstdint>

#include "worker_context.h"

namespace korvel {

inline constexpr char kPinPrompt0dBm[] =
    "Please input 15MHz 0dBm signal to the Input Port,and click OK to countinue...";
inline constexpr char kPinPromptMinus20dBm[] =
    "Please input 15MHz -20dBm signal to the Input Port,and click OK to countinue...";
inline constexpr char kPinFinished[] = "Pin Calibration finished.";
inline constexpr char kZoPromptCable[] =
    "Please link the Input Port and the Output Port by a 50ohm cable,and click OK to "
    "countinue...";
inline constexpr char kZoPromptDummyLoad[] =
    "Please link a 50ohm RF dummy load to the Input Port,and click OK to countinue...";
inline constexpr char kZoPromptOpenPort[] =
    "Please let the Output Port open,and click OK to countinue...";
inline constexpr char kZoFinished[] = "Zo Calibration finished.";

inline constexpr uint16_t kPinMarkerAmp = 3000;
inline constexpr uint16_t kPinMarkerPhase = 2600;
inline constexpr uint8_t kPinBlock = 6;
inline constexpr int kPinReadsPerLevel = 100;
inline constexpr int kZoBlocks = 6;
inline constexpr int kZoPoints = 768;
inline constexpr Milliseconds kCalSettlePause{500};
inline constexpr Milliseconds kCalPointPause{200};

// A mean detector reading rounded to a 16-bit word (x + 0.5 truncated),
// limited to 0..65535 and 0 for NaN.
uint16_t RoundReadingToWord(float mean);

// Both return early, leaving the request flags as they are, when the worker
// is stopping; the worker then closes the device itself.
void RunPinCalibration(WorkerContext& ctx);
void RunZoCalibration(WorkerContext& ctx);

}  // namespace korvel
