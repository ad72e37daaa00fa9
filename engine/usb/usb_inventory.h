// The USB devices that could be the instrument, looked at once each: a
// device's descriptors, strings and advertised GUIDs are read when it first
// shows up and kept while it stays plugged in, so looking for the instrument
// every second costs a list walk, not a round of control transfers.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "usb_device_string.h"
#include "usb_probe.h"

struct libusb_context;
struct libusb_device;

namespace korvel::usb {

struct UsbAddress {
    uint8_t bus = 0;
    uint8_t address = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    friend auto operator<=>(const UsbAddress&, const UsbAddress&) = default;
};

struct UsbCandidate {
    UsbAddress where;
    BulkInterface pipes;
    bool probed = false;        // strings and GUIDs were read
    bool accessDenied = false;  // the device could not be opened for lack of permission
    bool driverBound = false;   // a kernel driver holds the interface: not the instrument
    bool advertisesGuid = false;
    std::string product;
    std::string serial;
};

// "001:005 1209:7720": where a device is and what it is.
std::string DescribeAddress(const UsbAddress& where);

class UsbInventory {
  public:
    explicit UsbInventory(libusb_context* context);

    // Every device that could be the instrument, in bus and address order:
    // those with a vendor-specific bulk interface, and those with any bulk
    // interface whose IDs `selector` names.
    std::vector<UsbCandidate> Scan(const UsbSelector& selector);

    // The candidates `selector` takes, in the same order.
    std::vector<UsbCandidate> Matching(const UsbSelector& selector);
    static bool Matches(const UsbCandidate& candidate, const UsbSelector& selector);

    // Opens the device at `where` (still plugged in); null when it is gone or
    // refuses, with libusb's error code in `error`.
    struct libusb_device_handle* Open(const UsbAddress& where, int& error);

    // Devices refused for lack of permission since they were plugged in and
    // not yet reported: each one once until it leaves or opens. One whose
    // interface a kernel driver holds is left out: the instrument has none.
    std::vector<UsbAddress> TakeNewRefusals();
    // Records a refused open of a device that was probed before.
    void NoteRefused(const UsbAddress& where);
    // A device that opened is no longer refused.
    void NoteOpened(const UsbAddress& where);

  private:
    struct Known {
        BulkInterface pipes;
        bool probed = false;
        int failedProbes = 0;
        bool advertisesGuid = false;
        std::string product;
        std::string serial;
    };

    void Probe(libusb_device* device, const UsbAddress& where, Known& known);

    libusb_context* context_;
    std::map<UsbAddress, Known> known_;
    std::set<UsbAddress> refused_;
    std::map<UsbAddress, bool> driverBound_;  // as of the last scan
    std::set<UsbAddress> reported_;
};

}  // namespace korvel::usb
