// Writes a recording: the header when the file is opened (truncated), then
// one line per call, each flushed as it is written so that a crash or an
// unplugged instrument loses nothing already exchanged.
#pragma once

#include <fstream>
#include <string>

#include "traffic_entry.h"

namespace korvel::record {

class TrafficWriter {
  public:
    // False with a message naming the file when it cannot be written.
    bool Open(const std::string& path, const TrafficHeader& header, std::string& error);
    // False once a line could not be written (then and after).
    bool Write(const TrafficEntry& entry);

  private:
    bool WriteLine(const std::string& line);

    std::ofstream file_;
    bool failed_ = false;
};

// The header and entry lines, without the line end.
std::string HeaderLine(const TrafficHeader& header);
std::string EntryLine(const TrafficEntry& entry);

// Now, as "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string UtcTimestamp();

}  // namespace korvel::record
