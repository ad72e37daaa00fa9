#include <gtest/gtest.h>

#include "device_string.h"
#include "sim/sim_transport.h"
#include "stream/stream_transport.h"

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
    EXPECT_EQ(platform->CountDevices(), 0);
    EXPECT_FALSE(platform->OpenDevice());
    EXPECT_FALSE(platform->IsOpen());
    uint8_t buffer[4] = {};
    EXPECT_EQ(platform->WriteBlock(buffer, 4), 0);
    EXPECT_EQ(platform->ReadBlock(buffer, 4), 0);
#endif
}

TEST(DeviceStringTest, BadStringsGetAClearError) {
    for (const char* bad : {"SIM", "sim:", "usb", "unix:", "tcp:host", "tcp:host:0", " sim"}) {
        std::string error;
        EXPECT_EQ(MakeTransport(bad, error), nullptr) << bad;
        EXPECT_NE(error.find('"'), std::string::npos) << bad << ": " << error;
    }
    std::string error;
    MakeTransport("usb", error);
    EXPECT_EQ(error, "Unknown device \"usb\": use sim, unix:PATH or tcp:HOST:PORT.");
}

}  // namespace
}  // namespace korvel
