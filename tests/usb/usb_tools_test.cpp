// korvel-sweep on the emulated bus, as a user runs it: the device list, the
// udev rule, and a whole measurement over USB.
#include "child_process.h"
#include "usb_test_bus.h"

namespace korvel::testing {
namespace {

ChildResult Sweep(const EmulatedUsbBus& bus, const std::vector<std::string>& args) {
    return RunChild(KORVEL_SWEEP_PATH, args, 60000, bus.ChildEnvironment());
}

TEST_F(UsbLayerTest, ListsTheCandidatesAndWritesTheRuleForThem) {
    EXPECT_EQ(Sweep(*bus, {"--list-devices"}).out, "no USB instrument found\n");

    EmulatedDevice instrument;
    instrument.serial = "KX001";
    const int a = bus->Plug(instrument);
    EmulatedDevice unknown;
    unknown.advert = EmulatedDevice::Advert::kNone;
    unknown.productId = 0x7721;
    const int b = bus->Plug(unknown);
    EmulatedDevice refused = unknown;
    refused.productId = 0x7722;
    const int c = bus->Plug(refused);
    bus->SetAccessible(c, false);
    EmulatedDevice adapter = refused;  // refused too, but a driver holds it
    adapter.productId = 0x7723;
    adapter.driverBound = true;
    const int d = bus->Plug(adapter);
    bus->SetAccessible(d, false);
    EmulatedDevice storage = instrument;  // not vendor-specific: never a candidate
    storage.interfaceClass = 0x08;
    bus->Plug(storage);

    const auto at = [&](int id) { return "001:00" + std::to_string(bus->Address(id)); };
    const ChildResult listed = Sweep(*bus, {"--list-devices"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, at(a) + " 1209:7720 guid \"KDX7720C\" serial \"KX001\"\n" + at(b) +
                              " 1209:7721 ids \"KDX7720C\"\n" + at(c) +
                              " 1209:7722 ids no access\n" + at(d) +
                              " 1209:7723 ids no access driver bound\n");

    // Access for the instrument alone; a device that may be one is only named.
    const ChildResult rule = Sweep(*bus, {"--udev-rule"});
    EXPECT_EQ(rule.exitCode, 0);
    EXPECT_NE(
        rule.out.find("ATTR{idVendor}==\"1209\", ATTR{idProduct}==\"7720\", TAG+=\"uaccess\""),
        std::string::npos)
        << rule.out;
    for (const char* other : {"7721", "7722", "7723"})
        EXPECT_EQ(rule.out.find(std::string("ATTR{idProduct}==\"") + other), std::string::npos)
            << rule.out;
    bus->Unplug(a);
    const ChildResult unsure = Sweep(*bus, {"--udev-rule"});
    EXPECT_EQ(unsure.out.find("ATTR{"), std::string::npos) << unsure.out;
    EXPECT_NE(unsure.err.find("korvel-sweep --udev-rule usb:1209:7722\n"), std::string::npos)
        << unsure.err;
    EXPECT_EQ(unsure.err.find("7723"), std::string::npos) << unsure.err;
    const ChildResult given = Sweep(*bus, {"--udev-rule", "usb:abcd:12"});
    EXPECT_NE(given.out.find("ATTR{idVendor}==\"abcd\", ATTR{idProduct}==\"0012\""),
              std::string::npos);
    EXPECT_EQ(given.out.find("ATTR{idProduct}==\"7720\""), std::string::npos);

    // A malformed one is refused with the forms it could have had.
    const ChildResult refusedArgs = Sweep(*bus, {"--device", "usb:12345:1"});
    EXPECT_EQ(refusedArgs.exitCode, 64);
    EXPECT_NE(refusedArgs.err.find("usb:VVVV:PPPP:SERIAL"), std::string::npos);
}

TEST_F(UsbLayerTest, KorvelSweepMeasuresOverUsbWithNoDeviceGiven) {
    bus->Plug(EmulatedDevice{});
    const ChildResult run =
        Sweep(*bus, {"--disable", "1", "--disable", "2", "--passes", "1", "--format", "json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"ranges\":[{\"range\":3,"), std::string::npos)
        << run.out.substr(0, 200);
    EXPECT_NE(run.out.find("\"s21_db\":"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace korvel::testing
