// The tests' shorthand for a device string taken straight to a transport, as
// a program does in two steps (parse once, then make).
#pragma once

#include <memory>
#include <string>

#include "device_choice.h"

namespace korvel {

inline bool CheckDeviceString(const std::string& text, std::string& error) {
    DeviceChoice choice;
    return ParseDeviceChoice(text, choice, error);
}

inline std::unique_ptr<DeviceTransport> MakeTransport(const std::string& text, std::string& error,
                                                      Clock* simClock = nullptr) {
    DeviceChoice choice;
    if (!ParseDeviceChoice(text, choice, error)) {
        return nullptr;
    }
    return MakeTransport(choice, error, simClock);
}

}  // namespace korvel
