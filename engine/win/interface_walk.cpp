#include "interface_walk.h"

#include <algorithm>
#include <cstddef>
#include <memory>

namespace korvel::win {
namespace {

// The fixed part of the detail: 8 bytes on 64-bit Windows, 5 on 32-bit, where
// the setup structures are byte-packed.
constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
static_assert(kDetailFixedSize == (sizeof(void*) == 8 ? 8 : 5));

// Destroys the information set on every way out of the walk.
class InfoSet {
  public:
    InfoSet(const Win32Api& api, HDEVINFO set) : api_(api), set_(set) {}
    ~InfoSet() {
        if (IsValid()) {
            api_.SetupDiDestroyDeviceInfoList(set_);
        }
    }
    InfoSet(const InfoSet&) = delete;
    InfoSet& operator=(const InfoSet&) = delete;

    bool IsValid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

  private:
    const Win32Api& api_;
    HDEVINFO set_;
};

// The detail of one member, or empty when it could not be fetched. The buffer
// is one byte longer than asked for and zeroed, so the path always ends.
class InterfaceDetail {
  public:
    static InterfaceDetail Fetch(const Win32Api& api, HDEVINFO set,
                                 SP_DEVICE_INTERFACE_DATA& member) {
        DWORD size = 0;
        const BOOL sized =
            api.SetupDiGetDeviceInterfaceDetailA(set, &member, nullptr, 0, &size, nullptr);
        if (!sized && api.GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return {};
        }
        if (size > kMaxInterfaceDetailSize) {
            return {};
        }
        InterfaceDetail detail;
        // Never smaller than the fixed part: cbSize is written before the call.
        detail.bytes_ = std::make_unique<std::byte[]>(std::max(size, kDetailFixedSize) + 1);
        auto* data = detail.Data();
        data->cbSize = kDetailFixedSize;
        if (!api.SetupDiGetDeviceInterfaceDetailA(set, &member, data, size, nullptr, nullptr)) {
            return {};
        }
        return detail;
    }

    explicit operator bool() const { return bytes_ != nullptr; }
    const char* Path() { return Data()->DevicePath; }

  private:
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* Data() {
        return reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(bytes_.get());
    }

    std::unique_ptr<std::byte[]> bytes_;
};

// Walks the present interfaces of `guid`, fetching each member's detail and
// handing it to visit(index, detail); visit returns false to end the walk.
// Returns the number of members enumerated, or -1 when the set failed.
template <typename Visit>
int WalkInterfaces(const Win32Api& api, const GUID& guid, Visit&& visit) {
    InfoSet set(api, api.SetupDiGetClassDevsA(&guid, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.IsValid()) {
        return -1;
    }
    int count = 0;
    for (DWORD index = 0; index < kMaxInterfaceMembers; ++index) {
        SP_DEVICE_INTERFACE_DATA member{};
        member.cbSize = sizeof(member);
        if (!api.SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &guid, index, &member)) {
            break;
        }
        ++count;
        InterfaceDetail detail = InterfaceDetail::Fetch(api, set.Get(), member);
        if (!visit(index, detail)) {
            break;
        }
    }
    return count;
}

}  // namespace

int CountInterfaces(const Win32Api& api, const GUID& guid) {
    const int count = WalkInterfaces(api, guid, [](DWORD, InterfaceDetail&) { return true; });
    return std::max(count, 0);
}

HANDLE OpenFirstInterface(const Win32Api& api, const GUID& guid) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WalkInterfaces(api, guid, [&](DWORD index, InterfaceDetail& detail) {
        if (index != 0 || !detail) {
            return true;  // later members are walked but never opened
        }
        handle = api.CreateFileA(detail.Path(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
        return false;
    });
    return handle == nullptr ? INVALID_HANDLE_VALUE : handle;
}

}  // namespace korvel::win
