#include "usb_transport.h"

#include <libusb.h>

#include <utility>

#include "udev_rule.h"

namespace korvel::usb {

std::string RefusedDeviceNotice(const UsbAddress& where) {
    std::string text = "USB device " + DescribeAddress(where) +
                       " may be the instrument, but this user is not allowed to open it.";
#if defined(__linux__)
    UsbSelector ids;
    ids.byGuid = false;
    ids.vendorId = where.vendorId;
    ids.productId = where.productId;
    text +=
        " To allow it, install KORVEL's udev rule, then unplug and replug the instrument:\n"
        "korvel-sweep --udev-rule " +
        FormatUsbDeviceString(ids) + " | sudo tee " + kUdevRulePath +
        "\nsudo udevadm control --reload";
#endif
    return text;
}

UsbTransport::UsbTransport(UsbSelector selector, unsigned timeoutMs)
    : selector_(std::move(selector)), timeoutMs_(timeoutMs), inventory_(context_.Get()) {}

UsbTransport::~UsbTransport() {
    CloseDevice();
    context_.SetArrivalHandler({});
}

int UsbTransport::CountDevices() {
    if (!context_.Ready()) {
        if (!contextErrorShown_) {
            contextErrorShown_ = true;
            AddNotice(context_.Error());
        }
        return 0;
    }
    const int count = static_cast<int>(inventory_.Matching(selector_).size());
    // A refused device is worth a word only while no instrument is found.
    if (count == 0) {
        NoteRefusals();
    }
    return count;
}

bool UsbTransport::OpenDevice() {
    CloseDevice();
    if (!context_.Ready()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(interruptMutex_);
        if (interrupted_) {
            return false;
        }
    }
    const std::vector<UsbCandidate> matching = inventory_.Matching(selector_);
    if (matching.empty()) {
        NoteRefusals();
        return false;
    }
    const UsbCandidate& first = matching.front();
    int error = LIBUSB_SUCCESS;
    libusb_device_handle* handle = inventory_.Open(first.where, error);
    NoteRefusals();
    if (handle == nullptr) {
        return false;
    }
    // Where a kernel driver holds the interface, it is detached for the
    // time the interface is claimed (unsupported on some systems: harmless).
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claim = libusb_claim_interface(handle, first.pipes.number);
    if (claim != LIBUSB_SUCCESS) {
        // macOS says ACCESS when another program or driver holds it.
        const bool held = claim == LIBUSB_ERROR_BUSY || claim == LIBUSB_ERROR_ACCESS;
        if (held && !busyShown_) {
            busyShown_ = true;
            AddNotice("USB device " + DescribeAddress(first.where) +
                      " is in use by another program.");
        }
        libusb_close(handle);
        return false;
    }
    busyShown_ = false;
    handle_ = handle;
    claimed_ = first.pipes.number;
    openAddress_ = first.where;
    auto pipe = std::make_unique<BulkPipe>(handle, first.pipes.outEndpoint, first.pipes.inEndpoint,
                                           timeoutMs_);
    pipe->AwaitLateReplyUntil(lateReplyDeadline_);
    std::lock_guard<std::mutex> lock(interruptMutex_);
    if (interrupted_) {
        pipe->Interrupt();
    }
    pipe_ = std::move(pipe);
    return true;
}

bool UsbTransport::IsOpen() const {
    return handle_ != nullptr;
}

int UsbTransport::WriteBlock(const uint8_t* data, int length) {
    return pipe_ ? pipe_->Write(data, length) : 0;
}

int UsbTransport::ReadBlock(uint8_t* buffer, int length) {
    return pipe_ ? pipe_->Read(buffer, length) : 0;
}

void UsbTransport::CloseDevice() {
    if (handle_ == nullptr) {
        return;
    }
    lateReplyDeadline_ = pipe_->LateReplyDeadline();
    {
        std::lock_guard<std::mutex> lock(interruptMutex_);
        pipe_.reset();
    }
    // Fails harmlessly when the device is gone already.
    libusb_release_interface(handle_, claimed_);
    libusb_close(handle_);
    handle_ = nullptr;
    claimed_ = -1;
    openAddress_ = UsbAddress{};
}

void UsbTransport::Interrupt() {
    std::lock_guard<std::mutex> lock(interruptMutex_);
    interrupted_ = true;
    if (pipe_) {
        pipe_->Interrupt();
    }
}

bool UsbTransport::WatchArrivals(std::function<void()> onArrival) {
    if (!context_.AnnouncesArrivals()) {
        return false;
    }
    context_.SetArrivalHandler(std::move(onArrival));
    return true;
}

std::string UsbTransport::TakeNotice() {
    return std::exchange(notices_, {});
}

void UsbTransport::AddNotice(const std::string& text) {
    if (!notices_.empty()) {
        notices_ += '\n';
    }
    notices_ += text;
}

void UsbTransport::NoteRefusals() {
    for (const UsbAddress& where : inventory_.TakeNewRefusals()) {
        AddNotice(RefusedDeviceNotice(where));
    }
}

}  // namespace korvel::usb
