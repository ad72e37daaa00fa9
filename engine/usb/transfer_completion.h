// Waiting for one asynchronous libusb transfer, completed on the session's
// event thread. The completion is signalled under the waiter's own lock, so
// everything the event thread did before it happens before the waiter goes
// on (and may free the transfer and its buffer).
#pragma once

#include <condition_variable>
#include <mutex>

struct libusb_transfer;

namespace korvel::usb {

class TransferCompletion {
  public:
    // The transfer's callback; its user_data must be the TransferCompletion.
    static void OnDone(libusb_transfer* transfer);

    // Blocks until the submitted `transfer` has completed. libusb ends every
    // transfer by itself (its time-out, a cancellation, a vanished device);
    // should that take a grace period past `timeoutMs`, the transfer is
    // cancelled and waited for.
    void Wait(libusb_transfer* transfer, unsigned timeoutMs);

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool completed_ = false;
};

}  // namespace korvel::usb
