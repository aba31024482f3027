#include "library/core/ReadFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

OutsideFile read_outside_file(const std::string& path, size_t limit)
{
    OutsideFile r;
    auto fail = [&r](int error, std::string reason) {
        r.bytes.clear();
        r.error = error;
        r.reason = std::move(reason);
        return r;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int e = errno;
        return fail(e, e == ENOENT ? "no such file" : std::strerror(e));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(errno, std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail(EINVAL, "not a regular file");
    if (st.st_size < 0 || size_t(st.st_size) > limit) return fail(EFBIG, "larger than the limit for its kind");
    // The read stops at the limit even when the file grows meanwhile.
    r.bytes.resize(limit + 1);
    size_t got = 0;
    while (got < r.bytes.size()) {
        const ssize_t n = ::read(fd, r.bytes.data() + got, r.bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno, std::strerror(errno));
        }
        if (n == 0) break;
        got += size_t(n);
    }
    if (got > limit) return fail(EFBIG, "larger than the limit for its kind");
    r.bytes.resize(got);
    return r;
}

}  // namespace kv
