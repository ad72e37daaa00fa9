// The udev rule that lets the logged-in user open the instrument without root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::usb {

struct UsbIds {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    friend bool operator==(const UsbIds&, const UsbIds&) = default;
};

// Where the README installs the rule (before systemd's 73-seat-late.rules,
// which turns the uaccess tag into an ACL for the seat's user).
inline constexpr const char* kUdevRulePath = "/etc/udev/rules.d/70-korvel.rules";

// A rules file: a comment saying what it is and how to install it, then one
// line per distinct ID pair (duplicates dropped, order kept) granting access
// with TAG+="uaccess". With no IDs, the comment says no device was found and
// shows how to give the IDs.
std::string UdevRules(const std::vector<UsbIds>& ids);

}  // namespace korvel::usb
