// The walk once against the system's own setup services. Where no instrument
// is attached (as under Wine) nothing is found, and repeating the walk leaves
// no set or handle behind.
#include <gtest/gtest.h>

#include <atomic>

#include "win/interface_walk.h"
#include "win/win_transport.h"

namespace korvel::win {
namespace {

std::atomic<int> setsCreated{0};
std::atomic<int> setsDestroyed{0};

HDEVINFO WINAPI CountingGetClassDevs(const GUID* guid, PCSTR enumerator, HWND parent, DWORD flags) {
    const HDEVINFO set = ::SetupDiGetClassDevsA(guid, enumerator, parent, flags);
    if (set != INVALID_HANDLE_VALUE) {
        ++setsCreated;
    }
    return set;
}

BOOL WINAPI CountingDestroy(HDEVINFO set) {
    ++setsDestroyed;
    return ::SetupDiDestroyDeviceInfoList(set);
}

// The handle a new event gets: the lowest free slot under Wine, the last one
// freed on Windows. A handle left open by the walk moves it.
HANDLE NextFreeHandle() {
    const HANDLE probe = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(probe);
    return probe;
}

TEST(RealSetupServices, NoInstrumentCountsZeroAndLeavesNothingBehind) {
    Win32Api api = RealWin32Api();
    api.SetupDiGetClassDevsA = &CountingGetClassDevs;
    api.SetupDiDestroyDeviceInfoList = &CountingDestroy;
    WinTransport transport(api);

    // Warm up once: the first call loads the setup library and its handles.
    ASSERT_EQ(transport.CountDevices(), 0);
    EXPECT_FALSE(transport.OpenDevice());
    DWORD handlesBefore = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesBefore);  // Wine: always 0
    const HANDLE freeBefore = NextFreeHandle();

    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(transport.CountDevices(), 0);
        EXPECT_FALSE(transport.OpenDevice());
        EXPECT_FALSE(transport.IsOpen());
    }
    EXPECT_EQ(setsCreated.load(), 102);
    EXPECT_EQ(setsDestroyed.load(), setsCreated.load());
    DWORD handlesAfter = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(handlesAfter, handlesBefore);
    EXPECT_EQ(NextFreeHandle(), freeBefore);
}

}  // namespace
}  // namespace korvel::win
