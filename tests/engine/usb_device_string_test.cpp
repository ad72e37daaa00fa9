#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "usb/udev_rule.h"
#include "usb/usb_device_string.h"

namespace korvel::usb {
namespace {

TEST(UsbDeviceString, GoodForms) {
    struct Case {
        const char* text;
        bool byGuid;
        uint16_t vendor;
        uint16_t product;
        const char* serial;
        const char* canonical;
    };
    const Case cases[] = {
        {"usb", true, 0, 0, "", "usb"},
        {"usb:1209:7720", false, 0x1209, 0x7720, "", "usb:1209:7720"},
        {"usb:a:B0", false, 0x000A, 0x00B0, "", "usb:000a:00b0"},
        {"usb:FfFf:0:SN 1:2", false, 0xFFFF, 0x0000, "SN 1:2", "usb:ffff:0000:SN 1:2"},
    };
    for (const Case& c : cases) {
        UsbSelector selector;
        std::string error;
        ASSERT_TRUE(ParseUsbDeviceString(c.text, selector, error)) << c.text << ": " << error;
        EXPECT_TRUE(LooksLikeUsbDevice(c.text));
        EXPECT_EQ(selector.byGuid, c.byGuid) << c.text;
        if (!c.byGuid) {
            EXPECT_EQ(selector.vendorId, c.vendor) << c.text;
            EXPECT_EQ(selector.productId, c.product) << c.text;
        }
        EXPECT_EQ(selector.serial, c.serial) << c.text;
        EXPECT_EQ(FormatUsbDeviceString(selector), c.canonical);
    }
}

TEST(UsbDeviceString, BadFormsShowTheAcceptedOnes) {
    const std::string bad[] = {"usb:",
                               "usb:1209",
                               "usb:1209:",
                               "usb:12345:1",
                               "usb:xyz:1",
                               "usb:1209:7720:",
                               "usb:1209:-1",
                               "usb::7720",
                               "usb:0x12:7720",
                               "usb:1209:7720:SN\n",
                               std::string("usb:1209:7720:S\0N", 17)};
    for (const std::string& text : bad) {
        UsbSelector selector;
        std::string error;
        EXPECT_FALSE(ParseUsbDeviceString(text, selector, error)) << text;
        EXPECT_TRUE(selector.byGuid) << text;  // untouched
        EXPECT_NE(error.find("use usb, usb:VVVV:PPPP or usb:VVVV:PPPP:SERIAL"), std::string::npos)
            << error;
    }
    UsbSelector selector;
    std::string error;
    EXPECT_FALSE(ParseUsbDeviceString("usb:12g4:1", selector, error));
    EXPECT_EQ(error,
              "Unknown USB device \"usb:12g4:1\": use usb, usb:VVVV:PPPP or usb:VVVV:PPPP:SERIAL "
              "(IDs in hexadecimal).");
    // A control character is shown, not sent to the terminal.
    EXPECT_FALSE(ParseUsbDeviceString("usb:1:2:\x1b[2J", selector, error));
    EXPECT_NE(error.find("\"usb:1:2:\\x1B[2J\""), std::string::npos) << error;

    EXPECT_FALSE(ParseUsbDeviceString("usbx", selector, error));
    EXPECT_FALSE(LooksLikeUsbDevice("usbx"));
    EXPECT_FALSE(LooksLikeUsbDevice("USB"));
    EXPECT_FALSE(LooksLikeUsbDevice("sim"));
}

TEST(UdevRules, OneLinePerDistinctPairAfterTheInstructions) {
    const std::string rules = UdevRules({{0x1209, 0x7720}, {0x0483, 0xA5F0}, {0x1209, 0x7720}});
    EXPECT_EQ(rules,
              "# KORVEL: lets the logged-in user open the KDX7720C antenna analyzer without root.\n"
              "# Install it, then unplug the instrument and plug it in again:\n"
              "#   korvel-sweep --udev-rule | sudo tee /etc/udev/rules.d/70-korvel.rules\n"
              "#   sudo udevadm control --reload\n"
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"1209\", ATTR{idProduct}==\"7720\", "
              "TAG+=\"uaccess\"\n"
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0483\", ATTR{idProduct}==\"a5f0\", "
              "TAG+=\"uaccess\"\n");
}

TEST(UdevRules, NoIdsIsOnlyAComment) {
    const std::string rules = UdevRules({});
    EXPECT_NE(rules.find("korvel-sweep --udev-rule usb:VVVV:PPPP"), std::string::npos);
    std::size_t at = 0;
    while (at < rules.size()) {
        EXPECT_EQ(rules[at], '#') << rules;
        at = rules.find('\n', at) + 1;
        ASSERT_NE(at, 0u) << "unterminated line";
    }
}

}  // namespace
}  // namespace korvel::usb
