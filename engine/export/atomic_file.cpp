#include "atomic_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <system_error>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korvel {
namespace {

constexpr int kNameAttempts = 100;

std::string Failure(const std::string& path, const std::string& reason) {
    return "Cannot write \"" + path + "\": " + reason;
}

// The directory part of `path`, separator included ("" for a bare name).
std::string DirectoryOf(const std::string& path) {
#if defined(_WIN32)
    const auto cut = path.find_last_of("/\\:");
#else
    const auto cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A name no other writer (another thread, another program) picks at the same
// time; a clash is still caught by the exclusive create and retried.
std::string TemporaryName(const std::string& directory, int attempt) {
    static std::atomic<uint32_t> counter{0};
    const auto ticks =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    const auto pid = static_cast<uint64_t>(GetCurrentProcessId());
#else
    const auto pid = static_cast<uint64_t>(getpid());
#endif
    const uint64_t mix = ticks ^ (pid << 32) ^ (static_cast<uint64_t>(attempt) << 20) ^
                         counter.fetch_add(1, std::memory_order_relaxed);
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(mix));
    return directory + ".korvel-" + text + ".tmp";
}

#if defined(_WIN32)

std::wstring Wide(const std::string& utf8, bool& ok) {
    ok = true;
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) {
        ok = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), n);
    return wide;
}

std::string Reason(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

std::string WriteAndReplace(const std::string& path, std::string_view bytes) {
    bool ok = false;
    const std::wstring target = Wide(path, ok);
    if (!ok)
        return Failure(path, "the name is not valid UTF-8");
    const std::string directory = DirectoryOf(path);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring temp = Wide(TemporaryName(directory, attempt), ok);
        HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            return Failure(path, Reason(error));
        }
        DWORD error = 0;
        std::size_t done = 0;
        while (error == 0 && done < bytes.size()) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
                error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
            done += written;
        }
        if (error == 0 && !FlushFileBuffers(file))
            error = GetLastError();
        CloseHandle(file);
        if (error == 0 && !MoveFileExW(temp.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = GetLastError();
        if (error != 0) {
            DeleteFileW(temp.c_str());
            return Failure(path, Reason(error));
        }
        return "";
    }
    return Failure(path, "no temporary file name was free beside it");
}

#else

std::string Reason(int error) {
    return std::system_category().message(error);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The rename is on the disk only once the directory is; a failure here
// changes nothing the user can act on, so it is not reported.
void SyncDirectory(const std::string& directory) {
    const int fd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string WriteAndReplace(const std::string& path, std::string_view bytes) {
    const std::string directory = DirectoryOf(path);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temp = TemporaryName(directory, attempt);
        // 0666 less the umask, as for any new file.
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return Failure(path, Reason(errno));
        }
        // A file that is replaced keeps its permissions.
        struct stat old {};
        if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            fchmod(fd, old.st_mode & 07777);
        int error = 0;
        if (!WriteAll(fd, bytes) || fsync(fd) != 0)
            error = errno;
        if (close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0 && rename(temp.c_str(), path.c_str()) != 0)
            error = errno;
        if (error != 0) {
            unlink(temp.c_str());
            return Failure(path, Reason(error));
        }
        SyncDirectory(directory);
        return "";
    }
    return Failure(path, "no temporary file name was free beside it");
}

#endif

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return "No file name given.";
    if (path.find('\0') != std::string::npos)
        return Failure(path, "the name contains a NUL character");
    return WriteAndReplace(path, bytes);
}

}  // namespace korvel
