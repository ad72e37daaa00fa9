// Where a recording may go: --record replaces the file it names, as command
// line tools do, but never one the same run reads or writes besides.
#pragma once

#include <string>
#include <vector>

#include "device_choice.h"

namespace korvel::record {

// A file of the run besides the recording, and what it is to the user.
struct RunFile {
    std::string path;  // "" for none
    std::string role;  // "the replay file", "the --output file", ...
};

// The file a device choice reads: the recording of replay:FILE or the
// Touchstone file of sim:FILE; none for any other device.
RunFile DeviceInputFile(const DeviceChoice& device);

// "" when `recordPath` may take the recording; otherwise why not: it is the
// same file (same device and inode, through any link or spelling) as one of
// `others`, or would become it.
std::string RecordTargetClash(const std::string& recordPath, const std::vector<RunFile>& others);

}  // namespace korvel::record
