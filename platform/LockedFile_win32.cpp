#include "platform/LockedFile.h"
#include "platform/Utf16_win32.h"

#include <cerrno>

namespace kv {

struct LockedFile::System {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

bool write_all(HANDLE h, const char* p, size_t n)
{
    while (n > 0) {
        DWORD w = 0;
        if (!::WriteFile(h, p, DWORD(n > (1u << 30) ? (1u << 30) : n), &w, nullptr) || w == 0) return false;
        p += w;
        n -= w;
    }
    return true;
}

bool seek(HANDLE h, DWORD from)
{
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(h, zero, nullptr, from);
}

// The whole file, however long it grows: the lock covers every byte.
bool lock_all(HANDLE h)
{
    OVERLAPPED at{};
    return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at);
}

}   // namespace

LockedFile::LockedFile(const std::string& path, Open how, size_t max_bytes, double patience,
                       const std::function<bool()>& give_up)
    : max_bytes_(max_bytes)
{
    // Shared for reading, writing and deleting: the lock, not the sharing
    // mode, keeps the writers apart. Windows' locks are mandatory: a plain
    // reader of the file meanwhile gets a read error, for the moment the
    // change takes.
    const HANDLE h =
        ::CreateFileW(win32::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      how == Open::CreateIfMissing ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = win32::errno_of(::GetLastError());
        return;
    }
    auto fail = [&](int e) {
        ::CloseHandle(h);
        error_ = e;
    };
    LARGE_INTEGER size{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &size)) {
        fail(EINVAL);
        return;
    }
    if (uint64_t(size.QuadPart) > max_bytes) {
        fail(EFBIG);
        return;
    }
    for (int tries = 0;; ++tries) {
        if (lock_all(h)) break;
        if (::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING) {
            fail(win32::errno_of(::GetLastError()));
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
        ::Sleep(10);
    }
    system_ = std::make_unique<System>(System{h});
}

LockedFile::~LockedFile()
{
    if (!system_) return;
    OVERLAPPED at{};
    ::UnlockFileEx(system_->handle, 0, MAXDWORD, MAXDWORD, &at);
    ::CloseHandle(system_->handle);
}

bool LockedFile::read_all(std::string& content)
{
    if (!system_ || !seek(system_->handle, FILE_BEGIN)) return false;
    char buf[4096];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(system_->handle, buf, sizeof buf, &n, nullptr)) return false;
        if (n == 0) return true;
        content.append(buf, n);
        if (content.size() > max_bytes_) {
            errno = EFBIG;
            return false;
        }
    }
}

bool LockedFile::append(std::string_view text)
{
    if (!system_ || !seek(system_->handle, FILE_END)) return false;
    return write_all(system_->handle, text.data(), text.size());
}

bool LockedFile::replace_content(std::string_view text)
{
    if (!system_ || !seek(system_->handle, FILE_BEGIN) || !::SetEndOfFile(system_->handle)) return false;
    return write_all(system_->handle, text.data(), text.size());
}

}   // namespace kv
