#pragma once
// One lock on a folder, shared by every program that changes what lies in it
// (the library's transaction, library/core/LibraryStore.h). The lock is a
// file in the folder; holding it exclusively means no other holder, shared
// means readers only. Other processes and other FolderLock objects of the
// same process wait for each other (an exclusive lock taken twice by one
// thread waits for ever: never nest them).
//
// The lock file is created on first use and never removed: removing it while
// another program waits on it would give two holders. A lock file that is not
// a regular file (a FIFO, a folder, a link) is refused.
//
// The lock goes when the object is destroyed, or when the process ends in
// any way (a killed program never leaves the folder locked). Waiting has no
// time limit: holders keep it for one change, never across a question to the
// user.
//
// One back-end per system (FolderLock_posix.cpp: flock on the open file).
// Toolkit-free; errors are values.

#include <cstdint>
#include <string>

namespace kv {

enum class LockMode { Shared, Exclusive };

enum class LockError {
    NoError,
    CannotOpen,   // the lock file could not be created or opened (error: errno)
    NotRegular,   // the lock file is not a regular file
    CannotLock,   // the system refused the lock (error: errno)
};

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits until the lock on `lock_file` is held in `mode`, or fails.
    static FolderLock take(const std::string& lock_file, LockMode mode);

    bool held() const { return error_ == LockError::NoError && handle_ != kNoHandle; }
    explicit operator bool() const { return held(); }
    LockError error() const { return error_; }
    // "cannot lock <path>: <reason>"; empty when held.
    std::string message() const;
    // Lets the lock go now (the destructor does the same).
    void release();

private:
    static constexpr intptr_t kNoHandle = -1;
    intptr_t handle_ = kNoHandle;   // a file descriptor, or a system handle
    LockError error_ = LockError::NoError;
    int system_error_ = 0;
    std::string path_;
};

}  // namespace kv
