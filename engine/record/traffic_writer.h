// Writes a recording: the header when the file is opened (created or
// replaced), then one line per call, each written through at once so that a
// crash or an unplugged instrument loses nothing already exchanged. A line
// that cannot be written whole is taken back: the file ends at the last
// whole line, and nothing more is written.
#pragma once

#include <cstdint>
#include <string>

#include "traffic_entry.h"

namespace korvel::record {

class TrafficWriter {
  public:
    TrafficWriter() = default;
    ~TrafficWriter();
    TrafficWriter(TrafficWriter&& other) noexcept;
    TrafficWriter& operator=(TrafficWriter&& other) noexcept;
    TrafficWriter(const TrafficWriter&) = delete;
    TrafficWriter& operator=(const TrafficWriter&) = delete;

    // False with a message naming the file when it cannot be written.
    bool Open(const std::string& path, const TrafficHeader& header, std::string& error);
    bool IsOpen() const { return fd_ >= 0; }
    // False once a line could not be written (then and after).
    bool Write(const TrafficEntry& entry);

  private:
    bool WriteLine(const std::string& line);
    void Close();

    int fd_ = -1;
    uint64_t whole_ = 0;  // bytes of the lines written whole
    bool failed_ = false;
};

// The header and entry lines, without the line end.
std::string HeaderLine(const TrafficHeader& header);
std::string EntryLine(const TrafficEntry& entry);

// Now, as "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string UtcTimestamp();

}  // namespace korvel::record
