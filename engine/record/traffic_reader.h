// Reads a whole recording and checks every line, so that a damaged,
// truncated or foreign file is refused before anything is replayed, with a
// message naming the line.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "traffic_entry.h"

namespace korvel::record {

struct Recording {
    TrafficHeader header;
    std::vector<TrafficEntry> entries;  // entries[i] is on line i + 2
};

// False with "line N: why" in `error`.
bool ReadRecording(std::istream& in, Recording& out, std::string& error);
// As ReadRecording, the message prefixed with the file's name.
bool LoadRecording(const std::string& path, Recording& out, std::string& error);

}  // namespace korvel::record
