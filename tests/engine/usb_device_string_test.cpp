#include <gtest/gtest.h>

#include <string>

#include "usb/udev_rule.h"
#include "usb/usb_device_string.h"

namespace korvel::usb {
namespace {

TEST(UsbDeviceString, GoodFormsAndTheirCanonicalText) {
    const struct {
        const char* text;
        uint16_t vendor, product;
        const char* serial;
        const char* canonical;
    } cases[] = {
        {"usb:1209:7720", 0x1209, 0x7720, "", "usb:1209:7720"},
        {"usb:a:B0", 0x000A, 0x00B0, "", "usb:000a:00b0"},
        {"usb:FfFf:0:SN 1:2", 0xFFFF, 0x0000, "SN 1:2", "usb:ffff:0000:SN 1:2"},
    };
    UsbSelector selector;
    std::string error;
    ASSERT_TRUE(ParseUsbDeviceString("usb", selector, error));
    EXPECT_TRUE(selector.byGuid);
    EXPECT_EQ(FormatUsbDeviceString(selector), "usb");
    for (const auto& c : cases) {
        ASSERT_TRUE(ParseUsbDeviceString(c.text, selector, error)) << c.text << ": " << error;
        EXPECT_FALSE(selector.byGuid);
        EXPECT_EQ(selector.vendorId, c.vendor) << c.text;
        EXPECT_EQ(selector.productId, c.product) << c.text;
        EXPECT_EQ(selector.serial, c.serial) << c.text;
        EXPECT_EQ(FormatUsbDeviceString(selector), c.canonical);
    }
}

TEST(UsbDeviceString, BadFormsShowTheAcceptedOnes) {
    const std::string bad[] = {"usb:",          "usb:1209",
                               "usb:1209:",     "usb:12345:1",
                               "usb:xyz:1",     "usb::7720",
                               "usb:0x12:7720", "usb:1209:7720:",
                               "usb:1:2:SN\n",  std::string("usb:1:2:S\0N", 11),
                               "usbx"};
    for (const std::string& text : bad) {
        UsbSelector selector;
        std::string error;
        EXPECT_FALSE(ParseUsbDeviceString(text, selector, error)) << text;
        EXPECT_TRUE(selector.byGuid) << text;  // untouched
        EXPECT_NE(error.find("use usb, usb:VVVV:PPPP or usb:VVVV:PPPP:SERIAL"), std::string::npos);
    }
    UsbSelector selector;
    std::string error;
    ParseUsbDeviceString("usb:12g4:1", selector, error);
    EXPECT_EQ(error,
              "Unknown USB device \"usb:12g4:1\": use usb, usb:VVVV:PPPP or usb:VVVV:PPPP:SERIAL "
              "(IDs in hexadecimal).");
    // A control character is shown, not sent to the terminal.
    ParseUsbDeviceString("usb:1:2:\x1b[2J", selector, error);
    EXPECT_NE(error.find("\"usb:1:2:\\x1B[2J\""), std::string::npos) << error;
    EXPECT_TRUE(LooksLikeUsbDevice("usb:zz"));
    EXPECT_FALSE(LooksLikeUsbDevice("usbx"));
}

TEST(UdevRules, OneLinePerDistinctPairAfterTheInstructions) {
    EXPECT_EQ(UdevRules({{0x1209, 0x7720}, {0x0483, 0xA5F0}, {0x1209, 0x7720}}),
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
    EXPECT_EQ(UdevRules({}),
              "# KORVEL: lets the logged-in user open the KDX7720C antenna analyzer without root.\n"
              "# No instrument was found. Plug it in and run this again, or give its IDs:\n"
              "#   korvel-sweep --udev-rule usb:VVVV:PPPP\n");
}

}  // namespace
}  // namespace korvel::usb
