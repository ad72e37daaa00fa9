#include "win32_api.h"

namespace korvel::win {

const Win32Api& RealWin32Api() {
    static const Win32Api api = {
        ::SetupDiGetClassDevsA,
        ::SetupDiEnumDeviceInterfaces,
        ::SetupDiGetDeviceInterfaceDetailA,
        ::SetupDiDestroyDeviceInfoList,
        ::CreateFileA,
        ::WriteFile,
        ::ReadFile,
        ::GetOverlappedResult,
        ::CancelIoEx,
        ::CreateEventA,
        ::SetEvent,
        ::ResetEvent,
        ::WaitForSingleObject,
        ::WaitForMultipleObjects,
        ::CloseHandle,
        ::GetLastError,
    };
    return api;
}

}  // namespace korvel::win
