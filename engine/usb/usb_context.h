// One libusb session: the context, the thread that handles its events
// (transfer completions and the system's hot-plug announcements), and the
// arrivals passed on to whoever waits for an instrument.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct libusb_context;

namespace korvel::usb {

class UsbContext {
  public:
    // Never throws: when libusb cannot start, Ready() is false and Error()
    // says why.
    UsbContext();
    ~UsbContext();
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;

    bool Ready() const { return context_ != nullptr; }
    const std::string& Error() const { return error_; }
    libusb_context* Get() const { return context_; }

    // True when the system announces arrivals (Linux, macOS).
    bool AnnouncesArrivals() const { return hotplugRegistered_; }
    // Called on the event thread at every arrival; empty stops the calls
    // (when this returns, none is running any more).
    void SetArrivalHandler(std::function<void()> handler);
    // Arrivals and departures seen so far: a change means the device list
    // is worth a new look.
    uint64_t Changes() const { return changes_.load(std::memory_order_acquire); }

  private:
    void HandleEvents();
    void OnHotplug(bool arrived);
    friend struct HotplugTrampoline;

    libusb_context* context_ = nullptr;
    std::string error_;
    bool hotplugRegistered_ = false;
    int hotplugHandle_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> changes_{0};
    std::mutex handlerMutex_;
    std::function<void()> onArrival_;
    std::thread events_;
};

}  // namespace korvel::usb
