// An emulated USB bus for end-to-end tests of the libusb device layer: a
// umockdev testbed (temporary sysfs and /dev/bus/usb) whose device nodes are
// answered in process by a usbfs ioctl handler. libusb itself runs unchanged.
// The instrument's bulk commands are answered by the simulated instrument.
//
// The test program must run with umockdev's preload library (umockdev-wrapper
// in front of it); Available() says whether it does. Make libusb contexts
// after the bus and end them before it: its destructor unplugs everything.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_instrument.h"

namespace korvel::testing {

struct EmulatedDevice {
    enum class Advert { kNone, kMsOs20, kMsOs10 };

    uint16_t vendorId = 0x1209;
    uint16_t productId = 0x7720;
    std::string manufacturer = "KDX";
    std::string product = "KDX7720C";
    std::string serial;  // empty: no serial-number string
    Advert advert = Advert::kMsOs20;
    std::string interfaceGuid = "{4B6C73B2-015B-4855-8BB1-A7A6C03AFA87}";
    uint8_t interfaceClass = 0xFF;  // vendor-specific
    // A kernel driver holds interface 0 (as a serial adapter's does): sysfs
    // shows its driver link.
    bool driverBound = false;
    // Every control request while descriptors are read (BOS, string 0xEE,
    // the vendor requests) stalls.
    bool stallDescriptorRequests = false;
    // Answers the bulk commands; a fresh one (noise seed 1) when null.
    std::shared_ptr<SimInstrument> instrument;
};

// What the handler saw on one device.
struct EmulatedTraffic {
    int bulkOut = 0;          // OUT URBs completed
    int bulkIn = 0;           // IN URBs completed with a packet
    int discarded = 0;        // URBs the program discarded (cancelled)
    int controlRequests = 0;  // control URBs
    int claims = 0;           // CLAIMINTERFACE
    int releases = 0;         // RELEASEINTERFACE
    int waitingIn = 0;        // IN URBs waiting for a packet right now
};

class EmulatedUsbBus {
  public:
    // True when umockdev's preload library is active in this process.
    static bool Available();

    EmulatedUsbBus();
    ~EmulatedUsbBus();  // unplugs every device, removes the testbed
    EmulatedUsbBus(const EmulatedUsbBus&) = delete;
    EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;

    // Adds a device on bus 1 at the next address (hot-plug "add" event);
    // returns its id for the calls below.
    int Plug(const EmulatedDevice& device);
    // As a cable pulled: URBs in flight complete with -ESHUTDOWN, every later
    // ioctl fails with ENODEV, a "remove" event, then the device is gone.
    void Unplug(int id);

    int BusNumber(int id) const;
    int Address(int id) const;
    SimInstrument& Instrument(int id);
    EmulatedTraffic Traffic(int id) const;

    // When false, opening the device node fails with EACCES (libusb:
    // LIBUSB_ERROR_ACCESS), also for a test that runs as root: the
    // constructor takes from its thread, and the threads and programs that
    // thread starts later, root's power to override file permissions.
    void SetAccessible(int id, bool accessible);
    // Stalls the bulk IN endpoint: every IN URB fails with -EPIPE until the
    // program clears the halt.
    void HaltIn(int id);

    // Environment a child process needs to see this bus (it must run with the
    // preload library too), as "NAME=value" strings.
    std::vector<std::string> ChildEnvironment() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvel::testing
