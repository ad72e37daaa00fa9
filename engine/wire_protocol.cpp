#include "wire_protocol.h"

#include <cmath>

#include "wire_words.h"

namespace korvel {

namespace {

// Truncates x toward zero and keeps the low bits of that integer (two's
// complement wrap), like the instrument's own integer arithmetic. Exact for
// every finite double because fmod is exact; NaN and ±inf give 0.
uint64_t WrapTruncated(double x, double modulus) {
    if (!std::isfinite(x)) {
        return 0;
    }
    double r = std::fmod(std::trunc(x), modulus);
    if (r < 0) {
        r += modulus;
    }
    return static_cast<uint64_t>(r);
}

void WriteLong(uint8_t* p, uint32_t v) {
    WriteWord(p, static_cast<uint16_t>(v & 0xFFFF));
    WriteWord(p + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace

uint16_t CalibrationIndex(double freqMHz) {
    return static_cast<uint16_t>(WrapTruncated((freqMHz - 1.0) * 20.0 + 0.5, 65536.0));
}

uint32_t TuningWord(double freqMHz) {
    return static_cast<uint32_t>(WrapTruncated(freqMHz * kTuningUnitsPerMHz + 0.5, 4294967296.0));
}

double TunedFreqMHz(uint32_t tuningWord) {
    return tuningWord / kTuningUnitsPerMHz;
}

void PackCalRecord(const CalRecord& record, uint8_t out[8]) {
    WriteWord(out + 0, record.amp);
    WriteWord(out + 2, record.ref);
    WriteWord(out + 4, record.phase);
    WriteWord(out + 6, record.power);
}

CalRecord UnpackCalRecord(const uint8_t in[8]) {
    return CalRecord{ReadWord(in + 0), ReadWord(in + 2), ReadWord(in + 4), ReadWord(in + 6)};
}

void EncodeSetFrequency(uint32_t tuningWord, uint8_t out[kSetFrequencyLength]) {
    out[0] = kCommandLead;
    out[1] = kSetFrequencyCommand;
    WriteLong(out + 2, tuningWord);
    out[6] = 0x01;
}

void EncodeReadDetectors(uint16_t index, uint8_t out[kReadDetectorsLength]) {
    out[0] = kCommandLead;
    out[1] = kReadDetectorsCommand;
    WriteWord(out + 2, index);
}

void EncodeWriteCalPage(uint8_t block, uint8_t page, const uint8_t data[kCalPageDataLength],
                        uint8_t out[kWriteCalPageLength]) {
    out[0] = kCommandLead;
    out[1] = kWriteCalPageCommand;
    out[2] = block;
    out[3] = page;
    for (int i = 0; i < kCalPageDataLength; ++i) {
        out[4 + i] = data[i];
    }
}

uint32_t DecodeTuningWord(const uint8_t command[kSetFrequencyLength]) {
    return static_cast<uint32_t>(ReadWord(command + 2)) |
           (static_cast<uint32_t>(ReadWord(command + 4)) << 16);
}

uint16_t DecodeCalibrationIndex(const uint8_t command[kReadDetectorsLength]) {
    return ReadWord(command + 2);
}

void EncodeDetectorReply(const DetectorReading& r, uint8_t out[kDetectorReplyLength]) {
    out[0] = kCommandLead;
    out[1] = kReadDetectorsCommand;
    const uint16_t words[8] = {r.liveAmp, r.liveRef, r.livePhase, r.livePower,
                               r.calAmp,  r.calRef,  r.calPhase,  r.calPower};
    for (int i = 0; i < 8; ++i) {
        WriteWord(out + 2 + 2 * i, words[i]);
    }
}

DetectorReading DecodeDetectorReply(const uint8_t reply[kDetectorReplyLength]) {
    const uint8_t* w = reply + 2;
    return DetectorReading{ReadWord(w + 0), ReadWord(w + 2),  ReadWord(w + 4),  ReadWord(w + 6),
                           ReadWord(w + 8), ReadWord(w + 10), ReadWord(w + 12), ReadWord(w + 14)};
}

bool IsInstrumentCommand(const uint8_t* data, std::size_t length) {
    if (data == nullptr || length < 2 || data[0] != kCommandLead) {
        return false;
    }
    switch (data[1]) {
        case kSetFrequencyCommand:
            return length == kSetFrequencyLength;
        case kReadDetectorsCommand:
            return length == kReadDetectorsLength;
        case kWriteCalPageCommand:
            return length == kWriteCalPageLength;
        default:
            return false;
    }
}

}  // namespace korvel
