// The URBs of one emulated device, from submission to reaping, as the kernel
// keeps them: control requests and bulk OUT complete at once, a bulk IN
// waits for the instrument's next packet. Thread-safe: the ioctl handler
// and the test thread (unplug, counters) both call it; nothing blocks.
#pragma once

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "emulated_usb_bus.h"

namespace korvel::testing {

// A submitted URB: its header and buffer are local copies that are written
// back to the program when it is reaped.
struct EmulatedUrb {
    uintptr_t address = 0;  // where the program keeps it: the URB's identity
    usbdevfs_urb* header = nullptr;
    uint8_t* buffer = nullptr;    // buffer_length bytes
    std::shared_ptr<void> owner;  // keeps header and buffer alive
};

class EmulatedUrbQueue {
  public:
    using Clock = std::chrono::steady_clock;

    EmulatedUrbQueue(EmulatedDevice device, std::shared_ptr<SimInstrument> instrument);

    // 0, or the errno the SUBMITURB ioctl fails with.
    int Submit(EmulatedUrb urb);
    // A completed URB, oldest first; otherwise the errno (EAGAIN while the
    // device is present, ENODEV once it is gone and nothing is left).
    std::optional<EmulatedUrb> Reap(int& error);
    // 0 when a waiting URB at that address was cancelled (it completes with
    // -ENOENT); EINVAL when it is not waiting; ENODEV once unplugged.
    int Discard(uintptr_t address);

    // Every waiting URB completes with -ESHUTDOWN; later calls fail.
    void Unplug();
    bool Present() const;

    void HaltIn();
    void ClearHalt(unsigned endpoint);
    void CountClaim();
    void CountRelease();
    EmulatedTraffic Traffic() const;

  private:
    struct Packet {
        std::vector<uint8_t> bytes;
        Clock::time_point due;
    };

    void Control(EmulatedUrb& urb);
    void BulkOut(EmulatedUrb& urb);
    // Hands due packets to waiting IN URBs, in order.
    void Deliver();
    void Complete(EmulatedUrb urb, int status, int actualLength);

    const EmulatedDevice device_;
    const std::shared_ptr<SimInstrument> instrument_;
    mutable std::mutex mutex_;
    bool present_ = true;
    bool haltIn_ = false;
    std::deque<EmulatedUrb> waitingIn_;
    std::deque<EmulatedUrb> done_;
    std::deque<Packet> packets_;
    EmulatedTraffic traffic_;
};

}  // namespace korvel::testing
