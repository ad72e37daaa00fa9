#include "usb_inventory.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>

#include "ms_os_descriptors.h"

namespace korvel::usb {

namespace {

constexpr int kProbeAttempts = 3;

bool SameIds(const UsbAddress& where, const UsbSelector& selector) {
    return where.vendorId == selector.vendorId && where.productId == selector.productId;
}

// Whether a device with these pipes is looked at for `selector` at all.
bool IsCandidate(const UsbAddress& where, const BulkInterface& pipes, const UsbSelector& selector) {
    if (pipes.number < 0) {
        return false;
    }
    return selector.byGuid ? pipes.vendorSpecific : SameIds(where, selector);
}

UsbAddress AddressOf(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    return UsbAddress{libusb_get_bus_number(device), libusb_get_device_address(device),
                      descriptor.idVendor, descriptor.idProduct};
}

}  // namespace

std::string DescribeAddress(const UsbAddress& where) {
    char text[32];
    std::snprintf(text, sizeof(text), "%03u:%03u %04x:%04x", unsigned{where.bus},
                  unsigned{where.address}, unsigned{where.vendorId}, unsigned{where.productId});
    return text;
}

UsbInventory::UsbInventory(libusb_context* context) : context_(context) {}

std::vector<UsbCandidate> UsbInventory::Scan(const UsbSelector& selector) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
        return {};
    }
    std::set<UsbAddress> present;
    std::vector<UsbCandidate> found;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device* device = list[i];
        const UsbAddress where = AddressOf(device);
        present.insert(where);
        auto entry = known_.find(where);
        if (entry == known_.end()) {
            Known fresh;
            fresh.pipes = FindBulkInterface(device).value_or(BulkInterface{});
            entry = known_.emplace(where, fresh).first;
        }
        Known& known = entry->second;
        if (!IsCandidate(where, known.pipes, selector)) {
            continue;
        }
        // Drivers come and go (another program's claim shows as one too).
        const bool driverBound = KernelDriverBound(device, known.pipes);
        if (!known.probed) {
            Probe(device, where, known);
        }
        found.push_back(UsbCandidate{where, known.pipes, known.probed, refused_.count(where) != 0,
                                     driverBound, known.advertisesGuid, known.product,
                                     known.serial});
        driverBound_[where] = driverBound;
    }
    libusb_free_device_list(list, 1);

    // What left the bus is forgotten: a device plugged in again is new.
    std::erase_if(known_, [&](const auto& item) { return present.count(item.first) == 0; });
    std::erase_if(refused_, [&](const UsbAddress& where) { return present.count(where) == 0; });
    std::erase_if(driverBound_, [&](const auto& item) { return present.count(item.first) == 0; });
    std::erase_if(reported_, [&](const UsbAddress& where) { return present.count(where) == 0; });
    std::sort(found.begin(), found.end(),
              [](const UsbCandidate& a, const UsbCandidate& b) { return a.where < b.where; });
    return found;
}

std::vector<UsbCandidate> UsbInventory::Matching(const UsbSelector& selector) {
    std::vector<UsbCandidate> candidates = Scan(selector);
    std::erase_if(candidates,
                  [&](const UsbCandidate& candidate) { return !Matches(candidate, selector); });
    return candidates;
}

bool UsbInventory::Matches(const UsbCandidate& candidate, const UsbSelector& selector) {
    if (selector.byGuid) {
        return candidate.advertisesGuid;
    }
    if (!SameIds(candidate.where, selector)) {
        return false;
    }
    return selector.serial.empty() || (candidate.probed && candidate.serial == selector.serial);
}

void UsbInventory::Probe(libusb_device* device, const UsbAddress& where, Known& known) {
    libusb_device_handle* handle = nullptr;
    const int rc = libusb_open(device, &handle);
    if (rc == LIBUSB_ERROR_ACCESS) {
        // Tried again at the next scan: access may be granted meanwhile.
        refused_.insert(where);
        return;
    }
    if (rc != LIBUSB_SUCCESS) {
        known.probed = ++known.failedProbes >= kProbeAttempts;
        return;
    }
    const DeviceFacts facts = ReadDeviceFacts(handle, known.pipes.number);
    libusb_close(handle);
    NoteOpened(where);
    // A device slow to answer just after plug-in is asked again, a few times.
    known.probed = !facts.transient || ++known.failedProbes >= kProbeAttempts;
    known.product = facts.product;
    known.serial = facts.serial;
    const std::optional<int> function =
        FunctionAdvertising(facts.functions, kInstrumentInterfaceGuid);
    known.advertisesGuid = function.has_value();
    if (function && *function >= 0) {
        // The function the GUID names carries the pipes, when it has them.
        known.pipes = FindBulkInterface(device, *function).value_or(known.pipes);
    }
}

libusb_device_handle* UsbInventory::Open(const UsbAddress& where, int& error) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
        error = static_cast<int>(count);
        return nullptr;
    }
    libusb_device_handle* handle = nullptr;
    error = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < count; ++i) {
        if (AddressOf(list[i]) == where) {
            error = libusb_open(list[i], &handle);
            break;
        }
    }
    libusb_free_device_list(list, 1);
    if (error == LIBUSB_ERROR_ACCESS) {
        NoteRefused(where);
    } else if (error == LIBUSB_SUCCESS) {
        NoteOpened(where);
    }
    return error == LIBUSB_SUCCESS ? handle : nullptr;
}

std::vector<UsbAddress> UsbInventory::TakeNewRefusals() {
    std::vector<UsbAddress> fresh;
    for (const UsbAddress& where : refused_) {
        const auto bound = driverBound_.find(where);
        if (bound != driverBound_.end() && bound->second) {
            continue;
        }
        if (reported_.insert(where).second) {
            fresh.push_back(where);
        }
    }
    return fresh;
}

void UsbInventory::NoteRefused(const UsbAddress& where) {
    refused_.insert(where);
}

void UsbInventory::NoteOpened(const UsbAddress& where) {
    refused_.erase(where);
    reported_.erase(where);
}

}  // namespace korvel::usb
