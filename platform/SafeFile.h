#pragma once
// Reading a file that comes from outside the program, safely. Every file the
// editor and the simulated pedal read (the devices list, "presets.lst" and the
// preset files it names, backups, firmware packages, the bin/ data files, the
// simulator's state file, the PNG artwork) goes through read_file_limited:
//
//   - the file is opened with O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, so
//     a FIFO without a writer, a terminal or a device never blocks the open;
//   - what was opened must be a regular file (fstat S_ISREG on the opened
//     descriptor, so there is no window between checking and reading):
//     /dev/zero, FIFOs, sockets, terminals and folders are refused;
//   - a file larger than the caller's limit is refused before anything is
//     read, and the read itself stops at the limit, so a file that grows while
//     it is read cannot make the program grow with it.
//
// Pick the limit from the kind of file (a few times the largest valid one),
// never SIZE_MAX. On failure the result says why; file_error_text() gives a
// short lower-case reason for messages such as
// "cannot read <path>: not a regular file" (read_failure_message()).
//
//     const FileRead r = read_file_limited(path, kPresetFileLimit);
//     if (!r) { report(read_failure_message(path, r.error)); return; }
//     use(r.bytes);
//
// check_regular_file() applies the same rules without keeping the content,
// for a caller that must hand a path to a library which opens it itself.
// Toolkit-free; errors are values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class FileError {
    NoError,      // read completely (not "None": X11 defines that as a macro)
    NotFound,     // no such file (or a component of the path is missing)
    NoAccess,     // permission denied
    OpenFailed,   // any other reason the open failed
    NotRegular,   // a folder, FIFO, device, socket or terminal
    TooLarge,     // larger than the limit for its kind
    ReadFailed,   // the read itself failed
};

struct FileRead {
    std::vector<uint8_t> bytes;   // the whole file when error is None, else empty
    FileError error = FileError::NoError;

    bool ok() const { return error == FileError::NoError; }
    explicit operator bool() const { return ok(); }
    std::string_view text() const { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }
};

// Reads the whole of a regular file of at most max_bytes bytes.
FileRead read_file_limited(const std::string& path, size_t max_bytes);

// The rules of read_file_limited (opened without blocking, regular, at most
// max_bytes) without reading the content. FileError::NoError when they hold.
FileError check_regular_file(const std::string& path, size_t max_bytes);

// "no such file", "not a regular file", "larger than the limit for its kind", ...
const char* file_error_text(FileError error);

// "cannot read <path>: <reason>".
std::string read_failure_message(const std::string& path, FileError error);

// Splits text into lines at '\n', dropping a '\r' before it; the last line
// needs no newline. Empty lines are kept (callers skip them as they see fit).
std::vector<std::string_view> split_lines(std::string_view text);

// JSON from outside may nest without end ("[[[[..."), and a reader that
// walks or prints it recursively then runs out of stack. Every JSON text is
// checked before it is parsed: true when brackets and braces (outside
// strings) nest deeper than max_depth.
inline constexpr int kJsonNestingLimit = 32;
bool json_nests_deeper_than(std::string_view text, int max_depth);

// Limits for the kinds of file the programs read. Each is well above the
// largest valid file of its kind and far below what would hurt.
inline constexpr size_t kListFileLimit = 1u << 20;        // devices list (presets.lst: kPresetListReadLimit)
inline constexpr size_t kPresetFileLimit = 4096;          // one offline preset (.lop)
inline constexpr size_t kDataFileLimit = 1u << 20;        // bin/ data files, backups, packages
inline constexpr size_t kArtworkFileLimit = 16u << 20;    // one PNG picture
inline constexpr size_t kSmallTextFileLimit = 4096;       // a one-line text such as a sysfs attribute

}  // namespace kv
