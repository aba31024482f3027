#include "sim/DevicesFile.h"

#include "link/PedalWire.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kv {

namespace {

// An open file held under an exclusive lock for the life of the object.
class LockedFile {
public:
    LockedFile(const std::string& path, int flags)
    {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        int r;
        do {
            r = ::flock(fd_, LOCK_EX);
        } while (r != 0 && errno == EINTR);
        if (r != 0) {
            ::close(fd_);
            fd_ = -1;
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
    int fd_ = -1;
};

bool write_all(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

}  // namespace

std::string device_line(const std::string& tty_path, const std::string& serial_number)
{
    return tty_path + "\t" + kPedalDescription + "\t" + serial_number;
}

bool add_device_line(const std::string& file, const std::string& line)
{
    LockedFile f(file, O_WRONLY | O_CREAT | O_APPEND);
    if (f.fd() < 0) return false;
    const std::string text = line + "\n";
    return write_all(f.fd(), text.data(), text.size());
}

bool remove_device_line(const std::string& file, const std::string& line)
{
    LockedFile f(file, O_RDWR);
    if (f.fd() < 0) return false;
    std::string content;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(f.fd(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        content.append(buf, size_t(n));
    }

    std::string kept;
    bool found = false;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        const bool has_newline = end != std::string::npos;
        if (!has_newline) end = content.size();
        std::string text = content.substr(pos, end - pos);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (!found && text == line) {
            found = true;
        } else {
            kept.append(content, pos, end - pos);
            if (has_newline) kept.push_back('\n');
        }
        pos = has_newline ? end + 1 : end;
    }
    if (!found) return false;
    if (::ftruncate(f.fd(), 0) != 0) return false;
    if (::lseek(f.fd(), 0, SEEK_SET) < 0) return false;
    return write_all(f.fd(), kept.data(), kept.size());
}

}  // namespace kv
