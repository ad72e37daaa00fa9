#include "udev_rule.h"

#include <algorithm>
#include <cstdio>

namespace korvel::usb {

namespace {

constexpr const char* kTitle =
    "# KORVEL: lets the logged-in user open the KDX7720C antenna analyzer without root.\n";

std::string RuleLine(const UsbIds& ids) {
    // sysfs shows the IDs as four lower-case hex digits.
    char line[128];
    std::snprintf(line, sizeof line,
                  "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", "
                  "TAG+=\"uaccess\"\n",
                  ids.vendorId, ids.productId);
    return line;
}

}  // namespace

std::string UdevRules(const std::vector<UsbIds>& ids) {
    std::string text = kTitle;
    if (ids.empty()) {
        text +=
            "# No instrument was found. Plug it in and run this again, or give its IDs:\n"
            "#   korvel-sweep --udev-rule usb:VVVV:PPPP\n";
        return text;
    }
    text += std::string("# Install it, then unplug the instrument and plug it in again:\n") +
            "#   korvel-sweep --udev-rule | sudo tee " + kUdevRulePath + "\n" +
            "#   sudo udevadm control --reload\n";
    std::vector<UsbIds> written;
    for (const UsbIds& pair : ids) {
        if (std::find(written.begin(), written.end(), pair) == written.end()) {
            written.push_back(pair);
            text += RuleLine(pair);
        }
    }
    return text;
}

}  // namespace korvel::usb
