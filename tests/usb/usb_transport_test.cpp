// The libusb device layer against emulated devices: which device it takes,
// and how it keeps replies apart when the instrument misbehaves.
#include <algorithm>

#include "sim/sim_fault.h"
#include "usb_test_bus.h"

namespace korvel::testing {
namespace {

using Advert = EmulatedDevice::Advert;

EmulatedDevice Device(Advert advert, const std::string& serial = "") {
    EmulatedDevice device;
    device.advert = advert;
    device.serial = serial;
    return device;
}

TEST_F(UsbLayerTest, TakesTheDeviceThatAdvertisesTheGuidOrHasTheIds) {
    EmulatedDevice otherGuid = Device(Advert::kMsOs20);
    otherGuid.interfaceGuid = "{00112233-4455-6677-8899-AABBCCDDEEFF}";
    EmulatedDevice stalling = Device(Advert::kMsOs20);
    stalling.stallDescriptorRequests = true;
    struct Case {
        const char* what;
        std::vector<EmulatedDevice> plugged;
        const char* device;
        int count;
        int opened;  // index into `plugged`, -1: none
    };
    const std::vector<Case> cases = {
        {"MS OS 2.0", {Device(Advert::kMsOs20)}, "usb", 1, 0},
        {"MS OS 1.0", {Device(Advert::kMsOs10)}, "usb", 1, 0},
        {"nothing plugged in", {}, "usb", 0, -1},
        {"another GUID", {otherGuid}, "usb", 0, -1},
        {"no GUID", {Device(Advert::kNone)}, "usb", 0, -1},
        {"no GUID, by IDs", {Device(Advert::kNone)}, "usb:1209:7720", 1, 0},
        {"by serial among two",
         {Device(Advert::kNone, "A1"), Device(Advert::kNone, "B2")},
         "usb:1209:7720:B2",
         1,
         1},
        {"other IDs", {Device(Advert::kMsOs20)}, "usb:1209:7721", 0, -1},
        {"two instruments", {Device(Advert::kMsOs20), Device(Advert::kMsOs20)}, "usb", 2, 0},
        {"stalls while descriptors are read", {stalling}, "usb", 0, -1},
        {"stalls, by IDs", {stalling}, "usb:1209:7720", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewBus();
        std::vector<int> ids;
        for (const EmulatedDevice& device : c.plugged)
            ids.push_back(bus->Plug(device));
        usb::UsbTransport& usb = Transport(c.device);
        EXPECT_EQ(usb.CountDevices(), c.count);
        ASSERT_EQ(usb.OpenDevice(), c.opened >= 0);
        if (c.opened < 0)
            continue;
        EXPECT_EQ(usb.OpenAddress().address, bus->Address(ids[c.opened]));
        EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(767)), 18);
        usb.CloseDevice();
        EXPECT_EQ(bus->Traffic(ids[c.opened]).claims, 1);
        EXPECT_EQ(bus->Traffic(ids[c.opened]).releases, 1);
        EXPECT_TRUE(usb.TakeNotice().empty());
    }
}

TEST_F(UsbLayerTest, RepliesOfTheWrongSizeOrTooLateNeverPassForTheNextOne) {
    const int id = bus->Plug(Device(Advert::kMsOs20));
    SimInstrument& sim = bus->Instrument(id);
    // A short time-out keeps the test quick; the rules are the same.
    usb::UsbTransport& usb = Transport("usb", 200);
    ASSERT_TRUE(usb.OpenDevice());
    Bytes reply;

    // Never answered: nothing after the time-out, and the next one is whole.
    sim.ArmFault({SimFaultKind::NoReply});
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 0);
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 18);

    // Answered after the time-out: the late detector reply waits in the
    // device and is dropped before the next command, which gets its own.
    sim.ArmFault({SimFaultKind::LateReply, 400});
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(Exchange(usb, kTuneTo10MHz, &reply), 2);
    EXPECT_GT(bus->Traffic(id).discarded, 0);

    // Short, one byte long, and far too long (many packets): each is counted
    // as it came, and nothing of it reaches the next reply.
    for (int length : {17, 19, 2000}) {
        SCOPED_TRACE(length);
        sim.ArmFault({SimFaultKind::ReplyLength, length});
        EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), std::min(length, 64));
        EXPECT_EQ(Exchange(usb, kTuneTo10MHz, &reply), 2);
        EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 18);
    }
}

TEST_F(UsbLayerTest, ALateReplyOrAStallIsClearedAcrossAReconnection) {
    const int id = bus->Plug(Device(Advert::kMsOs20));
    usb::UsbTransport& usb = Transport("usb", 200);
    ASSERT_TRUE(usb.OpenDevice());
    Bytes own, got;
    ASSERT_EQ(Exchange(usb, ReadDetectorsCommand(900), &own), 18);
    // The reply to record 5 comes after its time-out and after the worker has
    // dropped the link and opened it again: it must not pass for record 900's.
    bus->Instrument(id).ArmFault({SimFaultKind::LateReply, 900});
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 0);
    usb.CloseDevice();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(usb.OpenDevice());
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(900), &got), 18);
    // Bytes 10 to 17: the record's calibration words (the rest is live noise).
    EXPECT_EQ(Bytes(got.begin() + 10, got.end()), Bytes(own.begin() + 10, own.end()));
    // A stalled IN endpoint fails one exchange; the halt is cleared, so the
    // next connection works.
    bus->HaltIn(id);
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(900)), 0);
    usb.CloseDevice();
    ASSERT_TRUE(usb.OpenDevice());
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(900)), 18);
}

TEST_F(UsbLayerTest, InterruptCutsAWaitingTransferShortForGood) {
    const int id = bus->Plug(Device(Advert::kMsOs20));
    // A time-out far longer than the cut may take even on a loaded machine.
    usb::UsbTransport& usb = Transport("usb", 20000);
    ASSERT_TRUE(usb.OpenDevice());
    bus->Instrument(id).ArmFault({SimFaultKind::NoReply});
    const Bytes command = ReadDetectorsCommand(5);
    ASSERT_EQ(usb.WriteBlock(command.data(), 4), 4);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        usb.Interrupt();
    });
    const auto start = std::chrono::steady_clock::now();
    uint8_t room[64];
    EXPECT_EQ(usb.ReadBlock(room, 64), 0);
    // Well before the time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    stopper.join();
    EXPECT_EQ(Exchange(usb, ReadDetectorsCommand(5)), 0);
}

TEST_F(UsbLayerTest, ARefusedDeviceIsReportedOnceAndTakenWhenAccessIsGranted) {
    // A serial adapter the user may not open either: its driver says it is
    // no instrument, so it is not worth a word.
    EmulatedDevice adapter = Device(Advert::kNone);
    adapter.vendorId = 0x0403;
    adapter.productId = 0x6001;
    adapter.driverBound = true;
    bus->SetAccessible(bus->Plug(adapter), false);
    const int id = bus->Plug(Device(Advert::kMsOs20));
    bus->SetAccessible(id, false);
    usb::UsbTransport& usb = Transport("usb");
    EXPECT_EQ(usb.CountDevices(), 0);
    const std::string notice = usb.TakeNotice();
    EXPECT_NE(notice.find("001:00" + std::to_string(bus->Address(id)) + " 1209:7720"),
              std::string::npos)
        << notice;
    EXPECT_NE(notice.find("korvel-sweep --udev-rule usb:1209:7720 | sudo tee "
                          "/etc/udev/rules.d/70-korvel.rules"),
              std::string::npos)
        << notice;
    EXPECT_EQ(notice.find("0403:6001"), std::string::npos) << notice;
    // Not again at every look.
    EXPECT_EQ(usb.CountDevices(), 0);
    EXPECT_FALSE(usb.OpenDevice());
    EXPECT_EQ(usb.TakeNotice(), "");

    bus->SetAccessible(id, true);
    EXPECT_EQ(usb.CountDevices(), 1);
    EXPECT_TRUE(usb.OpenDevice());
    EXPECT_EQ(usb.TakeNotice(), "");
    // Another refused device is not worth a word while the instrument works.
    // (The emulation serves one open of a node at a time: close it first.)
    usb.CloseDevice();
    EmulatedDevice reader = Device(Advert::kNone);
    reader.productId = 0x609C;
    bus->SetAccessible(bus->Plug(reader), false);
    usb::UsbTransport& fresh = Transport("usb");
    EXPECT_EQ(fresh.CountDevices(), 1);
    EXPECT_EQ(fresh.TakeNotice(), "");

    // By IDs the device counts, but the open is refused: said once too.
    bus->SetAccessible(id, false);
    usb::UsbTransport& byIds = Transport("usb:1209:7720");
    EXPECT_EQ(byIds.CountDevices(), 1);
    EXPECT_FALSE(byIds.OpenDevice());
    EXPECT_FALSE(byIds.OpenDevice());
    EXPECT_NE(byIds.TakeNotice().find("may be the instrument"), std::string::npos);
    EXPECT_EQ(byIds.TakeNotice(), "");
}

}  // namespace
}  // namespace korvel::testing
