// korvel-sweep's USB helpers: the list of devices that could be the
// instrument, and the udev rule that grants the logged-in user access.
#pragma once

#include <ostream>
#include <string>

namespace korvel::sweep {

// One line per candidate device (or "no USB instrument found"); exit status.
int ListUsbDevices(std::ostream& out, std::ostream& err);

// The rules file for `ids` (a USB device string with IDs) or, when empty,
// for the instruments plugged in; exit status.
int PrintUdevRule(const std::string& ids, std::ostream& out, std::ostream& err);

}  // namespace korvel::sweep
