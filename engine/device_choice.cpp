#include "device_choice.h"

#include <memory>
#include <string>

#include "platform_transport.h"
#include "record/replay_transport.h"
#include "record/traffic_reader.h"
#include "sim/sim_transport.h"
#include "sim/touchstone_bench.h"
#include "stream/stream_transport.h"
#if !defined(_WIN32)
#include "usb/usb_transport.h"
#endif

namespace korvel {

namespace {

constexpr const char* kSimFilePrefix = "sim:";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string After(const std::string& text, const char* prefix) {
    return text.substr(std::char_traits<char>::length(prefix));
}

bool ReadSimFile(DeviceChoice& out, std::string& error) {
    if (out.path.empty()) {
        error = "\"sim:\" needs a Touchstone file: sim:PATH.s1p or sim:PATH.s2p.";
        return false;
    }
    auto data = std::make_shared<sim::TouchstoneData>();
    if (!sim::ReadTouchstoneFile(out.path, *data, error)) {
        return false;
    }
    out.touchstone = std::move(data);
    return true;
}

bool ReadReplayFile(const std::string& path, std::shared_ptr<const record::Recording>& out,
                    std::string& error) {
    auto recording = std::make_shared<record::Recording>();
    if (!record::LoadRecording(path, *recording, error)) {
        return false;
    }
    out = std::move(recording);
    return true;
}

// "usb" on Windows is the device-interface layer, which finds the instrument
// by the same GUID; it has no way to pick a device by its IDs.
bool ParseUsb(const std::string& text, usb::UsbSelector& selector, std::string& error) {
    if (!usb::ParseUsbDeviceString(text, selector, error)) {
        return false;
    }
#if defined(_WIN32)
    if (!selector.byGuid) {
        error = "\"" + text +
                "\": on Windows the instrument is found by its device interface; "
                "use usb (or no --device).";
        return false;
    }
#endif
    return true;
}

}  // namespace

bool ParseDeviceChoice(const std::string& text, DeviceChoice& out, std::string& error,
                       ReplayFile replay) {
    DeviceChoice choice;
    choice.text = text;
    if (text.empty()) {
        choice.kind = DeviceChoice::Kind::kPlatform;
    } else if (text == kSimDevice) {
        choice.kind = DeviceChoice::Kind::kSim;
    } else if (StartsWith(text, kSimFilePrefix)) {
        choice.kind = DeviceChoice::Kind::kSimFile;
        choice.path = After(text, kSimFilePrefix);
        if (!ReadSimFile(choice, error)) {
            return false;
        }
    } else if (LooksLikeStreamEndpoint(text)) {
        choice.kind = DeviceChoice::Kind::kStream;
        if (!ParseStreamEndpoint(text, choice.endpoint, error)) {
            return false;
        }
    } else if (StartsWith(text, kReplayPrefix)) {
        choice.kind = DeviceChoice::Kind::kReplay;
        choice.path = After(text, kReplayPrefix);
        if (choice.path.empty()) {
            error = "replay needs a file: replay:FILE";
            return false;
        }
        if (replay == ReplayFile::kRead && !ReadReplayFile(choice.path, choice.recording, error)) {
            return false;
        }
    } else if (usb::LooksLikeUsbDevice(text)) {
        choice.kind = DeviceChoice::Kind::kUsb;
        if (!ParseUsb(text, choice.usb, error)) {
            return false;
        }
    } else {
        error = "Unknown device \"" + text + "\": use " + kDeviceForms + ".";
        return false;
    }
    out = std::move(choice);
    return true;
}

std::unique_ptr<DeviceTransport> MakeTransport(const DeviceChoice& choice, std::string& error,
                                               Clock* simClock) {
    switch (choice.kind) {
        case DeviceChoice::Kind::kPlatform:
            return MakePlatformTransport();
        case DeviceChoice::Kind::kSim:
            return std::make_unique<SimTransport>(std::make_shared<SimInstrument>(), simClock);
        case DeviceChoice::Kind::kSimFile: {
            auto instrument = std::make_shared<SimInstrument>();
            instrument->SetTouchstone(choice.touchstone);
            auto transport = std::make_unique<SimTransport>(instrument, simClock);
            transport->SetNotice(sim::TouchstoneRangeNotice(choice.path, *choice.touchstone));
            return transport;
        }
        case DeviceChoice::Kind::kStream:
            return std::make_unique<StreamTransport>(choice.endpoint);
        case DeviceChoice::Kind::kReplay: {
            std::shared_ptr<const record::Recording> recording = choice.recording;
            if (!recording && !ReadReplayFile(choice.path, recording, error)) {
                return nullptr;
            }
            return std::make_unique<ReplayTransport>(std::move(recording), simClock);
        }
        case DeviceChoice::Kind::kUsb:
#if defined(_WIN32)
            return MakePlatformTransport();
#else
            return std::make_unique<usb::UsbTransport>(choice.usb);
#endif
    }
    return nullptr;
}

std::string MeasuredDevice(const DeviceChoice& choice) {
    if (choice.kind == DeviceChoice::Kind::kReplay && choice.recording) {
        return choice.recording->header.device;
    }
    return choice.text.empty() ? usb::kUsbDevice : choice.text;  // the platform's own layer
}

}  // namespace korvel
