// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the built executables' resources back as Windows sees them: the
// version record, the application icon, the manifest and the subsystem.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // ASCII names only
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        items.push_back(item);
    }
    return items;
}

// The folder of the programs, from this test's own location.
std::wstring ProgramPath(const std::string& fileName) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    path.erase(path.find_last_of(L"\\/") + 1);
    std::wstring appDir = Widen(KORVEL_APP_DIR);
    for (wchar_t& c : appDir) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path + appDir + L"\\" + Widen(fileName);
}

struct Program {
    std::string fileName;
    WORD subsystem;
};

std::vector<Program> Programs() {
    std::vector<Program> programs;
    for (const std::string& tool : Split(KORVEL_TOOLS)) {
        programs.push_back({tool, IMAGE_SUBSYSTEM_WINDOWS_CUI});
    }
#ifdef KORVEL_WINDOW
    programs.push_back({KORVEL_WINDOW, IMAGE_SUBSYSTEM_WINDOWS_GUI});
#endif
    return programs;
}

class VersionRecord {
  public:
    explicit VersionRecord(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) {
            return;
        }
        data_.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.data())) {
            data_.clear();
        }
    }
    bool Present() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &value, &length) ||
            length < sizeof(VS_FIXEDFILEINFO)) {
            return nullptr;
        }
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    std::vector<std::pair<WORD, WORD>> Translations() const {
        void* value = nullptr;
        UINT length = 0;
        std::vector<std::pair<WORD, WORD>> result;
        if (VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length)) {
            const WORD* words = static_cast<const WORD*>(value);
            for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
                result.emplace_back(words[i], words[i + 1]);
            }
        }
        return result;
    }

    // A text entry of the English (United States), code page 1252 block.
    std::wstring Text(const wchar_t* name) const {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), key.c_str(), &value, &length) || length == 0) {
            return L"";
        }
        std::wstring text(static_cast<const wchar_t*>(value), length);
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        return text;
    }

  private:
    std::vector<unsigned char> data_;
};

// The executable's resources, loaded as data only.
class ResourceImage {
  public:
    explicit ResourceImage(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceImage() {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;

    bool Loaded() const { return module_ != nullptr; }

    std::string Bytes(LPCWSTR type, LPCWSTR name) const {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found) {
            return {};
        }
        HGLOBAL loaded = LoadResource(module_, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) {
            return {};
        }
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

// The subsystem field of the executable's optional header, or 0.
WORD Subsystem(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (!file.read(reinterpret_cast<char*>(&dos), sizeof dos) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || !file.seekg(dos.e_lfanew) ||
        !file.read(reinterpret_cast<char*>(&nt), sizeof nt) || nt.Signature != IMAGE_NT_SIGNATURE) {
        return 0;
    }
    return nt.OptionalHeader.Subsystem;
}

// Sizes of the images in an icon group (256 is stored as 0).
std::vector<int> IconSizes(const std::string& group) {
#pragma pack(push, 2)
    struct GroupHeader {
        WORD reserved, type, count;
    };
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    std::vector<int> sizes;
    if (group.size() < sizeof(GroupHeader)) {
        return sizes;
    }
    GroupHeader header;
    std::memcpy(&header, group.data(), sizeof header);
    for (WORD i = 0; i < header.count; ++i) {
        const size_t at = sizeof header + i * sizeof(GroupEntry);
        if (at + sizeof(GroupEntry) > group.size()) {
            break;
        }
        GroupEntry entry;
        std::memcpy(&entry, group.data() + at, sizeof entry);
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
    }
    return sizes;
}

TEST(WindowsResources, VersionRecordNamesEachExecutableAndItsVersion) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.fileName);
        const VersionRecord record(ProgramPath(program.fileName));
        ASSERT_TRUE(record.Present());
        const VS_FIXEDFILEINFO* fixed = record.Fixed();
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
        const std::vector<std::pair<WORD, WORD>> english{{0x0409, 1252}};
        EXPECT_EQ(record.Translations(), english);
        EXPECT_EQ(record.Text(L"OriginalFilename"), Widen(program.fileName));
        EXPECT_EQ(record.Text(L"InternalName"), Widen(program.fileName));
        EXPECT_EQ(record.Text(L"FileVersion"), Widen(KORVEL_VERSION));
        EXPECT_EQ(record.Text(L"ProductVersion"), Widen(KORVEL_VERSION));
        EXPECT_NE(record.Text(L"ProductName").find(L"KORVEL"), std::wstring::npos);
        EXPECT_NE(record.Text(L"FileDescription").find(L"KORVEL"), std::wstring::npos);
    }
}

TEST(WindowsResources, IconGroup128HoldsEveryIconSize) {
    const std::vector<int> expected{16, 24, 32, 48, 64, 128, 256};
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.fileName);
        const ResourceImage image(ProgramPath(program.fileName));
        ASSERT_TRUE(image.Loaded());
        EXPECT_EQ(IconSizes(image.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(128))), expected);
        // The window system can make an icon of the group's 32-pixel image.
        const std::string group = image.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(128));
        const int id =
            LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(const_cast<char*>(group.data())),
                                        TRUE, 32, 32, LR_DEFAULTCOLOR);
        ASSERT_NE(id, 0);
        std::string icon = image.Bytes(RT_ICON, MAKEINTRESOURCEW(id));
        ASSERT_FALSE(icon.empty());
        HICON handle = CreateIconFromResourceEx(reinterpret_cast<PBYTE>(icon.data()),
                                                static_cast<DWORD>(icon.size()), TRUE, 0x00030000,
                                                32, 32, LR_DEFAULTCOLOR);
        EXPECT_NE(handle, nullptr);
        if (handle) {
            DestroyIcon(handle);
        }
    }
}

TEST(WindowsResources, ManifestRunsWithTheCallersRightsOnly) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.fileName);
        const ResourceImage image(ProgramPath(program.fileName));
        ASSERT_TRUE(image.Loaded());
        const std::string manifest = image.Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
        EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
        EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
        EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    }
}

TEST(WindowsResources, ConsoleToolsAreConsoleProgramsAndTheWindowIsNot) {
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.fileName);
        EXPECT_EQ(Subsystem(ProgramPath(program.fileName)), program.subsystem);
    }
}

}  // namespace
