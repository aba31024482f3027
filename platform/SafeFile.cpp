#include "platform/SafeFile.h"

// The messages and line splitting every system shares; opening and reading
// are in SafeFile_posix.cpp and SafeFile_win32.cpp.

namespace kv {

const char* file_error_text(FileError error)
{
    switch (error) {
    case FileError::NoError: return "no error";
    case FileError::NotFound: return "no such file";
    case FileError::NoAccess: return "permission denied";
    case FileError::OpenFailed: return "cannot be opened";
    case FileError::NotRegular: return "not a regular file";
    case FileError::TooLarge: return "larger than the limit for its kind";
    case FileError::ReadFailed: return "read error";
    }
    return "unknown error";
}

std::string read_failure_message(const std::string& path, FileError error)
{
    return "cannot read " + path + ": " + file_error_text(error);
}

std::vector<std::string_view> split_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        pos = next;
    }
    return lines;
}

}  // namespace kv
