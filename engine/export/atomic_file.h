// Replacing a file so that a reader (or a crash) never sees half of it.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// Writes a temporary file beside `path`, flushes it to the disk and renames
// it over `path`: either the whole new content is there or the old file is
// untouched, and no temporary file is left behind. `path` is UTF-8. Returns
// "" or a message for the user naming the file and the reason.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace korvel
