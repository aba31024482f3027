#include "platform/Platform.h"
#include "platform/Utf16_win32.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <ctime>
#include <cwchar>

namespace kv {

namespace {

std::optional<std::string> known_folder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::optional<std::string> result;
    if (::SHGetKnownFolderPath(id, 0, nullptr, &path) == S_OK && path && path[0] != L'\0')
        result = win32::forward_slashes(win32::narrow(path));
    ::CoTaskMemFree(path);
    return result;
}

DWORD attributes(const std::string& path) { return ::GetFileAttributesW(win32::widen(path).c_str()); }

}   // namespace

std::optional<std::string> get_env(const char* name)
{
    // The wide environment, so that a folder named in any script reads back
    // as UTF-8.
    const wchar_t* v = ::_wgetenv(win32::widen(name).c_str());
    if (!v) return std::nullopt;
    return win32::narrow(v);
}

bool set_env(const char* name, const std::string& value)
{
    // The C runtime's copy, which getenv reads; it passes the change on to
    // the process's own environment for the programs started from here.
    return ::_wputenv_s(win32::widen(name).c_str(), win32::widen(value).c_str()) == 0;
}

bool unset_env(const char* name) { return ::_wputenv_s(win32::widen(name).c_str(), L"") == 0; }

std::string settings_folder()
{
    if (auto a = get_env("APPDATA"); a && !a->empty()) return win32::forward_slashes(*a) + "/Korvane";
    const auto roaming = known_folder(FOLDERID_RoamingAppData);
    return roaming ? *roaming + "/Korvane" : std::string();
}

std::optional<std::string> home_folder()
{
    if (auto h = get_env("USERPROFILE"); h && !h->empty()) return win32::forward_slashes(*h);
    return known_folder(FOLDERID_Profile);
}

std::string home_drive()
{
    // Windows sets HOMEDRIVE to the bare drive ("C:") for every user; the
    // presets then go under Documents, as users expect. A folder given in
    // HOMEDRIVE (scripts, tests) is used as it is.
    if (auto d = get_env("HOMEDRIVE"); d && !d->empty()) {
        const bool bare_drive = d->size() == 2 && (*d)[1] == ':';
        if (!bare_drive) return win32::forward_slashes(*d);
    }
    return known_folder(FOLDERID_Documents).value_or(std::string());
}

bool is_directory(const std::string& path)
{
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool file_exists(const std::string& path)
{
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

std::vector<std::string> folder_names(const std::string& folder)
{
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern += '/';
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW(win32::widen(pattern + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = win32::narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

bool make_directory(const std::string& path)
{
    if (::CreateDirectoryW(win32::widen(path).c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS && is_directory(path);
}

LocalTime local_time_now()
{
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    LocalTime lt;
    lt.year = st.wYear;
    lt.month = st.wMonth;
    lt.day = st.wDay;
    lt.hour = st.wHour;
    lt.minute = st.wMinute;
    lt.second = st.wSecond;
    return lt;
}

std::optional<FileIdentity> file_identity(const std::string& path)
{
    // Opening for no access at all never disturbs another program's use;
    // FILE_FLAG_BACKUP_SEMANTICS opens folders too.
    const HANDLE h =
        ::CreateFileW(win32::widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool move_file_unless_taken(const std::string& from, const std::string& to, int* error)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target is never replaced.
    if (::MoveFileExW(win32::widen(from).c_str(), win32::widen(to).c_str(), 0)) return true;
    *error = win32::errno_of(::GetLastError());
    return false;
}

std::optional<std::time_t> regular_file_modified(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return std::nullopt;
    // 100 ns ticks since 1601 to seconds since 1970.
    const uint64_t ticks = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return std::time_t(ticks / 10000000ull) - std::time_t(11644473600ll);
}

bool open_web_page(const std::string& url)
{
    // ShellExecuteW returns a value above 32 when the browser was started.
    const HINSTANCE r = ::ShellExecuteW(nullptr, L"open", win32::widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

std::string executable_dir()
{
    std::wstring buf(512, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        if (buf.size() > 32768) return {};
        buf.resize(buf.size() * 2);
    }
    const std::string path = win32::forward_slashes(win32::narrow(buf));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}   // namespace kv
