#include "usb_commands.h"

#include <algorithm>
#include <vector>

#include "sweep_options.h"
#include "usb/udev_rule.h"
#include "usb/usb_context.h"
#include "usb/usb_device_string.h"
#include "usb/usb_inventory.h"

namespace korvel::sweep {

namespace {

// A device's string as it may be shown between quotes on one line.
std::string Printable(const std::string& text) {
    std::string shown = text;
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c < 0x20 || c > 0x7E || c == '"'; }, '?');
    return shown;
}

std::string ListingLine(const usb::UsbCandidate& device) {
    std::string line = usb::DescribeAddress(device.where);
    line += device.advertisesGuid ? " guid" : " ids";
    if (!device.product.empty())
        line += " \"" + Printable(device.product) + "\"";
    if (!device.serial.empty())
        line += " serial \"" + Printable(device.serial) + "\"";
    if (device.accessDenied)
        line += " no access";
    if (device.driverBound)
        line += " driver bound";
    return line;
}

// "usb:VVVV:PPPP" of a device.
std::string IdsOf(const usb::UsbAddress& where) {
    usb::UsbSelector ids;
    ids.byGuid = false;
    ids.vendorId = where.vendorId;
    ids.productId = where.productId;
    return usb::FormatUsbDeviceString(ids);
}

}  // namespace

int ListUsbDevices(std::ostream& out, std::ostream& err) {
    usb::UsbContext context;
    if (!context.Ready()) {
        err << "korvel-sweep: " << context.Error() << "\n";
        out << "no USB instrument found\n";
        return kExitOk;
    }
    usb::UsbInventory inventory(context.Get());
    const std::vector<usb::UsbCandidate> devices = inventory.Scan(usb::UsbSelector{});
    if (devices.empty())
        out << "no USB instrument found\n";
    for (const usb::UsbCandidate& device : devices)
        out << ListingLine(device) << "\n";
    return out.flush() ? kExitOk : kExitOutputFailed;
}

int PrintUdevRule(const std::string& ids, std::ostream& out, std::ostream& err) {
    usb::UsbSelector selector;
    std::string error;
    if (!ids.empty() && !usb::ParseUsbDeviceString(ids, selector, error)) {
        err << "korvel-sweep: --udev-rule: " << error << "\n";
        return kExitUsage;
    }
    std::vector<usb::UsbIds> rule;
    if (!selector.byGuid) {
        rule.push_back({selector.vendorId, selector.productId});
    } else {
        usb::UsbContext context;
        if (!context.Ready())
            err << "korvel-sweep: " << context.Error() << "\n";
        usb::UsbInventory inventory(context.Get());
        const std::vector<usb::UsbCandidate> devices =
            context.Ready() ? inventory.Scan(selector) : std::vector<usb::UsbCandidate>{};
        for (const usb::UsbCandidate& device : devices) {
            if (device.advertisesGuid)
                rule.push_back({device.where.vendorId, device.where.productId});
        }
        // A device this user may not open cannot say whether it is the
        // instrument: it gets no access unless the user names it.
        for (const usb::UsbCandidate& device : devices) {
            if (device.accessDenied && !device.driverBound && rule.empty()) {
                err << "korvel-sweep: " << usb::DescribeAddress(device.where)
                    << " could not be opened to check whether it is the instrument; if it is:\n"
                    << "  korvel-sweep --udev-rule " << IdsOf(device.where) << "\n";
            }
        }
    }
    out << usb::UdevRules(rule);
    return out.flush() ? kExitOk : kExitOutputFailed;
}

}  // namespace korvel::sweep
