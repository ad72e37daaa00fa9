// Finding and opening the instrument's device interface with the device setup
// services. Only member 0 of the interface list is ever opened.
#pragma once

#include "win32_api.h"

namespace korvel::win {

// Device-interface class of the KDX7720C: {4B6C73B2-015B-4855-8BB1-A7A6C03AFA87}.
inline constexpr GUID kInstrumentInterfaceGuid = {
    0x4B6C73B2, 0x015B, 0x4855, {0x8B, 0xB1, 0xA7, 0xA6, 0xC0, 0x3A, 0xFA, 0x87}};

// A list that claims more members than this is treated as ending there.
inline constexpr DWORD kMaxInterfaceMembers = 4096;
// A detail larger than this cannot be a device path; it counts as not fetched.
inline constexpr DWORD kMaxInterfaceDetailSize = 64 * 1024;

// Number of present interfaces of `guid`; 0 when the list cannot be built.
int CountInterfaces(const Win32Api& api, const GUID& guid);

// Opens member 0 for overlapped read/write, shared read/write. Returns
// INVALID_HANDLE_VALUE when there is no member, its detail cannot be fetched
// or CreateFileA fails; no other member is ever tried.
HANDLE OpenFirstInterface(const Win32Api& api, const GUID& guid);

}  // namespace korvel::win
