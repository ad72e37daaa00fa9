// Reads a whole recording and checks every line, so that a damaged,
// truncated or foreign file is refused before anything is replayed, with a
// message naming the line.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "traffic_entry.h"

namespace korvel::record {

struct Recording {
    TrafficHeader header;
    std::vector<TrafficEntry> entries;  // entries[i] is on line i + 2
};

// The largest recording read (some 600 scan passes): the file is
// refused by its size before it is read, and the memory of reading it stays
// within a small multiple of this.
inline constexpr std::uintmax_t kMaxRecordingBytes = 128u << 20;

// False with "line N: why" in `error`.
bool ReadRecordingText(std::string_view text, Recording& out, std::string& error);
bool ReadRecording(std::istream& in, Recording& out, std::string& error);
// As ReadRecording, from a regular file (a FIFO, device or directory is
// refused by name), the message prefixed with the file's name.
bool LoadRecording(const std::string& path, Recording& out, std::string& error);

}  // namespace korvel::record
