#include "traffic_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <utility>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace korvel::record {

// Keys in a fixed order keep the file easy to read and to compare.
using Json = nlohmann::ordered_json;

std::string HeaderLine(const TrafficHeader& header) {
    Json line;
    line["format"] = kFormatName;
    line["version"] = kFormatVersion;
    line["program"] = header.program;
    line["programVersion"] = header.programVersion;
    line["device"] = header.device;
    line["start"] = header.start;
    // Replaced, not thrown: a device string need not be valid UTF-8.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string EntryLine(const TrafficEntry& entry) {
    Json line;
    line["t"] = entry.atMs;
    line["op"] = OpName(entry.op);
    switch (entry.op) {
        case TrafficOp::Count:
            line["devices"] = entry.value;
            break;
        case TrafficOp::Open:
            line["opened"] = entry.value != 0;
            break;
        case TrafficOp::Close:
            break;
        case TrafficOp::Write:
        case TrafficOp::Read:
            if (!entry.bytes.empty() || entry.op == TrafficOp::Write)
                line["bytes"] = ToHex(entry.bytes);
            line["result"] = ResultName(entry.result);
            if (entry.result == TransferResult::Ok)
                line["count"] = entry.value;
            line["ms"] = entry.tookMs;
            line["open"] = entry.openAfter;
            break;
    }
    return line.dump();
}

std::string UtcTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

namespace {

#if defined(_WIN32)
int OpenForWriting(const std::string& path) {
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t n) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
void TruncateTo(int fd, uint64_t size) {
    ::_chsize_s(fd, static_cast<__int64>(size));
}
void CloseFile(int fd) {
    ::_close(fd);
}
#else
int OpenForWriting(const std::string& path) {
    // A file over the size limit (ulimit -f) must fail a write, as a full
    // disk does, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const char* data, std::size_t n) {
    return static_cast<long>(::write(fd, data, n));
}
void TruncateTo(int fd, uint64_t size) {
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        // Nothing more can be done: the next reader names the cut line.
    }
}
void CloseFile(int fd) {
    ::close(fd);
}
#endif

}  // namespace

TrafficWriter::~TrafficWriter() {
    Close();
}

TrafficWriter::TrafficWriter(TrafficWriter&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), whole_(other.whole_), failed_(other.failed_) {}

TrafficWriter& TrafficWriter::operator=(TrafficWriter&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        whole_ = other.whole_;
        failed_ = other.failed_;
    }
    return *this;
}

void TrafficWriter::Close() {
    if (fd_ >= 0) {
        CloseFile(fd_);
        fd_ = -1;
    }
}

bool TrafficWriter::Open(const std::string& path, const TrafficHeader& header, std::string& error) {
    Close();
    failed_ = false;
    whole_ = 0;
    errno = 0;
    fd_ = OpenForWriting(path);
    if (fd_ < 0) {
        error = "cannot write the recording \"" + path + "\"" +
                (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    if (!WriteLine(HeaderLine(header))) {
        error = "cannot write the recording \"" + path + "\"";
        return false;
    }
    return true;
}

bool TrafficWriter::Write(const TrafficEntry& entry) {
    return WriteLine(EntryLine(entry));
}

bool TrafficWriter::WriteLine(const std::string& line) {
    if (failed_ || fd_ < 0)
        return false;
    const std::string text = line + '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const long n = WriteSome(fd_, text.data() + done, text.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            // Take the cut line back, and write nothing after it.
            failed_ = true;
            TruncateTo(fd_, whole_);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    whole_ += text.size();
    return true;
}

}  // namespace korvel::record
