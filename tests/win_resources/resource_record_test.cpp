// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the built executables' resources back as Windows sees them: the
// version record, the application icon, the manifest and the subsystem.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // ASCII names only
}

struct Program {
    std::wstring path;
    std::wstring fileName;
    WORD subsystem;
};

// The programs, found from this test's own location: under Wine the build's
// absolute paths are not Windows paths.
std::vector<Program> Programs() {
    wchar_t self[MAX_PATH];
    const std::filesystem::path here =
        std::filesystem::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)))
            .parent_path();
    std::vector<std::pair<std::string, WORD>> names;
    std::stringstream tools(KORVEL_TOOLS);
    for (std::string tool; std::getline(tools, tool, ',');) {
        names.emplace_back(tool, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    }
#ifdef KORVEL_WINDOW
    names.emplace_back(KORVEL_WINDOW, IMAGE_SUBSYSTEM_WINDOWS_GUI);
#endif
    std::vector<Program> programs;
    for (const auto& [name, subsystem] : names) {
        const auto path = (here / KORVEL_APP_DIR / name).lexically_normal();
        programs.push_back({path.wstring(), Widen(name), subsystem});
    }
    return programs;
}

// A value of the version record, as 16-bit words: the fixed part ("\\") and
// the translations are binary, the texts end at their terminating zero.
std::wstring VersionValue(const std::vector<char>& record, const std::wstring& key) {
    void* value = nullptr;
    UINT length = 0;
    if (record.empty() || !VerQueryValueW(record.data(), key.c_str(), &value, &length)) {
        return {};
    }
    const bool text = key.find(L"StringFileInfo") != std::wstring::npos;
    std::wstring words(text ? length : length / sizeof(wchar_t), L'\0');
    std::memcpy(words.data(), value, words.size() * sizeof(wchar_t));
    if (text) {
        words.resize(std::wcslen(words.c_str()));
    }
    return words;
}

// A resource of the executable, loaded as data only; empty if missing.
std::string Resource(const std::wstring& path, LPCWSTR type, LPCWSTR name) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    std::string bytes;
    if (HRSRC found = module ? FindResourceW(module, name, type) : nullptr) {
        if (const void* data = LockResource(LoadResource(module, found))) {
            bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
        }
    }
    if (module) {
        FreeLibrary(module);
    }
    return bytes;
}

TEST(WindowsResources, VersionRecordNamesEachExecutableAndItsVersion) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(std::string(program.fileName.begin(), program.fileName.end()));
        DWORD ignored = 0;
        std::vector<char> record(GetFileVersionInfoSizeW(program.path.c_str(), &ignored));
        ASSERT_FALSE(record.empty());
        ASSERT_TRUE(GetFileVersionInfoW(program.path.c_str(), 0, static_cast<DWORD>(record.size()),
                                        record.data()));
        VS_FIXEDFILEINFO fixed{};
        const std::wstring fixedBytes = VersionValue(record, L"\\");
        ASSERT_GE(fixedBytes.size() * sizeof(wchar_t), sizeof fixed);
        std::memcpy(&fixed, fixedBytes.data(), sizeof fixed);
        EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
        EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u);
        EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
        EXPECT_EQ(fixed.dwProductVersionLS, 0x00000001u);
        // English (United States), code page 1252.
        EXPECT_EQ(VersionValue(record, L"\\VarFileInfo\\Translation"),
                  std::wstring({wchar_t(0x0409), wchar_t(1252)}));
        const std::wstring block = L"\\StringFileInfo\\040904E4\\";
        EXPECT_EQ(VersionValue(record, block + L"OriginalFilename"), program.fileName);
        EXPECT_EQ(VersionValue(record, block + L"InternalName"), program.fileName);
        EXPECT_EQ(VersionValue(record, block + L"FileVersion"), Widen(KORVEL_VERSION));
        EXPECT_EQ(VersionValue(record, block + L"ProductVersion"), Widen(KORVEL_VERSION));
        EXPECT_NE(VersionValue(record, block + L"ProductName").find(L"KORVEL"), std::wstring::npos);
        EXPECT_NE(VersionValue(record, block + L"FileDescription").find(L"KORVEL"),
                  std::wstring::npos);
    }
}

TEST(WindowsResources, IconGroup128HoldsEveryIconSizeAndMakesAnIcon) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(std::string(program.fileName.begin(), program.fileName.end()));
        std::string group = Resource(program.path, RT_GROUP_ICON, MAKEINTRESOURCEW(128));
        ASSERT_GE(group.size(), 6u);
        // The group: a 6-byte header with the count, then 14 bytes per image,
        // its width first (0 for 256).
        std::vector<int> sizes;
        const size_t count = static_cast<unsigned char>(group[4]);
        for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
            const int width = static_cast<unsigned char>(group[6 + 14 * i]);
            sizes.push_back(width == 0 ? 256 : width);
        }
        EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
        // The window system picks the 32-pixel image and makes an icon of it.
        const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(group.data()), TRUE, 32,
                                                   32, LR_DEFAULTCOLOR);
        std::string image = Resource(program.path, RT_ICON, MAKEINTRESOURCEW(id));
        ASSERT_FALSE(image.empty());
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<PBYTE>(image.data()),
                                              static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                              32, 32, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon) {
            DestroyIcon(icon);
        }
    }
}

TEST(WindowsResources, ManifestRunsWithTheCallersRightsAndDeclaresWhatQtNeeds) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(std::string(program.fileName.begin(), program.fileName.end()));
        const std::string manifest = Resource(program.path, RT_MANIFEST, MAKEINTRESOURCEW(1));
        for (const char* text : {"level=\"asInvoker\"", "uiAccess=\"false\"",
                                 "Microsoft.Windows.Common-Controls", "PerMonitorV2"}) {
            EXPECT_NE(manifest.find(text), std::string::npos) << text;
        }
    }
}

TEST(WindowsResources, ConsoleToolsAreConsoleProgramsAndTheWindowIsNot) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(std::string(program.fileName.begin(), program.fileName.end()));
        std::ifstream file(std::filesystem::path(program.path), std::ios::binary);
        IMAGE_DOS_HEADER dos{};
        IMAGE_NT_HEADERS64 nt{};
        ASSERT_TRUE(file.read(reinterpret_cast<char*>(&dos), sizeof dos) &&
                    file.seekg(dos.e_lfanew) && file.read(reinterpret_cast<char*>(&nt), sizeof nt));
        ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
        EXPECT_EQ(nt.OptionalHeader.Subsystem, program.subsystem);
    }
}

}  // namespace
