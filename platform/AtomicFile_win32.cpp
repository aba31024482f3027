#include "platform/AtomicFile.h"
#include "platform/AtomicFileSystem.h"
#include "platform/Utf16_win32.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <random>

namespace kv {

namespace {

std::string not_regular(const char* kind, bool through_link)
{
    return std::string(through_link ? "it is a symbolic link to " : "it is ") + kind +
        ", not a regular file; nothing was written";
}

// The path a handle finally names, with '/' separators and without the
// "\\?\" prefix GetFinalPathNameByHandleW puts before it.
std::string final_path(HANDLE h)
{
    std::wstring buf(512, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED);
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    if (buf.rfind(L"\\\\?\\", 0) == 0) buf.erase(0, 4);
    return win32::forward_slashes(win32::narrow(buf));
}

}   // namespace

OutputTarget resolve_output_target(const std::string& path)
{
    OutputTarget t;
    t.file = path;
    const std::wstring wide = win32::widen(path);
    const DWORD attrs = ::GetFileAttributesW(wide.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        // Nothing there (or not reachable): creating the file says why. A
        // device name (COM1, NUL) has no attributes either: refused below.
        if (!path.empty() && (path.back() == '/' || path.back() == '\\'))
            t.reason = "it names a folder, not a file; nothing was written";
        else if (::GetLastError() != ERROR_FILE_NOT_FOUND && ::GetLastError() != ERROR_PATH_NOT_FOUND) {
            const HANDLE h =
                ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                const DWORD type = ::GetFileType(h);
                ::CloseHandle(h);
                if (type == FILE_TYPE_CHAR) t.reason = not_regular("a character device", false);
                else if (type == FILE_TYPE_PIPE) t.reason = not_regular("a FIFO (named pipe)", false);
            }
        }
        return t;
    }
    const bool link = attrs & FILE_ATTRIBUTE_REPARSE_POINT;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
        t.reason = not_regular("a folder", link);
        return t;
    }
    if (!link) return t;
    // A symbolic link: the file it finally names is replaced, the link stays.
    const HANDLE h = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        t.reason = "it is a symbolic link to nothing that can be written; nothing was written";
        return t;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    t.file = final_path(h);
    ::CloseHandle(h);
    if (!known || t.file.empty())
        t.reason = "it is a symbolic link to nothing that can be written; nothing was written";
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) t.reason = not_regular("a folder", true);
    return t;
}

bool remove_file(const std::string& path, int* error)
{
    if (::DeleteFileW(win32::widen(path).c_str())) return true;
    const DWORD e = ::GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return true;
    if (error) *error = win32::errno_of(e);
    return false;
}

namespace atomic_file {

int create_temporary(std::string& pattern, std::FILE** stream)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand pick(std::random_device{}() ^ ::GetCurrentProcessId() ^ ::GetTickCount());
    const size_t at = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = at; i < pattern.size(); ++i) pattern[i] = kLetters[pick() % (sizeof kLetters - 1)];
        // Shared for deleting, so that a replace of the folder's other files
        // is not held up; CREATE_NEW never takes another writer's file.
        const HANDLE h =
            ::CreateFileW(win32::widen(pattern).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) continue;
            return win32::errno_of(::GetLastError());
        }
        // Binary mode: no CR-LF translation of the bytes written.
        const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
        if (fd < 0) {
            ::CloseHandle(h);
            ::DeleteFileW(win32::widen(pattern).c_str());
            return EIO;
        }
        *stream = ::_fdopen(fd, "wb");
        if (!*stream) {
            const int e = errno;
            ::_close(fd);
            ::DeleteFileW(win32::widen(pattern).c_str());
            return e ? e : EIO;
        }
        return 0;
    }
    return EEXIST;
}

int flush_to_disk(std::FILE* stream)
{
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return ::FlushFileBuffers(h) ? 0 : win32::errno_of(::GetLastError());
}

int replace(const std::string& temp, const std::string& target)
{
    const std::wstring from = win32::widen(temp);
    const std::wstring to = win32::widen(target);
    // ReplaceFileW keeps the target's attributes and security; it needs the
    // target to exist. MoveFileExW replaces atomically on the same volume
    // (the C runtime's rename refuses an existing target).
    if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return 0;
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return win32::errno_of(::GetLastError());
}

// MOVEFILE_WRITE_THROUGH has made the rename durable.
void sync_folder(const std::string&) {}

}   // namespace atomic_file

}   // namespace kv
