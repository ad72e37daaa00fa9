#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "usb/ms_os_descriptors.h"

namespace korvel::usb {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kGuidA = "4B6C73B2-015B-4855-8BB1-A7A6C03AFA87";
constexpr const char* kGuidB = "11111111-2222-3333-4444-555555555555";
constexpr const char* kGuidC = "ABCDEF01-2345-6789-ABCD-EF0123456789";
constexpr const char* kGuidD = "00000000-0000-0000-0000-00000000000D";

void Word(Bytes& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Dword(Bytes& b, uint32_t v) {
    Word(b, v & 0xFFFF);
    Word(b, v >> 16);
}

// UTF-16LE of `text` with a terminating NUL; embedded '\0's separate strings.
Bytes Utf16(std::string_view text) {
    Bytes b;
    for (const char c : text) {
        Word(b, static_cast<unsigned char>(c));
    }
    Word(b, 0);
    return b;
}

void Append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// An MS OS 2.0 registry property descriptor.
Bytes Property20(unsigned type, std::string_view name, const Bytes& data) {
    const Bytes n = Utf16(name);
    Bytes b;
    Word(b, 10 + n.size() + data.size());
    Word(b, 4);
    Word(b, type);
    Word(b, n.size());
    Append(b, n);
    Word(b, data.size());
    Append(b, data);
    return b;
}

// An MS OS 1.0 extended property section.
Bytes Section10(uint32_t type, std::string_view name, const Bytes& data) {
    const Bytes n = Utf16(name);
    Bytes b;
    Dword(b, 14 + n.size() + data.size());
    Dword(b, type);
    Word(b, n.size());
    Append(b, n);
    Dword(b, data.size());
    Append(b, data);
    return b;
}

// A BOS descriptor: a USB 2.0 extension, a platform capability of some
// other kind whose bytes would read as the newest entry, then the Microsoft
// OS 2.0 capability with four entries: Windows 8.1, 10 and 8, and a newer
// one with no descriptor set.
const Bytes kBos = {
    0x05, 0x0F, 0x5C, 0x00, 0x03,                    // BOS header, 92 bytes
    0x07, 0x10, 0x02, 0x02, 0x00, 0x00, 0x00,        // USB 2.0 extension
    0x1C, 0x10, 0x05, 0x00,                          // platform capability
    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,  //   another UUID
    0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,  //
    0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x00, 0x77, 0x00,  //
    0x34, 0x10, 0x05, 0x00,                          // platform capability
    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,  //   MS OS 2.0 UUID
    0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F,  //
    0x00, 0x00, 0x03, 0x06, 0xB2, 0x00, 0x01, 0x00,  //   Windows 8.1
    0x00, 0x00, 0x00, 0x0A, 0xA2, 0x00, 0x02, 0x00,  //   Windows 10
    0x00, 0x00, 0x02, 0x06, 0xC2, 0x00, 0x04, 0x00,  //   Windows 8
    0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x03, 0x00,  //   newer, no set
};

TEST(MsOs20Platform, NewestEntryOfTheRightCapabilityWins) {
    const auto found = FindMsOs20Platform(kBos.data(), kBos.size());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->vendorCode, 0x02);
    EXPECT_EQ(found->totalLength, 0xA2);
}

TEST(MsOs20Platform, EveryTruncationGivesNothing) {
    // The capability is last: any shorter read lacks part of it.
    for (std::size_t n = 0; n < kBos.size(); ++n) {
        const Bytes prefix(kBos.begin(), kBos.begin() + n);
        EXPECT_FALSE(FindMsOs20Platform(prefix.data(), prefix.size())) << n;
    }
}

TEST(MsOs20Platform, NoCapabilityOrBrokenHeader) {
    Bytes other(kBos.begin(), kBos.begin() + 40);
    other[2] = 40;
    EXPECT_FALSE(FindMsOs20Platform(other.data(), other.size()));
    Bytes zeroLength = kBos;
    zeroLength[5] = 0;  // a capability of length 0 must not loop
    EXPECT_FALSE(FindMsOs20Platform(zeroLength.data(), zeroLength.size()));
    Bytes wrongType = kBos;
    wrongType[1] = 0x02;
    EXPECT_FALSE(FindMsOs20Platform(wrongType.data(), wrongType.size()));
}

// A descriptor set: a device-wide REG_SZ property; in a configuration, a
// function subset (interface 1) with a compatible ID and a REG_MULTI_SZ
// property holding two GUIDs and a malformed one; after the subset, a
// device-wide REG_MULTI_SZ and a property with the wrong type.
Bytes DescriptorSet() {
    const std::string list = std::string("{11111111-2222-3333-4444-555555555555}") + '\0' +
                             "{not-a-guid}" + '\0' + "abcdef01-2345-6789-abcd-ef0123456789" + '\0';
    const Bytes multi = Property20(7, "DeviceInterfaceGUIDs", Utf16(list));
    Bytes function;
    Word(function, 8);
    Word(function, 2);
    function.push_back(1);  // bFirstInterface
    function.push_back(0);
    Word(function, 8 + 20 + multi.size());
    Append(function, {20, 0, 3, 0, 'W', 'I', 'N', 'U', 'S', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Append(function, multi);

    Bytes body;
    Append(body,
           Property20(1, "DeviceInterfaceGUID", Utf16("{4b6c73b2-015b-4855-8bb1-a7a6c03afa87}")));
    Bytes configuration = {8, 0, 1, 0, 1, 0};
    Word(configuration, 8 + function.size());
    Append(body, configuration);
    Append(body, function);
    Append(body, Property20(7, "DeviceInterfaceGUIDs", Utf16(kGuidD)));
    Append(body, Property20(1, "DeviceInterfaceGUIDs", Utf16(kGuidB)));

    Bytes set = {10, 0, 0, 0, 0x00, 0x00, 0x03, 0x06};
    Word(set, 10 + body.size());
    Append(set, body);
    return set;
}

TEST(MsOs20Set, PropertiesBelongToTheirFunctionOrTheDevice) {
    const Bytes set = DescriptorSet();
    const auto found = ParseMsOs20DescriptorSet(set.data(), set.size());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].firstInterface, -1);
    EXPECT_EQ(found[0].guids, (std::vector<std::string>{kGuidA, kGuidD}));
    EXPECT_EQ(found[1].firstInterface, 1);
    EXPECT_EQ(found[1].guids, (std::vector<std::string>{kGuidB, kGuidC}));
}

TEST(MsOs20Set, EveryTruncationGivesALeadingPart) {
    const Bytes set = DescriptorSet();
    const auto whole = ParseMsOs20DescriptorSet(set.data(), set.size());
    for (std::size_t n = 0; n < set.size(); ++n) {
        const Bytes prefix(set.begin(), set.begin() + n);
        for (const InterfaceGuids& part : ParseMsOs20DescriptorSet(prefix.data(), prefix.size())) {
            SCOPED_TRACE(n);
            const InterfaceGuids& full = part.firstInterface == -1 ? whole[0] : whole[1];
            ASSERT_EQ(part.firstInterface, full.firstInterface);
            ASSERT_LE(part.guids.size(), full.guids.size());
            EXPECT_TRUE(std::equal(part.guids.begin(), part.guids.end(), full.guids.begin()));
        }
    }
}

TEST(MsOs20Set, AShortDescriptorLengthEndsTheWalk) {
    Bytes set = {10, 0, 0, 0, 0x00, 0x00, 0x03, 0x06, 0, 0};
    Append(set, {2, 0, 9, 0});  // wLength 2: the walk cannot go on
    Append(set, Property20(7, "DeviceInterfaceGUIDs", Utf16(kGuidA)));
    EXPECT_TRUE(ParseMsOs20DescriptorSet(set.data(), set.size()).empty());
}

TEST(MsOs20Set, NonAsciiGuidIsMalformed) {
    Bytes data = Utf16(kGuidA);
    data[0] = 0x34;
    data[1] = 0x01;  // U+0134 where '4' was: its low byte alone would still read as '4'
    const Bytes set = Property20(7, "DeviceInterfaceGUIDs", data);
    EXPECT_TRUE(ParseMsOs20DescriptorSet(set.data(), set.size()).empty());
}

TEST(MsOs10String, SignatureGivesTheVendorCode) {
    const Bytes good = {0x12, 0x03, 'M', 0,   'S', 0,   'F', 0,    'T',
                        0,    '1',  0,   '0', 0,   '0', 0,   0x21, 0x00};
    EXPECT_EQ(MsOs10VendorCode(good.data(), good.size()), 0x21);
    Bytes other = good;
    other[10] = '2';  // "MSFT200"
    EXPECT_FALSE(MsOs10VendorCode(other.data(), other.size()));
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes prefix(good.begin(), good.begin() + n);
        EXPECT_FALSE(MsOs10VendorCode(prefix.data(), prefix.size())) << n;
    }
}

// Extended properties: an unrelated label, the single GUID with the wrong
// type, the GUID list, the single GUID.
Bytes ExtendedProperties() {
    Bytes sections;
    Append(sections, Section10(1, "Label", Utf16(kGuidD)));
    Append(sections, Section10(2, "DeviceInterfaceGUID", Utf16(kGuidD)));  // REG_EXPAND_SZ
    Append(sections,
           Section10(7, "DeviceInterfaceGUIDs", Utf16(std::string(kGuidB) + '\0' + kGuidC)));
    Append(sections, Section10(1, "DeviceInterfaceGUID", Utf16(std::string("{") + kGuidA + "}")));
    Bytes b;
    Dword(b, 10 + sections.size());
    Append(b, {0x00, 0x01, 0x05, 0x00, 4, 0});
    Append(b, sections);
    return b;
}

TEST(MsOs10Properties, GuidsFromBothPropertyNames) {
    const Bytes props = ExtendedProperties();
    EXPECT_EQ(MsOs10ExtendedPropertiesLength(props.data(), 10), props.size());
    EXPECT_EQ(ParseMsOs10ExtendedProperties(props.data(), props.size()),
              (std::vector<std::string>{kGuidB, kGuidC, kGuidA}));

    Bytes compatibleId = props;
    compatibleId[6] = 4;  // wIndex 4: a compatible ID descriptor
    EXPECT_FALSE(MsOs10ExtendedPropertiesLength(compatibleId.data(), 10));
    EXPECT_TRUE(ParseMsOs10ExtendedProperties(compatibleId.data(), compatibleId.size()).empty());
}

TEST(MsOs10Properties, EveryTruncationGivesALeadingPart) {
    const Bytes props = ExtendedProperties();
    const auto whole = ParseMsOs10ExtendedProperties(props.data(), props.size());
    for (std::size_t n = 0; n < props.size(); ++n) {
        const Bytes prefix(props.begin(), props.begin() + n);
        const auto part = ParseMsOs10ExtendedProperties(prefix.data(), prefix.size());
        ASSERT_LT(part.size(), whole.size()) << n;
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << n;
    }
}

TEST(Guid, CaseAndBracesDoNotMatter) {
    EXPECT_EQ(NormalizeGuid("{4b6c73b2-015b-4855-8bb1-a7a6c03afa87}"), kGuidA);
    EXPECT_TRUE(SameGuid(kInstrumentInterfaceGuid, "4b6c73b2-015b-4855-8BB1-a7a6c03afa87"));
    EXPECT_FALSE(SameGuid(kGuidA, kGuidB));
    EXPECT_FALSE(SameGuid("", ""));
    for (const char* bad :
         {"{4B6C73B2-015B-4855-8BB1-A7A6C03AFA87", "4B6C73B2015B48558BB1A7A6C03AFA87",
          "4B6C73B2-015B-4855-8BB1-A7A6C03AFA8G", "{4B6C73B2-015B-4855-8BB1-A7A6C03AFA87}}",
          "4B6C73B2-015B-4855-8BB1-A7A6C03AFA87 "}) {
        EXPECT_EQ(NormalizeGuid(bad), "") << bad;
    }
}

}  // namespace
}  // namespace korvel::usb
