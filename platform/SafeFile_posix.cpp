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

}  // namespace kv
