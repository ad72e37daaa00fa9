#include "bulk_pipe.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "transfer_completion.h"

namespace korvel::usb {

BulkPipe::BulkPipe(libusb_device_handle* handle, uint8_t outEndpoint, uint8_t inEndpoint,
                   unsigned timeoutMs)
    : handle_(handle), out_(outEndpoint), in_(inEndpoint), timeoutMs_(timeoutMs) {}

void BulkPipe::Interrupt() {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    if (current_ != nullptr) {
        libusb_cancel_transfer(current_);
    }
}

BulkPipe::Outcome BulkPipe::Transfer(uint8_t endpoint, uint8_t* data, int length,
                                     unsigned timeoutMs) {
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr) {
        return {};
    }
    TransferCompletion completion;
    libusb_fill_bulk_transfer(transfer, handle_, endpoint, data, length,
                              &TransferCompletion::OnDone, &completion, timeoutMs);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int rc = interrupted_ ? LIBUSB_ERROR_INTERRUPTED : libusb_submit_transfer(transfer);
        if (rc != LIBUSB_SUCCESS) {
            gone_ = gone_ || rc == LIBUSB_ERROR_NO_DEVICE;
            libusb_free_transfer(transfer);
            return {};
        }
        current_ = transfer;
    }
    completion.Wait(transfer, timeoutMs);
    {
        // Interrupt() may cancel it until here: it is freed only afterwards.
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = nullptr;
    }
    const Outcome outcome{transfer->status, transfer->actual_length};
    libusb_free_transfer(transfer);
    gone_ = gone_ || outcome.status == LIBUSB_TRANSFER_NO_DEVICE;
    if (outcome.status == LIBUSB_TRANSFER_STALL) {
        // The endpoint stays halted, for this connection and the next, until
        // the host clears it (which also resets the data toggle).
        libusb_clear_halt(handle_, endpoint);
    }
    return outcome;
}

int BulkPipe::Write(const uint8_t* data, int length) {
    if (data == nullptr || length <= 0 || length > kMaxCommandLength || gone_) {
        return 0;
    }
    if (staleReplyDue_) {
        DropStaleReplies();
    }
    // The transfer works on its own copy, never on the caller's bytes.
    std::vector<uint8_t> block(data, data + length);
    const Outcome out = Transfer(out_, block.data(), length, timeoutMs_);
    if (out.status != LIBUSB_TRANSFER_COMPLETED) {
        return 0;
    }
    return std::clamp(out.count, 0, length);
}

int BulkPipe::Read(uint8_t* buffer, int length) {
    if (buffer == nullptr || length <= 0 || gone_) {
        return 0;
    }
    const Outcome out = Transfer(in_, room_, kReplyCapacity, timeoutMs_);
    switch (out.status) {
        case LIBUSB_TRANSFER_COMPLETED: {
            const int count = std::clamp(out.count, 0, kReplyCapacity);
            std::memcpy(buffer, room_, static_cast<size_t>(std::min(count, length)));
            // A reply that fills the room may go on in the next packet.
            staleReplyDue_ = staleReplyDue_ || count == kReplyCapacity;
            return count;
        }
        case LIBUSB_TRANSFER_OVERFLOW:
            std::memcpy(buffer, room_, static_cast<size_t>(std::min(kReplyCapacity, length)));
            staleReplyDue_ = true;
            return kReplyCapacity + 1;
        case LIBUSB_TRANSFER_TIMED_OUT:
        case LIBUSB_TRANSFER_CANCELLED:
            // The reply may still come, later.
            lateReplyDeadline_ = std::chrono::steady_clock::now() + kLateReplyWindow;
            staleReplyDue_ = true;
            return 0;
        default:
            staleReplyDue_ = true;
            return 0;
    }
}

void BulkPipe::DropStaleReplies() {
    for (int i = 0; i < kMaxStalePackets; ++i) {
        // The first read waits out the window of a reply still owed.
        const auto owed = std::chrono::ceil<std::chrono::milliseconds>(
            lateReplyDeadline_ - std::chrono::steady_clock::now());
        const auto waitMs =
            i == 0 && owed.count() > 0
                ? static_cast<unsigned>(std::min<int64_t>(owed.count(), kLateReplyWindow.count()))
                : kDrainWaitMs;
        const Outcome out = Transfer(in_, room_, kReplyCapacity, std::max(waitMs, kDrainWaitMs));
        if (out.status != LIBUSB_TRANSFER_COMPLETED && out.status != LIBUSB_TRANSFER_OVERFLOW) {
            break;
        }
    }
    staleReplyDue_ = false;
    lateReplyDeadline_ = {};
}

}  // namespace korvel::usb
