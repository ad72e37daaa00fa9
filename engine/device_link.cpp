#include "device_link.h"

#include "wire_words.h"

#include <cmath>

namespace korvel {

namespace {

constexpr uint8_t kCommandLead = 0x7A;
constexpr uint8_t kSetFrequencyCommand = 0xA1;
constexpr uint8_t kReadDetectorsCommand = 0xA2;
constexpr uint8_t kWriteCalPageCommand = 0xA4;

constexpr int kSetFrequencyLength = 7;
constexpr int kReadDetectorsLength = 4;
constexpr int kWriteCalPageLength = 36;
constexpr int kAckReplyLength = 2;
constexpr int kDetectorReplyLength = 18;

// The tune and read commands end in a full-width exclamation mark; the page
// write does not.
constexpr const char* kLinkErrorMessage = "USB Link Error！";
constexpr const char* kPageWriteErrorMessage = "USB Link Error";

constexpr double kTuningUnitsPerMHz = 35791352.0;

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

}  // namespace

uint16_t CalibrationIndex(double freqMHz) {
    return static_cast<uint16_t>(WrapTruncated((freqMHz - 1.0) * 20.0 + 0.5, 65536.0));
}

uint32_t TuningWord(double freqMHz) {
    return static_cast<uint32_t>(WrapTruncated(freqMHz * kTuningUnitsPerMHz + 0.5, 4294967296.0));
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

DeviceLink::DeviceLink(DeviceTransport& transport, MeasurementState& state, WorkerWindow& window)
    : transport_(transport), state_(state), window_(window) {}

int DeviceLink::CountDevices() {
    return transport_.CountDevices();
}

bool DeviceLink::OpenDevice() {
    return transport_.OpenDevice();
}

bool DeviceLink::IsOpen() const {
    return transport_.IsOpen();
}

void DeviceLink::CloseDevice() {
    transport_.CloseDevice();
}

void DeviceLink::SetFrequency(uint32_t tuningWord) {
    if (state_.linkUp.load(kRelaxed) == 0) {
        return;
    }
    buffer_[0] = kCommandLead;
    buffer_[1] = kSetFrequencyCommand;
    buffer_[2] = static_cast<uint8_t>(tuningWord & 0xFF);
    buffer_[3] = static_cast<uint8_t>((tuningWord >> 8) & 0xFF);
    buffer_[4] = static_cast<uint8_t>((tuningWord >> 16) & 0xFF);
    buffer_[5] = static_cast<uint8_t>((tuningWord >> 24) & 0xFF);
    buffer_[6] = 0x01;
    Exchange(kSetFrequencyLength, kAckReplyLength, kLinkErrorMessage);
}

void DeviceLink::ReadDetectors(uint16_t index, DetectorReading& out) {
    if (state_.linkUp.load(kRelaxed) == 0) {
        return;
    }
    buffer_[0] = kCommandLead;
    buffer_[1] = kReadDetectorsCommand;
    WriteWord(buffer_ + 2, index);
    if (!Exchange(kReadDetectorsLength, kDetectorReplyLength, kLinkErrorMessage)) {
        return;
    }
    // Bytes 0 and 1 of the reply carry nothing the program uses.
    out.liveAmp = ReadWord(buffer_ + 2);
    out.liveRef = ReadWord(buffer_ + 4);
    out.livePhase = ReadWord(buffer_ + 6);
    out.livePower = ReadWord(buffer_ + 8);
    out.calAmp = ReadWord(buffer_ + 10);
    out.calRef = ReadWord(buffer_ + 12);
    out.calPhase = ReadWord(buffer_ + 14);
    out.calPower = ReadWord(buffer_ + 16);
}

void DeviceLink::WriteCalPage(uint8_t block, uint8_t page, const uint8_t data[32]) {
    if (state_.linkUp.load(kRelaxed) == 0) {
        return;
    }
    buffer_[0] = kCommandLead;
    buffer_[1] = kWriteCalPageCommand;
    buffer_[2] = block;
    buffer_[3] = page;
    for (int i = 0; i < 32; ++i) {
        buffer_[4 + i] = data[i];
    }
    Exchange(kWriteCalPageLength, kAckReplyLength, kPageWriteErrorMessage);
}

bool DeviceLink::Exchange(int length, int expected, const char* message) {
    // The write count is not checked: a write that failed leaves no reply, and
    // the read below reports that.
    transport_.WriteBlock(buffer_, length);
    // Ask for the whole buffer so that an over-long reply shows up as such
    // instead of being cut to the expected length.
    const int got = transport_.ReadBlock(buffer_, static_cast<int>(sizeof(buffer_)));
    if (got == expected) {
        return true;
    }
    window_.ShowMessage(message);
    state_.linkUp.store(0, kRelaxed);
    return false;
}

}  // namespace korvel
