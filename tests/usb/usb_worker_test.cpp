// The sweep worker over emulated USB: the same traffic as over the simulator
// in process, and an instrument unplugged mid-transfer and plugged back in.
#include <atomic>

#include "arrival_only_clock.h"
#include "core/sweep_worker.h"
#include "fake_clock.h"
#include "recording_window.h"
#include "sim/sim_fault.h"
#include "sim/sim_transport.h"
#include "traffic_log.h"
#include "usb_test_bus.h"

namespace korvel::testing {
namespace {

// The link's traffic of one whole scan pass with the Smith point.
std::vector<std::string> OnePass(DeviceTransport& transport) {
    TrafficLog log(transport);
    MeasurementState state;
    state.scanRequest = 1;
    RecordingWindow window;
    FakeClock clock;
    SweepWorker worker(log, state, window, clock);
    window.onPassFinished = [&] { worker.RequestStop(); };
    worker.Run();
    EXPECT_EQ(window.passes, 1);
    EXPECT_TRUE(window.messages.empty());
    return log.transfers;
}

TEST_F(UsbLayerTest, AScanPassOverUsbIsByteForByteThePassOverTheSimulator) {
    bus->Plug(EmulatedDevice{});
    const std::vector<std::string> overUsb = OnePass(Transport("usb"));
    SimTransport inProcess(std::make_shared<SimInstrument>());
    const std::vector<std::string> direct = OnePass(inProcess);
    ASSERT_GT(direct.size(), 1000u);
    EXPECT_EQ(overUsb, direct);
}

TEST_F(UsbLayerTest, UnplugMidTransferFailsTheLinkOnceAndAnArrivalReconnects) {
    const int first = bus->Plug(EmulatedDevice{});
    // A time-out far longer than an unplug may take even on a loaded machine.
    usb::UsbTransport& usb = Transport("usb", 20000);
    MeasurementState state;
    state.scanRequest = 1;
    RecordingWindow window;
    ArrivalOnlyClock clock;
    SweepWorker worker(usb, state, window, clock);
    worker.Start();
    ASSERT_TRUE(Eventually([&] { return state.linkUp.load() == 1; }));

    // The instrument stops answering; pull the cable while the worker waits
    // for the reply.
    SimInstrument& sim = bus->Instrument(first);
    const auto commands = [&sim] { return sim.Counters().tunes + sim.Counters().reads; };
    const uint64_t before = commands();
    sim.ArmFault({SimFaultKind::NoReply, 0, 0, kFaultForever});
    ASSERT_TRUE(
        Eventually([&] { return commands() > before && bus->Traffic(first).waitingIn > 0; }));
    const auto pulled = std::chrono::steady_clock::now();
    bus->Unplug(first);
    ASSERT_TRUE(Eventually([&] { return state.linkUp.load() == 0; }));
    // At once, not after the time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::seconds(10));

    // The worker now waits for an arrival (its clock would wait an hour for
    // anything else); plugging in is enough.
    bus->Plug(EmulatedDevice{});
    EXPECT_TRUE(Eventually([&] { return state.linkUp.load() == 1; }));
    worker.RequestStop();
    worker.Join();
    EXPECT_EQ(window.messages, std::vector<std::string>{"USB Link Error！"});
}

}  // namespace
}  // namespace korvel::testing
