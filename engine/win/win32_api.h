// The Win32 calls of the Windows device layer, gathered in one table so that
// the enumeration walk and the transfer procedure can run against a fake
// table in tests. Production code uses RealWin32Api().
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <setupapi.h>

namespace korvel::win {

struct Win32Api {
    // Device setup services.
    HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* SetupDiEnumDeviceInterfaces)
    (HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA);
    BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)
    (HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
     PSP_DEVINFO_DATA);
    BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO);

    // Files, events and overlapped I/O.
    HANDLE(WINAPI* CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* GetOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
    BOOL(WINAPI* CancelIoEx)(HANDLE, LPOVERLAPPED);
    HANDLE(WINAPI* CreateEventA)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
    BOOL(WINAPI* SetEvent)(HANDLE);
    BOOL(WINAPI* ResetEvent)(HANDLE);
    DWORD(WINAPI* WaitForSingleObject)(HANDLE, DWORD);
    DWORD(WINAPI* WaitForMultipleObjects)(DWORD, const HANDLE*, BOOL, DWORD);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    DWORD(WINAPI* GetLastError)();
};

// The table of the operating system's own functions.
const Win32Api& RealWin32Api();

}  // namespace korvel::win
