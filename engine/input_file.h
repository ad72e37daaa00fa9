// Reading a file the user named as an input (a recording to replay, a
// Touchstone bench): opened once, taken only when it is a regular file (a
// FIFO, a device or a directory is refused by name, without waiting on it),
// and refused by its size before anything is read.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

enum class InputFile {
    Read,        // the whole file is in `text`
    CannotOpen,  // missing, or not permitted
    Refused,     // `why` says what it is instead, or why it was not read
};

// The whole file into `text`; otherwise what is wrong in `why` ("a directory,
// not a file", "larger than 64 MiB, ..."), without the file's name.
InputFile ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::string& text,
                        std::string& why);

}  // namespace korvel
