// FolderLock on POSIX systems: flock(2) on the lock file's descriptor. A lock
// taken with flock belongs to the open file, so it goes when the descriptor
// is closed, also by the kernel when the process dies.

#include "platform/FolderLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

FolderLock::~FolderLock() { release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept
    : handle_(other.handle_), error_(other.error_), system_error_(other.system_error_), path_(std::move(other.path_))
{
    other.handle_ = kNoHandle;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept
{
    if (this != &other) {
        release();
        handle_ = other.handle_;
        error_ = other.error_;
        system_error_ = other.system_error_;
        path_ = std::move(other.path_);
        other.handle_ = kNoHandle;
    }
    return *this;
}

void FolderLock::release()
{
    if (handle_ == kNoHandle) return;
    ::close(int(handle_));   // closing the descriptor lets the lock go
    handle_ = kNoHandle;
}

FolderLock FolderLock::take(const std::string& lock_file, LockMode mode)
{
    FolderLock l;
    l.path_ = lock_file;
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    // A reader of a folder it may not write still shares an existing lock.
    if (fd < 0 && mode == LockMode::Shared && (errno == EACCES || errno == EROFS))
        fd = ::open(lock_file.c_str(), O_RDONLY | kFlags);
    if (fd < 0) {
        l.system_error_ = errno;
        l.error_ = errno == ELOOP ? LockError::NotRegular : LockError::CannotOpen;
        return l;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        l.error_ = LockError::NotRegular;
        return l;
    }
    int r;
    do r = ::flock(fd, mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        l.system_error_ = errno;
        l.error_ = LockError::CannotLock;
        ::close(fd);
        return l;
    }
    l.handle_ = fd;
    return l;
}

std::string FolderLock::message() const
{
    switch (error_) {
    case LockError::NoError: return {};
    case LockError::CannotOpen: return "cannot lock " + path_ + ": " + std::strerror(system_error_);
    case LockError::NotRegular: return "cannot lock " + path_ + ": it is not a regular file";
    case LockError::CannotLock: return "cannot lock " + path_ + ": " + std::strerror(system_error_);
    }
    return {};
}

}  // namespace kv
