#include "fake_setup_api.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "win/interface_walk.h"

namespace korvel::testing {

FakeSetupApi* FakeSetupApi::current_ = nullptr;

namespace {
const HDEVINFO kFakeSet = reinterpret_cast<HDEVINFO>(0x5E70);
constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
}  // namespace

struct FakeSetupCalls {
    static FakeSetupApi& F() { return *FakeSetupApi::current_; }

    static HDEVINFO WINAPI GetClassDevs(const GUID* guid, PCSTR, HWND, DWORD flags) {
        F().classDevsFlags.push_back(flags);
        if (F().listFails || guid == nullptr ||
            !IsEqualGUID(*guid, win::kInstrumentInterfaceGuid)) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        ++F().setsCreated;
        return kFakeSet;
    }

    static BOOL WINAPI Enum(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                            PSP_DEVICE_INTERFACE_DATA data) {
        F().membersAsked.push_back(index);
        if (set != kFakeSet || (!F().endlessList && index >= F().devicePaths.size())) {
            ::SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        data->Reserved = static_cast<ULONG_PTR>(index);
        return TRUE;
    }

    static BOOL WINAPI Detail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA member,
                              PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                              PDWORD required, PSP_DEVINFO_DATA) {
        const auto index = static_cast<DWORD>(member->Reserved);
        const std::string path =
            index < F().devicePaths.size() ? F().devicePaths[index] : "\\\\?\\endless";
        const DWORD needed = F().reportedSize ? *F().reportedSize
                                              : kPathOffset + static_cast<DWORD>(path.size()) + 1;
        if (set != kFakeSet) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (detail == nullptr) {
            if (F().sizeQueryFails.count(index) != 0) {
                ::SetLastError(ERROR_NOT_FOUND);
                return FALSE;
            }
            *required = needed;
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        F().detailCbSizes.push_back(detail->cbSize);
        if (F().detailFetchFails.count(index) != 0 || size < needed ||
            needed < kPathOffset + path.size() + 1) {
            ::SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
        F().detailsFetched.push_back(index);
        return TRUE;
    }

    static BOOL WINAPI Destroy(HDEVINFO set) {
        if (set != kFakeSet) {
            return FALSE;
        }
        ++F().setsDestroyed;
        return TRUE;
    }

    static HANDLE WINAPI CreateFile(LPCSTR path, DWORD access, DWORD share,
                                    LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                    HANDLE tmpl) {
        F().createFileCalls.push_back({path, access, share, disposition, flags});
        if (F().forwardCreateFile) {
            const HANDLE h = ::CreateFileA(path, access, share, security, disposition, flags, tmpl);
            if (h != INVALID_HANDLE_VALUE) {
                // Each reply is one pipe message, as it is one USB transfer.
                DWORD mode = PIPE_READMODE_MESSAGE;
                ::SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
            }
            return h;
        }
        if (F().createFileFails) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        return FakeSetupApi::kFakeDevice;
    }

    static BOOL WINAPI Close(HANDLE h) {
        if (h == FakeSetupApi::kFakeDevice) {
            ++F().fakeDevicesClosed;
            return TRUE;
        }
        return ::CloseHandle(h);
    }
};

FakeSetupApi::FakeSetupApi() : api_(win::RealWin32Api()) {
    if (current_ != nullptr) {
        throw std::logic_error("one FakeSetupApi at a time");
    }
    current_ = this;
    api_.SetupDiGetClassDevsA = &FakeSetupCalls::GetClassDevs;
    api_.SetupDiEnumDeviceInterfaces = &FakeSetupCalls::Enum;
    api_.SetupDiGetDeviceInterfaceDetailA = &FakeSetupCalls::Detail;
    api_.SetupDiDestroyDeviceInfoList = &FakeSetupCalls::Destroy;
    api_.CreateFileA = &FakeSetupCalls::CreateFile;
    api_.CloseHandle = &FakeSetupCalls::Close;
}

FakeSetupApi::~FakeSetupApi() {
    current_ = nullptr;
}

}  // namespace korvel::testing
