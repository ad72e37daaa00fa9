#include "usb_context.h"

#include <libusb.h>

#include <chrono>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace korvel::usb {

struct HotplugTrampoline {
    static int LIBUSB_CALL Call(libusb_context*, libusb_device*, libusb_hotplug_event event,
                                void* self) {
        static_cast<UsbContext*>(self)->OnHotplug(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
        return 0;  // stay registered
    }
};

UsbContext::UsbContext() {
    const int rc = libusb_init(&context_);
    if (rc != LIBUSB_SUCCESS) {
        context_ = nullptr;
        error_ = std::string("USB is not available: ") + libusb_strerror(rc);
        return;
    }
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
        libusb_hotplug_callback_handle handle = 0;
        hotplugRegistered_ =
            libusb_hotplug_register_callback(
                context_,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                static_cast<libusb_hotplug_flag>(0), LIBUSB_HOTPLUG_MATCH_ANY,
                LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, &HotplugTrampoline::Call, this,
                &handle) == LIBUSB_SUCCESS;
        hotplugHandle_ = handle;
    }
    events_ = std::thread([this] { HandleEvents(); });
}

UsbContext::~UsbContext() {
    if (context_ == nullptr) {
        return;
    }
    stopping_.store(true, std::memory_order_release);
    if (hotplugRegistered_) {
        // Deregistering also wakes the event thread.
        libusb_hotplug_deregister_callback(context_, hotplugHandle_);
    }
    libusb_interrupt_event_handler(context_);
    events_.join();
    libusb_exit(context_);
}

void UsbContext::SetArrivalHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(handlerMutex_);
    onArrival_ = std::move(handler);
}

void UsbContext::HandleEvents() {
#if defined(__linux__)
    prctl(PR_SET_NAME, "usb-events", 0UL, 0UL, 0UL);
#endif
    // Blocks in poll() until a transfer completes, an announcement comes or
    // the destructor interrupts it; the time-out only bounds each call.
    timeval bound{10, 0};
    while (!stopping_.load(std::memory_order_acquire)) {
        const int rc = libusb_handle_events_timeout_completed(context_, &bound, nullptr);
        if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_INTERRUPTED) {
            // A failing poll must not turn into a spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

void UsbContext::OnHotplug(bool arrived) {
    changes_.fetch_add(1, std::memory_order_acq_rel);
    if (!arrived) {
        return;
    }
    std::lock_guard<std::mutex> lock(handlerMutex_);
    if (onArrival_) {
        onArrival_();
    }
}

}  // namespace korvel::usb
