#pragma once
// Reading a file that comes from outside the program (a firmware package, the
// data files in bin/): opened without blocking, so that a FIFO or a device
// cannot hang the program, refused unless it is a regular file, and read
// only up to a limit chosen for its kind. On failure the result carries an
// errno value, which the reports quote as their error code.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::ops {

struct OutsideFile {
    std::vector<uint8_t> bytes;   // the whole file when error is 0
    int error = 0;                // errno of the failure; EISDIR / ENODEV for a folder or special file, EFBIG over the limit
    bool ok() const { return error == 0; }
};

OutsideFile read_outside_file(const std::string& path, size_t limit);

// Limits for the kinds of file the maintenance operations read.
inline constexpr size_t kPackageFileLimit = 1u << 20;    // a firmware package: two 64 KiB images and notes, with room
inline constexpr size_t kDataFileLimit = 1u << 20;       // the data files in bin/

} // namespace kv::ops
