// SPDX-License-Identifier: GPL-3.0-or-later
#include "parent_console.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

namespace korvel {

#ifdef _WIN32
namespace {

// A stream already redirected to a file or pipe keeps going there.
bool HasHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void UseParentConsole() {
    const bool out = HasHandle(STD_OUTPUT_HANDLE);
    const bool err = HasHandle(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    if (!out) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!err) {
        std::freopen("CONOUT$", "w", stderr);
    }
}
#else
void UseParentConsole() {}
#endif

}  // namespace korvel
