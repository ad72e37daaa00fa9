#include "sim_instrument.h"

#include <algorithm>
#include <cmath>

#include "sim_physics.h"
#include "touchstone_bench.h"
#include "wire_words.h"

namespace korvel {

namespace {

// Pin record markers.
constexpr uint16_t kPinAmpMarker = 3000;
constexpr uint16_t kPinPhaseMarker = 2600;

// ADC noise, in counts (one standard deviation).
constexpr double kAmpNoise = 0.6;
constexpr double kPhaseNoise = 0.6;
constexpr double kRefNoise = 0.4;
constexpr double kPowerNoise = 0.7;

constexpr CalRecord kErasedRecord{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};

uint16_t RoundWord(double value, double max) {
    if (!(value > 0)) {
        return 0;
    }
    return static_cast<uint16_t>(std::lround(std::min(value, std::min(max, 65535.0))));
}

double RecordFreqMHz(int n) {
    return 1.0 + n / 20.0;
}

}  // namespace

SimInstrument::SimInstrument(uint32_t noiseSeed) : rng_(noiseSeed), memory_(kRecordCount) {
    LoadFactoryCalibration();
}

CalRecord SimInstrument::FactoryRecord(int n) const {
    using namespace sim;
    if (n == kInputPowerRecord) {
        return CalRecord{kPinAmpMarker, RoundWord(kPowerReading0dBm, kAdcFullScale),
                         kPinPhaseMarker, RoundWord(kPowerReadingMinus20dBm, kAdcFullScale)};
    }
    const double f = RecordFreqMHz(n);
    // The factory averages many readings, so its records carry no noise.
    const AnalogWords r =
        n == kOpenPortRecord ? FactoryOpenPortOutputs() : DetectorOutputs(SimBench::DummyLoad, f);
    const AnalogWords through = DetectorOutputs(SimBench::ThroughCable, f);
    return CalRecord{RoundWord(r.amp, r.ref), RoundWord(r.ref, kAdcFullScale),
                     RoundWord(r.phase, r.ref), RoundWord(through.power, kAdcFullScale)};
}

void SimInstrument::LoadFactoryCalibration() {
    std::vector<CalRecord> fresh(kRecordCount);
    for (int n = 0; n < kRecordCount; ++n) {
        fresh[n] = FactoryRecord(n);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    memory_ = std::move(fresh);
}

uint16_t SimInstrument::NoisyWord(double value, double sigma, double max) {
    return RoundWord(value + sigma * noiseScale_ * gauss_(rng_), max);
}

SimReply SimInstrument::Transact(const uint8_t* command, int length) {
    std::lock_guard<std::mutex> lock(mutex_);
    SimReply reply = Answer(command, length);
    if (!reply.answered) {
        return reply;
    }
    if (const SimFault* fault = faults_.Next()) {
        ApplyFault(*fault, command[1], reply);
    }
    return reply;
}

SimReply SimInstrument::Answer(const uint8_t* command, int length) {
    SimReply reply;
    if (command == nullptr || length < 2 || command[0] != kCommandLead) {
        ++counters_.rejected;
        reply.answered = false;
        return reply;
    }
    const uint8_t op = command[1];
    if (op == kSetFrequencyCommand && length == kSetFrequencyLength) {
        tunedMHz_ = TunedFreqMHz(DecodeTuningWord(command));
        ++counters_.tunes;
        reply.bytes = {kCommandLead, kSetFrequencyCommand};
        return reply;
    }
    if (op == kReadDetectorsCommand && length == kReadDetectorsLength) {
        const int index = DecodeCalibrationIndex(command);
        const sim::AnalogWords live = LiveOutputs();
        const uint16_t ref = NoisyWord(live.ref, kRefNoise, sim::kAdcFullScale);
        const CalRecord stored = index < kRecordCount ? memory_[index] : kErasedRecord;
        // The amp and phase outputs span 0..ref, whatever ref the ADC saw.
        const double scale = ref / live.ref;
        const DetectorReading reading{NoisyWord(live.amp * scale, kAmpNoise, ref),
                                      ref,
                                      NoisyWord(live.phase * scale, kPhaseNoise, ref),
                                      NoisyWord(live.power, kPowerNoise, sim::kAdcFullScale),
                                      stored.amp,
                                      stored.ref,
                                      stored.phase,
                                      stored.power};
        reply.bytes.assign(kDetectorReplyLength, 0);
        EncodeDetectorReply(reading, reply.bytes.data());
        ++counters_.reads;
        return reply;
    }
    if (op == kWriteCalPageCommand && length == kWriteCalPageLength) {
        const int block = command[2];
        const int page = command[3];
        const int first = block * kRecordsPerBlock + page * kRecordsPerPage;
        if (page < kPagesPerBlock && first + kRecordsPerPage <= kRecordCount) {
            for (int slot = 0; slot < kRecordsPerPage; ++slot) {
                memory_[first + slot] = UnpackCalRecord(command + 4 + 8 * slot);
            }
            ++counters_.pageWrites;
            if (pageWrites_.size() < kPageWriteLogLimit) {
                pageWrites_.push_back(
                    SimPageWrite{static_cast<uint8_t>(block), static_cast<uint8_t>(page)});
            }
        } else {
            ++counters_.ignoredPageWrites;
        }
        reply.bytes = {kCommandLead, kWriteCalPageCommand};
        return reply;
    }
    ++counters_.rejected;
    reply.answered = false;
    return reply;
}

sim::AnalogWords SimInstrument::LiveOutputs() const {
    if (bench_ == SimBench::TouchstoneFile && touchstone_) {
        const sim::PortSignals s = sim::TouchstoneSignals(*touchstone_, tunedMHz_);
        return sim::DetectorOutputs(s.gamma, s.inputDbm, tunedMHz_);
    }
    return sim::DetectorOutputs(bench_, tunedMHz_);
}

void SimInstrument::ApplyFault(const SimFault& fault, uint8_t command, SimReply& reply) {
    // A reply must still fit one stream frame.
    const int value = std::clamp(fault.value, 0, 65535);
    switch (fault.kind) {
        case SimFaultKind::ReplyLength:
            reply.bytes.resize(static_cast<std::size_t>(value), 0);
            break;
        case SimFaultKind::NoReply:
            reply.answered = false;
            reply.bytes.clear();
            break;
        case SimFaultKind::LateReply:
            reply.delayMs = value;
            break;
        case SimFaultKind::ZeroReference:
            if (command == kReadDetectorsCommand && reply.bytes.size() >= 6) {
                WriteWord(reply.bytes.data() + 4, 0);
            }
            break;
        case SimFaultKind::AllWordsZero:
            std::fill(reply.bytes.begin(), reply.bytes.end(), 0x00);
            break;
        case SimFaultKind::AllWordsOnes:
            std::fill(reply.bytes.begin(), reply.bytes.end(), 0xFF);
            break;
        case SimFaultKind::Garbage: {
            std::uniform_int_distribution<int> size(1, 64);
            std::uniform_int_distribution<int> byte(0, 255);
            reply.bytes.resize(static_cast<std::size_t>(value > 0 ? value : size(rng_)));
            for (uint8_t& b : reply.bytes) {
                b = static_cast<uint8_t>(byte(rng_));
            }
            break;
        }
        case SimFaultKind::HugeFrame:
            reply.bytes.assign(65535, 0xA5);
            break;
        case SimFaultKind::TruncatedFrame: {
            const int whole = static_cast<int>(reply.bytes.size());
            reply.announcedLength = whole;
            reply.bytes.resize(
                static_cast<std::size_t>(std::clamp(value, 0, std::max(0, whole - 1))));
            break;
        }
    }
}

void SimInstrument::SetBench(SimBench bench) {
    std::lock_guard<std::mutex> lock(mutex_);
    bench_ = bench;
}

SimBench SimInstrument::Bench() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bench_;
}

void SimInstrument::SetTouchstone(std::shared_ptr<const sim::TouchstoneData> file) {
    std::lock_guard<std::mutex> lock(mutex_);
    touchstone_ = std::move(file);
    bench_ = touchstone_ ? SimBench::TouchstoneFile : SimBench::Antenna;
}

SimBench SimInstrument::DeviceUnderTest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return touchstone_ ? SimBench::TouchstoneFile : SimBench::Antenna;
}

void SimInstrument::SetNoiseScale(double scale) {
    std::lock_guard<std::mutex> lock(mutex_);
    noiseScale_ = std::isfinite(scale) && scale > 0 ? scale : 0.0;
}

CalRecord SimInstrument::Record(int n) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return n >= 0 && n < kRecordCount ? memory_[n] : kErasedRecord;
}

void SimInstrument::SetRecord(int n, const CalRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (n >= 0 && n < kRecordCount) {
        memory_[n] = record;
    }
}

double SimInstrument::TunedMHz() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tunedMHz_;
}

SimCounters SimInstrument::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

std::vector<SimPageWrite> SimInstrument::PageWrites() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pageWrites_;
}

void SimInstrument::ArmFault(const SimFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.Arm(fault);
}

void SimInstrument::ClearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.Clear();
}

int SimInstrument::PresentCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plugged_ ? instrumentCount_ : 0;
}

void SimInstrument::SetInstrumentCount(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    instrumentCount_ = std::max(1, count);
}

void SimInstrument::Unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_) {
        plugged_ = false;
        ++plugGeneration_;
    }
}

void SimInstrument::Replug() {
    std::lock_guard<std::mutex> lock(mutex_);
    plugged_ = true;
}

uint64_t SimInstrument::PlugGeneration() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plugged_ ? plugGeneration_ : kUnplugged;
}

void SimInstrument::FailNextOpens(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    failOpens_ = std::max(0, count);
}

bool SimInstrument::TakeOpenFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) {
        return true;
    }
    if (failOpens_ > 0) {
        --failOpens_;
        return true;
    }
    return false;
}

}  // namespace korvel
