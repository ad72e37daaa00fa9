#include "transfer_completion.h"

#include <libusb.h>

#include <chrono>

namespace korvel::usb {

namespace {

constexpr std::chrono::milliseconds kCompletionGrace{2000};

}  // namespace

void TransferCompletion::OnDone(libusb_transfer* transfer) {
    auto* self = static_cast<TransferCompletion*>(transfer->user_data);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->completed_ = true;
    self->done_.notify_all();
}

void TransferCompletion::Wait(libusb_transfer* transfer, unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto bound = std::chrono::milliseconds(timeoutMs) + kCompletionGrace;
    if (!done_.wait_for(lock, bound, [this] { return completed_; })) {
        libusb_cancel_transfer(transfer);
        done_.wait(lock, [this] { return completed_; });
    }
}

}  // namespace korvel::usb
