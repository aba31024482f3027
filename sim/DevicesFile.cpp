#include "sim/DevicesFile.h"

#include "link/DeviceList.h"
#include "link/PedalWire.h"
#include "platform/SafeFile.h"

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr double kLockPatience = 5.0;   // seconds to wait for another holder of the lock

// An open regular file held under an exclusive lock for the life of the object.
class LockedFile {
public:
    LockedFile(const std::string& path, int flags, const GiveUp& give_up)
    {
        // Without O_NONBLOCK, opening a FIFO would wait for its other end.
        fd_ = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd_ < 0) return;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            fail(EINVAL);
            return;
        }
        if (uint64_t(st.st_size) > kListFileLimit) {
            fail(EFBIG);
            return;
        }
        timespec pause{0, 10 * 1000 * 1000};
        for (int tries = 0;; ++tries) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) break;
            if (errno != EWOULDBLOCK && errno != EINTR) {
                fail(errno);
                return;
            }
            if (give_up && give_up()) {
                fail(EINTR);
                return;
            }
            if (tries * 0.01 >= kLockPatience) {
                fail(EWOULDBLOCK);
                return;
            }
            nanosleep(&pause, nullptr);
        }
    }
    ~LockedFile()
    {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    int fd() const { return fd_; }

private:
    void fail(int e)
    {
        ::close(fd_);
        fd_ = -1;
        errno = e;
    }
    int fd_ = -1;
};

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

// The locked file's content, at most kListFileLimit bytes.
bool read_all(int fd, std::string& content)
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        content.append(buf, size_t(n));
        if (content.size() > kListFileLimit) {
            errno = EFBIG;
            return false;
        }
    }
}

// The content without stale lines and without the first line equal to
// `remove` (when given); *removed says whether that line was there.
std::string tidied(const std::string& content, const std::string* remove, bool* removed, bool* changed)
{
    std::string kept;
    *removed = false;
    *changed = false;
    const auto lines = split_lines(content);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i];
        if (remove && !*removed && text == *remove) {
            *removed = true;
            *changed = true;
            continue;
        }
        if (const auto d = parse_device_line(text); d && !process_alive(d->pid)) {
            *changed = true;
            continue;
        }
        kept.append(text);
        // Another program's last line keeps its missing newline.
        if (i + 1 < lines.size() || content.back() == '\n') kept.push_back('\n');
    }
    return kept;
}

bool rewrite(int fd, const std::string& text)
{
    if (::ftruncate(fd, 0) != 0) return false;
    if (::lseek(fd, 0, SEEK_SET) < 0) return false;
    return write_all(fd, text.data(), text.size());
}

}  // namespace

std::string device_line(const std::string& tty_path, const std::string& serial_number, long pid)
{
    return tty_path + "\t" + kPedalDescription + "\t" + serial_number + "\t" + std::to_string(pid);
}

bool add_device_line(const std::string& file, const std::string& line, const GiveUp& give_up)
{
    LockedFile f(file, O_RDWR | O_CREAT, give_up);
    if (f.fd() < 0) return false;
    std::string content;
    if (!read_all(f.fd(), content)) return false;
    bool removed = false, changed = false;
    std::string text = tidied(content, nullptr, &removed, &changed);
    if (!changed) {
        // Only append: a reader never sees the file half-written.
        if (::lseek(f.fd(), 0, SEEK_END) < 0) return false;
        if (!content.empty() && content.back() != '\n' && !write_all(f.fd(), "\n", 1)) return false;
        const std::string added = line + "\n";
        return write_all(f.fd(), added.data(), added.size());
    }
    if (!text.empty() && text.back() != '\n') text.push_back('\n');
    text += line + "\n";
    return rewrite(f.fd(), text);
}

bool remove_device_line(const std::string& file, const std::string& line, const GiveUp& give_up)
{
    LockedFile f(file, O_RDWR, give_up);
    if (f.fd() < 0) return false;
    std::string content;
    if (!read_all(f.fd(), content)) return false;
    bool removed = false, changed = false;
    const std::string text = tidied(content, &line, &removed, &changed);
    if (changed && !rewrite(f.fd(), text)) return false;
    return removed;
}

}  // namespace kv
