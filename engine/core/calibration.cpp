#include "calibration.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace korvel {
namespace {

// The procedure's end: the fresh records are read back only at the next
// connection, so the link is dropped on purpose.
void FinishCalibration(WorkerContext& ctx, const char* message, std::atomic<int32_t>& request) {
    ctx.window.ShowMessage(message);
    request.store(0, kRelaxed);
    ctx.state.linkUp.store(0, kRelaxed);
    ctx.link.CloseDevice();
}

// Mean of 100 back-to-back power readings at index 0, summed in single
// precision. Returns false when the worker is stopping.
bool MeanInputPower(WorkerContext& ctx, DetectorReading& reading, float& mean) {
    float sum = 0.0f;
    for (int k = 0; k < kPinReadsPerLevel; ++k) {
        if (ctx.Stopping())
            return false;
        ctx.link.ReadDetectors(0, reading);
        sum += reading.livePower;
    }
    mean = sum / kPinReadsPerLevel;
    return true;
}

// Tunes the generator to n / 20 + 1 MHz, lets it settle and reads the live
// words. Returns false when the worker is stopping.
bool MeasureCalPoint(WorkerContext& ctx, int n, DetectorReading& reading) {
    const double f = n / 20.0 + 1.0;
    ctx.state.currentFreqMHz.store(f, kRelaxed);
    ctx.link.SetFrequency(TuningWord(f));
    if (!ctx.Sleep(kCalPointPause))
        return false;
    ctx.link.ReadDetectors(0, reading);
    return !ctx.Stopping();
}

bool ShowPrompt(WorkerContext& ctx, const char* text) {
    ctx.window.ShowMessage(text);
    return !ctx.Stopping();
}

}  // namespace

uint16_t RoundReadingToWord(float mean) {
    const float r = mean + 0.5f;
    if (!(r >= 0.0f))
        return 0;  // also NaN
    if (r >= 65535.0f)
        return 65535;
    return static_cast<uint16_t>(r);
}

void RunPinCalibration(WorkerContext& ctx) {
    // One reading for the whole procedure: after a failed transfer it keeps
    // the words of the last good one.
    DetectorReading reading;
    float mean0 = 0.0f;
    float mean20 = 0.0f;
    if (!ShowPrompt(ctx, kPinPrompt0dBm) || !ctx.Sleep(kCalSettlePause))
        return;
    if (!MeanInputPower(ctx, reading, mean0))
        return;
    if (!ShowPrompt(ctx, kPinPromptMinus20dBm) || !ctx.Sleep(kCalSettlePause))
        return;
    if (!MeanInputPower(ctx, reading, mean20))
        return;

    const CalRecord record{kPinMarkerAmp, RoundReadingToWord(mean0), kPinMarkerPhase,
                           RoundReadingToWord(mean20)};
    std::array<uint8_t, 32> page{};  // bytes 8 to 31 are never read back
    PackCalRecord(record, page.data());
    for (int p = 0; p < kPagesPerBlock; ++p) {
        if (ctx.LinkUp())
            ctx.link.WriteCalPage(kPinBlock, static_cast<uint8_t>(p), page.data());
        if (!ctx.Sleep(kCalPointPause))
            return;
    }
    FinishCalibration(ctx, kPinFinished, ctx.state.pinCalRequest);
}

void RunZoCalibration(WorkerContext& ctx) {
    DetectorReading reading;
    if (!ShowPrompt(ctx, kZoPromptCable))
        return;

    // Power that arrives through the cable, per calibration index.
    std::vector<uint16_t> throughPower(kZoPoints, 0);
    for (int n = 0; n < kZoPoints; ++n) {
        if (!MeasureCalPoint(ctx, n, reading))
            return;
        throughPower[n] = reading.livePower;
    }

    if (!ShowPrompt(ctx, kZoPromptDummyLoad))
        return;
    std::array<uint8_t, 32> page{};
    for (int block = 0; block < kZoBlocks; ++block) {
        for (int p = 0; p < kPagesPerBlock; ++p) {
            for (int slot = 0; slot < 4; ++slot) {
                const int n = (block * kPagesPerBlock + p) * kRecordsPerPage + slot;
                if (n == kOpenPortRecord && !ShowPrompt(ctx, kZoPromptOpenPort))
                    return;
                if (!MeasureCalPoint(ctx, n, reading))
                    return;
                const CalRecord record{reading.liveAmp, reading.liveRef, reading.livePhase,
                                       throughPower[n]};
                PackCalRecord(record, page.data() + 8 * slot);
            }
            if (ctx.LinkUp()) {
                ctx.link.WriteCalPage(static_cast<uint8_t>(block), static_cast<uint8_t>(p),
                                      page.data());
            }
            if (!ctx.Sleep(kCalPointPause))
                return;
        }
    }
    FinishCalibration(ctx, kZoFinished, ctx.state.zoCalRequest);
}

}  // namespace korvel
