#include "input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvel {

namespace {

std::string Size(std::uintmax_t bytes) {
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                   : std::to_string(bytes) + " bytes";
}

std::string TooLarge(std::uintmax_t maxBytes) {
    return "larger than " + Size(maxBytes) + ", more than any such file holds";
}

#if !defined(_WIN32)
std::string NotAFile(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory, not a file";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe), not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device, not a file";
    if (S_ISSOCK(mode))
        return "a socket, not a file";
    return "not a regular file";
}
#endif

}  // namespace

InputFile ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::string& text,
                        std::string& why) {
    text.clear();
#if defined(_WIN32)
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
        return InputFile::CannotOpen;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        why = "a directory, not a file";
        return InputFile::Refused;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        why = "not a regular file";
        return InputFile::Refused;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return InputFile::CannotOpen;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > maxBytes) {
        why = TooLarge(maxBytes);
        return InputFile::Refused;
    }
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            why = TooLarge(maxBytes);
            return InputFile::Refused;
        }
    }
    if (in.bad()) {
        why = "cannot be read";
        return InputFile::Refused;
    }
    return InputFile::Read;
#else
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return InputFile::CannotOpen;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        return InputFile::Refused;
    }
    if (!S_ISREG(st.st_mode)) {
        why = NotAFile(st.st_mode);
        return InputFile::Refused;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        why = TooLarge(maxBytes);
        return InputFile::Refused;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // One byte more than the size shows a file that grew since; it is read
    // on, up to one byte past the cap.
    text.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (got > maxBytes)
                break;
            text.resize(std::min<std::uintmax_t>(maxBytes + 1, 2 * text.size()));
        }
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::strerror(errno);
            return InputFile::Refused;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    if (got > maxBytes) {
        why = TooLarge(maxBytes);
        return InputFile::Refused;
    }
    return InputFile::Read;
#endif
}

}  // namespace korvel
