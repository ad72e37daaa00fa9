// The Microsoft OS descriptor readers against arbitrary device answers: the
// same bytes go to all four, as a BOS descriptor, an OS 2.0 descriptor set,
// an OS string descriptor and an extended properties descriptor. They must
// stay inside the bytes, hand out only normalised GUIDs, and a shorter read
// of a descriptor set or extended properties must give a leading part of
// what the whole gives.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "usb/ms_os_descriptors.h"

using namespace korvel::usb;

namespace {

bool Normalised(const std::string& guid) {
    return guid.size() == 36 && NormalizeGuid(guid) == guid;
}

bool LeadingPart(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The last byte says how much shorter the second read is.
    const std::size_t cut = size > 0 ? data[size - 1] : 0;
    const std::size_t shorter = size > cut ? size - cut : 0;
    // Copied so that reading past the shorter length is caught.
    const std::vector<uint8_t> prefix(data, data + shorter);

    if (const auto platform = FindMsOs20Platform(data, size)) {
        FUZZ_CHECK(platform->totalLength != 0);
    }

    const auto set = ParseMsOs20DescriptorSet(data, size);
    for (std::size_t i = 0; i < set.size(); ++i) {
        FUZZ_CHECK(set[i].firstInterface >= -1 && set[i].firstInterface <= 255);
        FUZZ_CHECK(!set[i].guids.empty());
        FUZZ_CHECK(std::all_of(set[i].guids.begin(), set[i].guids.end(), Normalised));
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(set[j].firstInterface != set[i].firstInterface);
        }
    }
    for (const InterfaceGuids& part : ParseMsOs20DescriptorSet(prefix.data(), prefix.size())) {
        const auto whole = std::find_if(set.begin(), set.end(), [&](const InterfaceGuids& e) {
            return e.firstInterface == part.firstInterface;
        });
        FUZZ_CHECK(whole != set.end());
        FUZZ_CHECK(LeadingPart(part.guids, whole->guids));
    }

    if (MsOs10VendorCode(data, size)) {
        FUZZ_CHECK(size >= 18);
    }
    if (const auto length = MsOs10ExtendedPropertiesLength(data, size)) {
        FUZZ_CHECK(*length >= 10 && size >= 10);
    }
    const auto guids = ParseMsOs10ExtendedProperties(data, size);
    FUZZ_CHECK(std::all_of(guids.begin(), guids.end(), Normalised));
    FUZZ_CHECK(LeadingPart(ParseMsOs10ExtendedProperties(prefix.data(), prefix.size()), guids));

    // The bytes as GUID text.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string guid = NormalizeGuid(text);
    FUZZ_CHECK(guid.empty() || (Normalised(guid) && SameGuid(text, guid)));
    return 0;
}
