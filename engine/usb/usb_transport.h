// The libusb device layer: the instrument as the USB device that advertises
// its interface GUID (or that has the IDs the user gave), driven through its
// bulk pipes. Arrivals are announced where the system does so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bulk_pipe.h"
#include "device_transport.h"
#include "usb_context.h"
#include "usb_device_string.h"
#include "usb_inventory.h"

namespace korvel::usb {

class UsbTransport final : public DeviceTransport {
  public:
    explicit UsbTransport(UsbSelector selector, unsigned timeoutMs = kTransferTimeoutMs);
    ~UsbTransport() override;
    UsbTransport(const UsbTransport&) = delete;
    UsbTransport& operator=(const UsbTransport&) = delete;

    int CountDevices() override;
    // Opens the first matching device in bus and address order.
    bool OpenDevice() override;
    bool IsOpen() const override;
    int WriteBlock(const uint8_t* data, int length) override;
    int ReadBlock(uint8_t* buffer, int length) override;
    void CloseDevice() override;
    void Interrupt() override;
    bool WatchArrivals(std::function<void()> onArrival) override;
    std::string TakeNotice() override;

    // The device open now (zero when none).
    UsbAddress OpenAddress() const { return openAddress_; }

  private:
    void AddNotice(const std::string& text);
    void NoteRefusals();

    const UsbSelector selector_;
    const unsigned timeoutMs_;
    UsbContext context_;
    UsbInventory inventory_;
    struct libusb_device_handle* handle_ = nullptr;
    int claimed_ = -1;
    UsbAddress openAddress_;
    std::unique_ptr<BulkPipe> pipe_;
    // A reply the last connection still waited for may come on the next one.
    BulkPipe::TimePoint lateReplyDeadline_{};
    std::string notices_;
    bool contextErrorShown_ = false;
    bool busyShown_ = false;

    std::mutex interruptMutex_;
    bool interrupted_ = false;  // guarded by interruptMutex_, as is pipe_ while it changes
};

// The words that tell a user how to get access to a refused device.
std::string RefusedDeviceNotice(const UsbAddress& where);

}  // namespace korvel::usb
