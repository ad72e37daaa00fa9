#include "usbfs_ioctl_handler.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace korvel::testing {
namespace {

using QueuePtr = std::shared_ptr<EmulatedUrbQueue>;

// What a current kernel reports, short of scatter-gather and mmap.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

struct DataRef {
    void operator()(UMockdevIoctlData* data) const {
        if (data != nullptr) {
            g_object_unref(data);
        }
    }
};
using Data = std::unique_ptr<UMockdevIoctlData, DataRef>;

// The memory the ioctl argument points to, copied into this process.
Data Resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
    GError* error = nullptr;
    Data resolved(umockdev_ioctl_data_resolve(data, offset, length, &error));
    if (error != nullptr) {
        g_error_free(error);
        return nullptr;
    }
    return resolved;
}

void Answer(UMockdevIoctlClient* client, int error) {
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

// Tells once per request what libusb asked that the device does not know.
void ReportUnknown(gulong request) {
    static std::mutex mutex;
    static std::set<gulong> seen;
    std::lock_guard<std::mutex> lock(mutex);
    if (seen.insert(request).second) {
        std::fprintf(stderr, "emulated USB device: unhandled usbfs ioctl 0x%lx (answered ENOTTY)\n",
                     request);
    }
}

int Submit(EmulatedUrbQueue& queue, UMockdevIoctlData* arg) {
    Data header = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!header) {
        return EFAULT;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(header->data);
    EmulatedUrb submitted;
    submitted.address = static_cast<uintptr_t>(header->client_addr);
    submitted.header = urb;
    if (urb->buffer_length > 0) {
        Data buffer = Resolve(header.get(), offsetof(usbdevfs_urb, buffer),
                              static_cast<std::size_t>(urb->buffer_length));
        if (!buffer) {
            return EFAULT;
        }
        // The resolved buffer belongs to the header's data from now on.
        submitted.buffer = buffer->data;
    }
    submitted.owner =
        std::shared_ptr<void>(g_object_ref(header.get()), [](void* data) { g_object_unref(data); });
    return queue.Submit(std::move(submitted));
}

// REAPURBNDELAY: the program's pointer is set to the reaped URB, whose header
// and buffer are written back with the completion.
int Reap(EmulatedUrbQueue& queue, UMockdevIoctlData* arg, std::optional<EmulatedUrb>& reaped) {
    int error = 0;
    reaped = queue.Reap(error);
    if (!reaped) {
        return error;
    }
    Data target = Resolve(arg, 0, sizeof(void*));
    if (!target) {
        return EFAULT;
    }
    umockdev_ioctl_data_set_ptr(target.get(), 0,
                                static_cast<UMockdevIoctlData*>(reaped->owner.get()));
    return 0;
}

int Interface(UMockdevIoctlData* arg, unsigned int& number) {
    Data value = Resolve(arg, 0, sizeof(unsigned int));
    if (!value) {
        return EFAULT;
    }
    number = *reinterpret_cast<unsigned int*>(value->data);
    return number == 0 ? 0 : ENOENT;  // the device has interface 0 only
}

// USBDEVFS_IOCTL passes a driver request to an interface; libusb uses it to
// give the interface back to its kernel driver after release.
int DriverRequest(UMockdevIoctlData* arg, gulong& code) {
    Data request = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
    if (!request) {
        return EFAULT;
    }
    const auto* call = reinterpret_cast<const usbdevfs_ioctl*>(request->data);
    code = static_cast<unsigned int>(call->ioctl_code);
    if (call->ifno != 0) {
        return EINVAL;
    }
    if (code == USBDEVFS_CONNECT) {
        return 0;  // no kernel driver wants it
    }
    if (code == USBDEVFS_DISCONNECT) {
        return ENODATA;  // none bound
    }
    return ENOTTY;
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    EmulatedUrbQueue& queue = **static_cast<QueuePtr*>(user);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (request == USBDEVFS_REAPURBNDELAY) {
        std::optional<EmulatedUrb> reaped;
        // The reaped URB stays referenced until its write-back is done.
        Answer(client, Reap(queue, arg, reaped));
        return TRUE;
    }
    if (!queue.Present()) {
        Answer(client, ENODEV);
        return TRUE;
    }
    unsigned int number = 0;
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Data caps = Resolve(arg, 0, sizeof(uint32_t));
            if (caps) {
                *reinterpret_cast<uint32_t*>(caps->data) = kCapabilities;
            }
            Answer(client, caps ? 0 : EFAULT);
            return TRUE;
        }
        case USBDEVFS_SUBMITURB:
            Answer(client, Submit(queue, arg));
            return TRUE;
        case USBDEVFS_DISCARDURB: {
            // The argument is the URB's address itself.
            uintptr_t address = 0;
            if (arg->data_len < static_cast<gint>(sizeof address)) {
                Answer(client, EFAULT);
                return TRUE;
            }
            std::memcpy(&address, arg->data, sizeof address);
            Answer(client, queue.Discard(address));
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: {
            // Both start with the interface number.
            const int error = Interface(arg, number);
            if (error == 0) {
                queue.CountClaim();
            }
            Answer(client, error);
            return TRUE;
        }
        case USBDEVFS_RELEASEINTERFACE: {
            const int error = Interface(arg, number);
            if (error == 0) {
                queue.CountRelease();
            }
            Answer(client, error);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:
            // No kernel driver is bound to the interface.
            Answer(client, ENODATA);
            return TRUE;
        case USBDEVFS_IOCTL: {
            gulong code = 0;
            const int error = DriverRequest(arg, code);
            if (error == ENOTTY) {
                ReportUnknown(code);
            }
            Answer(client, error);
            return TRUE;
        }
        case USBDEVFS_CLEAR_HALT: {
            Data value = Resolve(arg, 0, sizeof(unsigned int));
            if (value)
                queue.ClearHalt(*reinterpret_cast<unsigned int*>(value->data));
            Answer(client, value ? 0 : EFAULT);
            return TRUE;
        }
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_RESET:
            Answer(client, 0);
            return TRUE;
        default:
            ReportUnknown(request);
            return FALSE;
    }
}

void ForgetQueue(gpointer user, GClosure*) {
    delete static_cast<QueuePtr*>(user);
}

}  // namespace

UMockdevIoctlBase* NewUsbfsIoctlHandler(std::shared_ptr<EmulatedUrbQueue> queue) {
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    g_signal_connect_data(handler, "handle-ioctl", G_CALLBACK(HandleIoctl),
                          new QueuePtr(std::move(queue)), ForgetQueue, GConnectFlags{});
    return handler;
}

}  // namespace korvel::testing
