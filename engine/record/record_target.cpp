#include "record_target.h"

#include <filesystem>
#include <system_error>

namespace korvel::record {

namespace {

namespace fs = std::filesystem;

// Two names of one file: the same file where both exist (links followed),
// otherwise the same absolute path once "." and ".." are resolved.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        return !ec && same;
    }
    const fs::path left = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path right = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !ec && left == right;
}

}  // namespace

RunFile DeviceInputFile(const DeviceChoice& device) {
    switch (device.kind) {
        case DeviceChoice::Kind::kReplay:
            return {device.path, "the replay file"};
        case DeviceChoice::Kind::kSimFile:
            return {device.path, "the Touchstone file"};
        default:
            return {};
    }
}

std::string RecordTargetClash(const std::string& recordPath, const std::vector<RunFile>& others) {
    for (const RunFile& other : others) {
        if (!other.path.empty() && SameFile(recordPath, other.path)) {
            return "\"" + recordPath + "\" is " + other.role + " (\"" + other.path +
                   "\"); the recording would overwrite it: name another file";
        }
    }
    return {};
}

}  // namespace korvel::record
