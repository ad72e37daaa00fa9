// The device string "replay:FILE": a recording played back as the instrument.
#pragma once

#include <memory>
#include <string>

#include "clock.h"
#include "device_transport.h"

namespace korvel {

inline constexpr const char* kReplayPrefix = "replay:";

bool IsReplayDevice(const std::string& device);

// Reads and checks the whole recording; false with a message naming the
// file and line otherwise.
bool CheckReplayDevice(const std::string& device, std::string& error);

// Null with the same messages as CheckReplayDevice. Replayed time-outs
// advance `clock` when one is given.
std::unique_ptr<DeviceTransport> MakeReplayTransport(const std::string& device, std::string& error,
                                                     Clock* clock = nullptr);

}  // namespace korvel
