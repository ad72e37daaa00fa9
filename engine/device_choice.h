// Which lower layer of the device link a program talks to, decided once from
// the device string the user gave:
//   "sim"            the simulated instrument, in process
//   "sim:PATH"       the same, measuring a Touchstone file (.s1p or .s2p)
//   "unix:PATH"      an instrument process on a Unix-domain socket
//   "tcp:HOST:PORT"  an instrument process over TCP
//   "usb"            the USB device that advertises the instrument's GUID
//   "usb:VVVV:PPPP[:SERIAL]"  the USB device with these IDs (not on Windows)
//   "replay:FILE"    a recording of an instrument's traffic, played back
//   ""               the platform's own instrument layer ("usb")
// The files a choice names are read and checked while parsing, once; the
// transport is made from what was read.
#pragma once

#include <memory>
#include <string>

#include "clock.h"
#include "device_transport.h"
#include "stream/stream_endpoint.h"
#include "usb/usb_device_string.h"

namespace korvel {

namespace sim {
struct TouchstoneData;
}  // namespace sim
namespace record {
struct Recording;
}  // namespace record

inline constexpr const char* kSimDevice = "sim";
inline constexpr const char* kReplayPrefix = "replay:";

// Every form a device string may take, for help texts and messages.
inline constexpr const char* kDeviceForms =
    "sim, sim:FILE, usb, usb:VVVV:PPPP[:SERIAL], unix:PATH, tcp:HOST:PORT or replay:FILE";
// The same forms, a line each with what they mean, for --device's help.
inline constexpr const char* kDeviceFormsHelp =
    "sim: the built-in simulated instrument\n"
    "sim:FILE: the same, measuring a Touchstone file (.s1p, .s2p)\n"
    "usb: the USB instrument (found by its interface GUID)\n"
    "usb:VVVV:PPPP[:SERIAL]: the USB device with these IDs\n"
    "unix:PATH: an instrument process on the Unix socket PATH\n"
    "tcp:HOST:PORT: an instrument process at HOST:PORT\n"
    "replay:FILE: play back a recording made with --record";

struct DeviceChoice {
    enum class Kind { kPlatform, kSim, kSimFile, kStream, kUsb, kReplay };

    Kind kind = Kind::kPlatform;
    std::string text;  // as given, for the recordings' header and messages
    std::string path;  // the file of sim:PATH and replay:FILE
    std::shared_ptr<const sim::TouchstoneData> touchstone;  // sim:PATH
    std::shared_ptr<const record::Recording> recording;     // replay:FILE, once read
    StreamEndpoint endpoint;                                // unix: and tcp:
    usb::UsbSelector usb;                                   // usb and usb:...
};

enum class ReplayFile {
    kRead,   // a recording is read and checked while parsing
    kLater,  // only its name is checked; MakeTransport reads it
};

// False with a message for the user in `error` for a string no layer takes.
bool ParseDeviceChoice(const std::string& text, DeviceChoice& out, std::string& error,
                       ReplayFile replay = ReplayFile::kRead);

// The transport of a parsed choice. Null with a message only for a recording
// left to be read now that turns out unusable. The simulated instrument's
// (and a replay's) time-outs advance `simClock` when one is given.
std::unique_ptr<DeviceTransport> MakeTransport(const DeviceChoice& choice, std::string& error,
                                               Clock* simClock = nullptr);

// The instrument a choice measures: for a replay, the device of the recorded
// run; otherwise the string as given.
std::string MeasuredDevice(const DeviceChoice& choice);

}  // namespace korvel
