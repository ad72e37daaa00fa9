#include "device_link.h"

namespace korvel {

namespace {

// The tune and read commands end in a full-width exclamation mark; the page
// write does not.
constexpr const char* kLinkErrorMessage = "USB Link Error！";
constexpr const char* kPageWriteErrorMessage = "USB Link Error";

}  // namespace

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
    EncodeSetFrequency(tuningWord, buffer_);
    Exchange(kSetFrequencyLength, kAckReplyLength, kLinkErrorMessage);
}

void DeviceLink::ReadDetectors(uint16_t index, DetectorReading& out) {
    if (state_.linkUp.load(kRelaxed) == 0) {
        return;
    }
    EncodeReadDetectors(index, buffer_);
    if (!Exchange(kReadDetectorsLength, kDetectorReplyLength, kLinkErrorMessage)) {
        return;
    }
    out = DecodeDetectorReply(buffer_);
}

void DeviceLink::WriteCalPage(uint8_t block, uint8_t page, const uint8_t data[kCalPageDataLength]) {
    if (state_.linkUp.load(kRelaxed) == 0) {
        return;
    }
    EncodeWriteCalPage(block, page, data, buffer_);
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
