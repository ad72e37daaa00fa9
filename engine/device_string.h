// Picks the lower layer of the device link from a device string:
//   "sim"            the simulated instrument, in process
//   "sim:PATH"       the same, measuring a Touchstone file (.s1p or .s2p)
//   "unix:PATH"      an instrument process on a Unix-domain socket
//   "tcp:HOST:PORT"  an instrument process over TCP
//   "usb"            the USB device that advertises the instrument's GUID
//   "usb:VVVV:PPPP[:SERIAL]"  the USB device with these IDs (not on Windows)
//   "replay:FILE"    a recording of an instrument's traffic, played back
//   ""               the platform's own instrument layer ("usb")
#pragma once

#include <memory>
#include <string>

#include "clock.h"
#include "device_transport.h"

namespace korvel {

inline constexpr const char* kSimDevice = "sim";

// True for a string MakeTransport takes ("" included); false with a message
// in `error` otherwise. Nothing is opened, but a sim:PATH file and a
// recording to replay are read and checked whole.
bool CheckDeviceString(const std::string& device, std::string& error);

// Returns null with a message in `error` for a string it cannot use. The
// simulated instrument's (and a replay's) time-outs advance `simClock` when
// one is given.
std::unique_ptr<DeviceTransport> MakeTransport(const std::string& device, std::string& error,
                                               Clock* simClock = nullptr);

}  // namespace korvel
