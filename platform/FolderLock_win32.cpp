// FolderLock on Windows: LockFileEx over the whole lock file. The lock
// belongs to the open handle, so it goes when the handle is closed, also by
// the system when the process dies. Waiting has no time limit, as on POSIX
// systems: LockFileEx without LOCKFILE_FAIL_IMMEDIATELY blocks until granted.

#include "platform/FolderLock.h"
#include "platform/Utf16_win32.h"

namespace kv {

namespace {

HANDLE handle_of(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

} // namespace

FolderLock::~FolderLock() { release(); }

void FolderLock::release()
{
    if (handle_ == kNoHandle) return;
    OVERLAPPED at{};
    ::UnlockFileEx(handle_of(handle_), 0, MAXDWORD, MAXDWORD, &at);
    ::CloseHandle(handle_of(handle_));
    handle_ = kNoHandle;
}

FolderLock FolderLock::take(const std::string& lock_file, LockMode mode)
{
    FolderLock l;
    l.path_ = lock_file;
    const std::wstring wide = win32::widen(lock_file);
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    // A reader of a folder it may not write still shares an existing lock.
    if (h == INVALID_HANDLE_VALUE && mode == LockMode::Shared && ::GetLastError() == ERROR_ACCESS_DENIED)
        h = ::CreateFileW(wide.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        l.system_error_ = win32::errno_of(::GetLastError());
        l.error_ = LockError::CannotOpen;
        return l;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        ::CloseHandle(h);
        l.error_ = LockError::NotRegular;
        return l;
    }
    OVERLAPPED at{};
    const DWORD flags = mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (!::LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &at)) {
        l.system_error_ = win32::errno_of(::GetLastError());
        l.error_ = LockError::CannotLock;
        ::CloseHandle(h);
        return l;
    }
    l.handle_ = reinterpret_cast<intptr_t>(h);
    return l;
}

} // namespace kv
