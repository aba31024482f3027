#pragma once
// Reading a file that comes from outside the program (a chosen preset or
// backup file, the list and the files it names): opened without blocking
// (O_NONBLOCK, so a FIFO or a device never hangs the program), it must be a
// regular file, and it is read up to a limit for its kind. A file larger than
// the limit is refused before anything is read.
//
// The failure is a value with errno (for the lines that print an error code)
// and a reason for the user.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct OutsideFile {
    std::vector<uint8_t> bytes;   // the whole file when ok()
    int error = 0;                // errno of the failure, 0 when read
    std::string reason;           // "no such file", "not a regular file", ...

    bool ok() const { return error == 0; }
    // "cannot read <path>: <reason>".
    std::string message(const std::string& path) const { return "cannot read " + path + ": " + reason; }
};

OutsideFile read_outside_file(const std::string& path, size_t limit);

}  // namespace kv
