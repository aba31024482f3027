// FolderLock's parts that are alike on every system; taking and letting go
// of the lock are in FolderLock_posix.cpp and FolderLock_win32.cpp.

#include "platform/FolderLock.h"

#include <cstring>

namespace kv {

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

} // namespace kv
