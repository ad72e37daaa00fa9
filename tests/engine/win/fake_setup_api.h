// A scripted device-information set behind the Win32 function table: the
// members, which details cannot be fetched, and a record of every call the
// walk makes. One instance at a time (the table holds plain functions).
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win/win32_api.h"

namespace korvel::testing {

struct CreateFileCall {
    std::string path;
    DWORD access = 0;
    DWORD share = 0;
    DWORD disposition = 0;
    DWORD flags = 0;
};

class FakeSetupApi {
  public:
    // Handle returned by the fake CreateFileA when forwarding is off.
    static inline const HANDLE kFakeDevice = reinterpret_cast<HANDLE>(0x4B00);

    FakeSetupApi();
    ~FakeSetupApi();
    FakeSetupApi(const FakeSetupApi&) = delete;
    FakeSetupApi& operator=(const FakeSetupApi&) = delete;

    // The real table with the setup services (and CreateFileA) replaced.
    const win::Win32Api& Api() const { return api_; }

    // Script.
    std::vector<std::string> devicePaths;
    bool listFails = false;
    bool endlessList = false;
    std::set<DWORD> sizeQueryFails;     // detail size query ends with another error
    std::set<DWORD> detailFetchFails;   // the second call fails
    std::optional<DWORD> reportedSize;  // when set, the size query reports this
    bool createFileFails = false;
    // Open the real path with the real CreateFileA (a pipe: message read mode).
    bool forwardCreateFile = false;

    // Record.
    int setsCreated = 0;
    int setsDestroyed = 0;
    std::vector<DWORD> classDevsFlags;
    std::vector<DWORD> membersAsked;
    std::vector<DWORD> detailsFetched;
    std::vector<DWORD> detailCbSizes;
    std::vector<CreateFileCall> createFileCalls;
    int fakeDevicesClosed = 0;

  private:
    static FakeSetupApi* current_;
    friend struct FakeSetupCalls;
    win::Win32Api api_;
};

}  // namespace korvel::testing
