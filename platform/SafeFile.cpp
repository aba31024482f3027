#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

FileError open_error(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR: return FileError::NotFound;
    case EACCES:
    case EPERM: return FileError::NoAccess;
    // A FIFO opened for reading never gives ENXIO, but a socket does.
    case ENXIO: return FileError::NotRegular;
    default: return FileError::OpenFailed;
    }
}

// Opens without blocking and checks kind and size; -1 with *error set on refusal.
int open_checked(const std::string& path, size_t max_bytes, FileError* error, size_t* size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = open_error(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        *error = FileError::OpenFailed;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = FileError::NotRegular;
        return -1;
    }
    if (st.st_size < 0 || uint64_t(st.st_size) > uint64_t(max_bytes)) {
        ::close(fd);
        *error = FileError::TooLarge;
        return -1;
    }
    *size = size_t(st.st_size);
    *error = FileError::NoError;
    return fd;
}

}  // namespace

FileRead read_file_limited(const std::string& path, size_t max_bytes)
{
    FileRead result;
    size_t size = 0;
    Descriptor fd(open_checked(path, max_bytes, &result.error, &size));
    if (fd.get() < 0) return result;

    // The size from fstat is a hint: the file may change while it is read.
    // Reading one byte past the limit tells a file that grew meanwhile.
    std::vector<uint8_t> bytes(size < max_bytes ? size + 1 : max_bytes + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > max_bytes) break;
            bytes.resize(std::min(max_bytes + 1, bytes.size() * 2 + 512));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            result.error = FileError::ReadFailed;
            return result;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    if (got > max_bytes) {
        result.error = FileError::TooLarge;
        return result;
    }
    bytes.resize(got);
    result.bytes = std::move(bytes);
    return result;
}

FileError check_regular_file(const std::string& path, size_t max_bytes)
{
    FileError error = FileError::NoError;
    size_t size = 0;
    Descriptor fd(open_checked(path, max_bytes, &error, &size));
    return error;
}

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

bool json_nests_deeper_than(std::string_view text, int max_depth)
{
    int depth = 0;
    bool in_string = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;   // the escaped character cannot end the string
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > max_depth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

}  // namespace kv
