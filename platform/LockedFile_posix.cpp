#include "platform/LockedFile.h"

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

struct LockedFile::System {
    int fd = -1;
};

namespace {

bool write_all(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;   // a regular file: EAGAIN does not last
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

}   // namespace

LockedFile::LockedFile(const std::string& path, Open how, size_t max_bytes, double patience,
                       const std::function<bool()>& give_up)
    : max_bytes_(max_bytes)
{
    const int flags = O_RDWR | (how == Open::CreateIfMissing ? O_CREAT : 0);
    // Without O_NONBLOCK, opening a FIFO would wait for its other end.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    auto fail = [&](int e) {
        ::close(fd);
        error_ = e;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(EINVAL);
        return;
    }
    if (uint64_t(st.st_size) > max_bytes) {
        fail(EFBIG);
        return;
    }
    timespec pause{0, 10 * 1000 * 1000};
    for (int tries = 0;; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            fail(errno);
            return;
        }
        if (give_up && give_up()) {
            fail(EINTR);
            return;
        }
        if (tries * 0.01 >= patience) {
            fail(EWOULDBLOCK);
            return;
        }
        nanosleep(&pause, nullptr);
    }
    system_ = std::make_unique<System>(System{fd});
}

LockedFile::~LockedFile()
{
    if (!system_) return;
    ::flock(system_->fd, LOCK_UN);
    ::close(system_->fd);
}

bool LockedFile::read_all(std::string& content)
{
    if (!system_) return false;
    if (::lseek(system_->fd, 0, SEEK_SET) < 0) return false;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(system_->fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        content.append(buf, size_t(n));
        if (content.size() > max_bytes_) {
            errno = EFBIG;
            return false;
        }
    }
}

bool LockedFile::append(std::string_view text)
{
    if (!system_ || ::lseek(system_->fd, 0, SEEK_END) < 0) return false;
    return write_all(system_->fd, text.data(), text.size());
}

bool LockedFile::replace_content(std::string_view text)
{
    if (!system_) return false;
    if (::ftruncate(system_->fd, 0) != 0) return false;
    if (::lseek(system_->fd, 0, SEEK_SET) < 0) return false;
    return write_all(system_->fd, text.data(), text.size());
}

}   // namespace kv
