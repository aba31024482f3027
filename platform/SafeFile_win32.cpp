#include "platform/SafeFile.h"
#include "platform/Utf16_win32.h"

#include <algorithm>

namespace kv {

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

FileError open_error(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return FileError::NotFound;
    case ERROR_ACCESS_DENIED: return FileError::NoAccess;
    default: return FileError::OpenFailed;
    }
}

// Opens for reading, sharing with writers and deleters (a file being read
// must not stop another program replacing it), and checks kind and size.
// INVALID_HANDLE_VALUE with *error set on refusal.
HANDLE open_checked(const std::string& path, size_t max_bytes, FileError* error, size_t* size)
{
    const std::wstring wide = win32::widen(path);
    // A folder cannot be opened as a file at all; say what it is.
    const DWORD attrs = ::GetFileAttributesW(wide.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = FileError::NotRegular;
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = open_error(::GetLastError());
        return h;
    }
    // Pipes and character devices (CON, NUL, COM ports) are not files.
    LARGE_INTEGER bytes{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &bytes)) {
        ::CloseHandle(h);
        *error = FileError::NotRegular;
        return INVALID_HANDLE_VALUE;
    }
    if (bytes.QuadPart < 0 || uint64_t(bytes.QuadPart) > uint64_t(max_bytes)) {
        ::CloseHandle(h);
        *error = FileError::TooLarge;
        return INVALID_HANDLE_VALUE;
    }
    *size = size_t(bytes.QuadPart);
    *error = FileError::NoError;
    return h;
}

}   // namespace

FileRead read_file_limited(const std::string& path, size_t max_bytes)
{
    FileRead result;
    size_t size = 0;
    Handle file(open_checked(path, max_bytes, &result.error, &size));
    if (file.get() == INVALID_HANDLE_VALUE) return result;

    // As on Linux: the size is a hint, one byte past the limit tells a file
    // that grew meanwhile. ReadFile is binary: no stop at 0x1A, no CR-LF.
    std::vector<uint8_t> bytes(size < max_bytes ? size + 1 : max_bytes + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > max_bytes) break;
            bytes.resize(std::min(max_bytes + 1, bytes.size() * 2 + 512));
        }
        const DWORD want = DWORD(std::min<size_t>(bytes.size() - got, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(file.get(), bytes.data() + got, want, &n, nullptr)) {
            result.error = FileError::ReadFailed;
            return result;
        }
        if (n == 0) break;
        got += n;
    }
    if (got > max_bytes) {
        result.error = FileError::TooLarge;
        return result;
    }
    bytes.resize(got);
    result.bytes = std::move(bytes);
    return result;
}

FileError check_regular_file(const std::string& path, size_t max_bytes)
{
    FileError error = FileError::NoError;
    size_t size = 0;
    Handle file(open_checked(path, max_bytes, &error, &size));
    return error;
}

}   // namespace kv
