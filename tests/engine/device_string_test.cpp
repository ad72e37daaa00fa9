#include <gtest/gtest.h>

#include "device_from_string.h"
#include "sim/sim_transport.h"
#include "stream/stream_transport.h"
#if !defined(_WIN32)
#include "usb/usb_transport.h"
#endif

namespace korvel {
namespace {

TEST(DeviceStringTest, PicksTheLowerLayer) {
    std::string error;
    auto sim = MakeTransport("sim", error);
    ASSERT_NE(sim, nullptr);
    auto* simTransport = dynamic_cast<SimTransport*>(sim.get());
    ASSERT_NE(simTransport, nullptr);
    EXPECT_EQ(simTransport->Instrument().Bench(), SimBench::Antenna);
    EXPECT_EQ(sim->CountDevices(), 1);

    auto unix = MakeTransport("unix:/tmp/no-such-korvel.sock", error);
    ASSERT_NE(dynamic_cast<StreamTransport*>(unix.get()), nullptr);
    EXPECT_EQ(unix->CountDevices(), 0);
    EXPECT_FALSE(unix->OpenDevice());

    auto tcp = MakeTransport("tcp:127.0.0.1:5025", error);
    auto* stream = dynamic_cast<StreamTransport*>(tcp.get());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Endpoint().port, 5025);
}

TEST(DeviceStringTest, EmptyStringIsThePlatformLayer) {
    std::string error;
    auto platform = MakeTransport("", error);
    ASSERT_NE(platform, nullptr);
#if !defined(_WIN32)
    // No USB instrument is plugged into a test machine.
    EXPECT_NE(dynamic_cast<usb::UsbTransport*>(platform.get()), nullptr);
    EXPECT_EQ(platform->CountDevices(), 0);
    EXPECT_FALSE(platform->OpenDevice());
    EXPECT_FALSE(platform->IsOpen());
    uint8_t buffer[4] = {};
    EXPECT_EQ(platform->WriteBlock(buffer, 4), 0);
    EXPECT_EQ(platform->ReadBlock(buffer, 4), 0);
#endif
}

TEST(DeviceStringTest, BadStringsGetAClearError) {
    for (const char* bad : {"SIM", "sim:", "USB", "usb:", "usb:1209", "usb:12345:1",
                            "unix:", "tcp:host", "tcp:host:0", " sim"}) {
        std::string error;
        EXPECT_EQ(MakeTransport(bad, error), nullptr) << bad;
        EXPECT_FALSE(CheckDeviceString(bad, error)) << bad;
        EXPECT_NE(error.find('"'), std::string::npos) << bad << ": " << error;
    }
    std::string error;
    MakeTransport("serial:/dev/ttyUSB0", error);
    EXPECT_EQ(error,
              "Unknown device \"serial:/dev/ttyUSB0\": use sim, sim:FILE, usb, "
              "usb:VVVV:PPPP[:SERIAL], unix:PATH, tcp:HOST:PORT or replay:FILE.");
    // The USB forms name what they accept.
    EXPECT_FALSE(CheckDeviceString("usb:xyz:1", error));
    EXPECT_NE(error.find("usb:VVVV:PPPP:SERIAL"), std::string::npos) << error;
#if defined(_WIN32)
    // Windows finds the instrument by its device interface only.
    EXPECT_TRUE(CheckDeviceString("usb", error));
    EXPECT_FALSE(CheckDeviceString("usb:1209:7720", error));
#else
    EXPECT_TRUE(CheckDeviceString("usb:1209:7720:SN 1", error));
#endif
}

}  // namespace
}  // namespace korvel
