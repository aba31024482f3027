#include "ops/OutsideFile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::ops {

OutsideFile read_outside_file(const std::string& path, size_t limit)
{
    OutsideFile r;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.error = errno ? errno : EIO;
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        r.error = errno ? errno : EIO;
    } else if (S_ISDIR(st.st_mode)) {
        r.error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        r.error = ENODEV;
    } else if (st.st_size < 0 || uint64_t(st.st_size) > uint64_t(limit)) {
        r.error = EFBIG;
    }
    if (r.error != 0) {
        ::close(fd);
        return r;
    }
    // The size is a hint only: a file that grows while it is read is caught
    // by reading one byte past the limit.
    r.bytes.resize(size_t(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == r.bytes.size()) {
            if (r.bytes.size() > limit) break;
            r.bytes.resize(std::min(limit + 1, r.bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, r.bytes.data() + got, r.bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = errno ? errno : EIO;
            break;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (r.error == 0 && got > limit) r.error = EFBIG;
    if (r.error != 0) {
        r.bytes.clear();
        return r;
    }
    r.bytes.resize(got);
    return r;
}

} // namespace kv::ops
