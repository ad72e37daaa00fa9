// What the device-layer tests share: an emulated bus made before any libusb
// session and ended after them, and short ways to talk to the instrument.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulated_usb_bus.h"
#include "usb/usb_transport.h"

namespace korvel::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadDetectorsCommand(uint16_t index) {
    return {0x7A, 0xA2, static_cast<uint8_t>(index & 0xFF), static_cast<uint8_t>(index >> 8)};
}
inline const Bytes kTuneTo10MHz{0x7A, 0xA1, 0xF0, 0x21, 0x55, 0x15, 0x01};

// Writes the command and returns the reply's count (its bytes in `reply`).
inline int Exchange(DeviceTransport& transport, const Bytes& command, Bytes* reply = nullptr) {
    transport.WriteBlock(command.data(), static_cast<int>(command.size()));
    Bytes room(64);
    const int got = transport.ReadBlock(room.data(), static_cast<int>(room.size()));
    if (reply != nullptr)
        *reply = Bytes(room.begin(), room.begin() + std::clamp(got, 0, 64));
    return got;
}

// Waits (bounded) until `done` holds; false when it never did.
inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class UsbLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedUsbBus::Available())
            GTEST_SKIP() << "run under umockdev-wrapper";
        bus = std::make_unique<EmulatedUsbBus>();
    }
    void TearDown() override {
        transports.clear();
        bus.reset();
    }

    // A transport for a device string, owned by the test (ended before the bus).
    usb::UsbTransport& Transport(const std::string& device,
                                 unsigned timeoutMs = kTransferTimeoutMs) {
        usb::UsbSelector selector;
        std::string error;
        EXPECT_TRUE(usb::ParseUsbDeviceString(device, selector, error)) << error;
        transports.push_back(std::make_unique<usb::UsbTransport>(selector, timeoutMs));
        return *transports.back();
    }

    // A fresh bus with nothing plugged in (transports made so far end first).
    void NewBus() {
        transports.clear();
        bus.reset();
        bus = std::make_unique<EmulatedUsbBus>();
    }

    std::unique_ptr<EmulatedUsbBus> bus;
    std::vector<std::unique_ptr<usb::UsbTransport>> transports;
};

}  // namespace korvel::testing
