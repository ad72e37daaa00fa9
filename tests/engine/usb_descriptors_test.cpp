#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "usb/ms_os_descriptors.h"

namespace korvel::usb {
namespace {

using Bytes = std::vector<uint8_t>;
using Guids = std::vector<std::string>;
using namespace std::string_literals;

const std::string kA = "4B6C73B2-015B-4855-8BB1-A7A6C03AFA87";
const std::string kB = "11111111-2222-3333-4444-555555555555";
const std::string kC = "ABCDEF01-2345-6789-ABCD-EF0123456789";
const std::string kD = "00000000-0000-0000-0000-00000000000D";

// Little-endian fields and UTF-16LE strings (each with its NUL).
struct Le {
    Bytes b;
    Le& w(std::size_t v) { return raw({uint8_t(v), uint8_t(v >> 8)}); }
    Le& d(std::size_t v) { return w(v & 0xFFFF).w(v >> 16); }
    Le& s(std::string_view text) {
        for (const char c : text) {
            w(uint8_t(c));
        }
        return w(0);
    }
    Le& raw(const Bytes& more) {
        b.insert(b.end(), more.begin(), more.end());
        return *this;
    }
};

Bytes Property20(unsigned type, std::string_view name, std::string_view data) {
    const std::size_t n = 2 * name.size() + 2, size = 2 * data.size() + 2;
    return Le().w(10 + n + size).w(4).w(type).w(n).s(name).w(size).s(data).b;
}

Bytes Section10(unsigned type, std::string_view name, std::string_view data) {
    const std::size_t n = 2 * name.size() + 2, size = 2 * data.size() + 2;
    return Le().d(14 + n + size).d(type).w(n).s(name).d(size).s(data).b;
}

// Each shorter read of `whole`, in a buffer of exactly its length.
template <typename Check>
void ForEachPrefix(const Bytes& whole, Check check) {
    for (std::size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        check(Bytes(whole.begin(), whole.begin() + n));
    }
}

// A USB 2.0 extension, a platform capability of another kind whose bytes
// would read as the newest entry, then the MS OS 2.0 capability.
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
    // The capability is last: every shorter read lacks part of it.
    ForEachPrefix(kBos,
                  [](const Bytes& p) { EXPECT_FALSE(FindMsOs20Platform(p.data(), p.size())); });
}

TEST(MsOs20Platform, NoCapabilityOrBrokenHeader) {
    Bytes other(kBos.begin(), kBos.begin() + 40);
    other[2] = 40;
    Bytes zeroLength = kBos, wrongType = kBos;
    zeroLength[5] = 0;  // must not loop
    wrongType[1] = 0x02;
    for (const Bytes& bos : {other, zeroLength, wrongType}) {
        EXPECT_FALSE(FindMsOs20Platform(bos.data(), bos.size()));
    }
}

// A device-wide REG_SZ property (one string: what follows its NUL is not
// part of it); in a configuration, a function subset for interface 1 with a
// compatible ID and a REG_MULTI_SZ list with a malformed GUID between two
// good ones; after the subset, a device-wide list (ending at its empty
// string) and a property with the wrong type.
Bytes DescriptorSet() {
    const Bytes list =
        Property20(7, "DeviceInterfaceGUIDs",
                   "{" + kB + "}\0{not-a-guid}\0"s + "abcdef01-2345-6789-abcd-ef0123456789");
    const Bytes compatibleId = {20, 0, 3, 0, 'W', 'I', 'N', 'U', 'S', 'B',
                                0,  0, 0, 0, 0,   0,   0,   0,   0,   0};
    const Bytes function =
        Le().w(8).w(2).raw({1, 0}).w(8 + 20 + list.size()).raw(compatibleId).raw(list).b;
    const Bytes body = Le().raw(Property20(1, "DeviceInterfaceGUID",
                                           "{4b6c73b2-015b-4855-8bb1-a7a6c03afa87}\0"s + kC))
                           .w(8)
                           .w(1)
                           .raw({1, 0})
                           .w(8 + function.size())
                           .raw(function)
                           .raw(Property20(7, "DeviceInterfaceGUIDs", kD + "\0\0"s + kC))
                           .raw(Property20(1, "DeviceInterfaceGUIDs", kB))
                           .b;
    return Le().w(10).w(0).d(0x06030000).w(10 + body.size()).raw(body).b;
}

TEST(MsOs20Set, PropertiesBelongToTheirFunctionOrTheDevice) {
    const Bytes set = DescriptorSet();
    const auto whole = ParseMsOs20DescriptorSet(set.data(), set.size());
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[0].firstInterface, -1);
    EXPECT_EQ(whole[0].guids, (Guids{kA, kD}));
    EXPECT_EQ(whole[1].firstInterface, 1);
    EXPECT_EQ(whole[1].guids, (Guids{kB, kC}));
    ForEachPrefix(set, [&](const Bytes& p) {
        for (const InterfaceGuids& part : ParseMsOs20DescriptorSet(p.data(), p.size())) {
            const InterfaceGuids& full = whole[part.firstInterface == -1 ? 0 : 1];
            ASSERT_EQ(part.firstInterface, full.firstInterface);
            ASSERT_LE(part.guids.size(), full.guids.size());
            EXPECT_TRUE(std::equal(part.guids.begin(), part.guids.end(), full.guids.begin()));
        }
    });
}

TEST(MsOs20Set, ShortDescriptorLengthOrNonAsciiGuid) {
    const Bytes shortLength =
        Le().raw({2, 0, 9, 0}).raw(Property20(7, "DeviceInterfaceGUIDs", kA)).b;
    EXPECT_TRUE(ParseMsOs20DescriptorSet(shortLength.data(), shortLength.size()).empty());
    Bytes wide = Property20(7, "DeviceInterfaceGUIDs", kA);
    wide[10 + 42 + 1] = 0x01;  // U+0134 for the first '4': its low byte alone reads as '4'
    EXPECT_TRUE(ParseMsOs20DescriptorSet(wide.data(), wide.size()).empty());
}

TEST(MsOs10String, SignatureGivesTheVendorCode) {
    Bytes code = Le().w(0x0312).s("MSFT100").b;  // the NUL: vendor code and pad
    Bytes other = code;
    code[16] = 0x21;
    EXPECT_EQ(MsOs10VendorCode(code.data(), code.size()), 0x21);
    other[10] = '2';  // "MSFT200"
    EXPECT_FALSE(MsOs10VendorCode(other.data(), other.size()));
    ForEachPrefix(code, [](const Bytes& p) { EXPECT_FALSE(MsOs10VendorCode(p.data(), p.size())); });
}

TEST(MsOs10Properties, GuidsFromBothPropertyNames) {
    const Bytes sections = Le().raw(Section10(1, "Label", kD))
                               .raw(Section10(2, "DeviceInterfaceGUID", kD))  // REG_EXPAND_SZ
                               .raw(Section10(7, "DeviceInterfaceGUIDs", kB + '\0' + kC))
                               .raw(Section10(1, "DeviceInterfaceGUID", "{" + kA + "}"))
                               .b;
    const Bytes props = Le().d(10 + sections.size()).w(0x0100).w(5).w(4).raw(sections).b;
    EXPECT_EQ(MsOs10ExtendedPropertiesLength(props.data(), 10), props.size());
    const auto whole = ParseMsOs10ExtendedProperties(props.data(), props.size());
    EXPECT_EQ(whole, (Guids{kB, kC, kA}));
    ForEachPrefix(props, [&](const Bytes& p) {
        const auto part = ParseMsOs10ExtendedProperties(p.data(), p.size());
        ASSERT_LT(part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    });
    Bytes compatibleId = props;
    compatibleId[6] = 4;  // wIndex 4
    EXPECT_FALSE(MsOs10ExtendedPropertiesLength(compatibleId.data(), 10));
}

TEST(Guid, CaseAndBracesDoNotMatter) {
    EXPECT_EQ(NormalizeGuid("{4b6c73b2-015b-4855-8bb1-a7a6c03afa87}"), kA);
    EXPECT_TRUE(SameGuid(kInstrumentInterfaceGuid, "4b6c73b2-015b-4855-8BB1-a7a6c03afa87"));
    EXPECT_FALSE(SameGuid(kA, kB));
    EXPECT_FALSE(SameGuid("", ""));
    for (const std::string& bad : {"{" + kA, "4B6C73B2015B48558BB1A7A6C03AFA87"s, kA + " ",
                                   "{" + kA + "}}", "4B6C73B2-015B-4855-8BB1-A7A6C03AFA8G"s}) {
        EXPECT_EQ(NormalizeGuid(bad), "") << bad;
    }
}

}  // namespace
}  // namespace korvel::usb
