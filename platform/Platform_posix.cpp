#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <ctime>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kv {

std::optional<std::string> get_env(const char* name)
{
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}

bool set_env(const char* name, const std::string& value) { return ::setenv(name, value.c_str(), 1) == 0; }

bool unset_env(const char* name) { return ::unsetenv(name) == 0; }

std::string settings_folder()
{
    const std::optional<std::string> xdg = get_env("XDG_CONFIG_HOME");
    if (xdg && !xdg->empty() && (*xdg)[0] == '/') return *xdg + "/korvane";
    const std::optional<std::string> home = get_env("HOME");
    if (home && !home->empty()) return *home + "/.config/korvane";
    return {};
}

std::optional<std::string> home_folder()
{
    if (auto h = get_env("HOME"); h && !h->empty()) return h;
    // As the shell does when HOME is missing: the password database.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    if (found && found->pw_dir && found->pw_dir[0] != '\0') return std::string(found->pw_dir);
    return std::nullopt;
}

std::string home_drive()
{
    if (auto d = get_env("HOMEDRIVE"); d && !d->empty()) return *d;
    const auto home = home_folder();
    return home ? *home + "/Documents" : std::string();
}



bool is_directory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> folder_names(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool make_directory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && is_directory(path);
}


LocalTime local_time_now()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    return lt;
}

std::optional<FileIdentity> file_identity(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

bool move_file_unless_taken(const std::string& from, const std::string& to, int* error)
{
    // link() never replaces; rename() serves file systems without links,
    // once lstat has seen the name free.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    struct stat st {};
    if (errno == EEXIST || ::lstat(to.c_str(), &st) == 0) {
        *error = EEXIST;
        return false;
    }
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *error = errno;
    return false;
}

std::optional<std::time_t> regular_file_modified(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return st.st_mtime;
}

bool open_web_page(const std::string& url)
{
    std::vector<char*> argv;
    std::string prog = "xdg-open";
    argv.push_back(prog.data());
    std::string arg = url;
    argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ) != 0) return false;
    // xdg-open hands the address to the browser and returns quickly; reap it
    // in the background so it does not linger as a zombie.
    std::thread([pid] { int st = 0; waitpid(pid, &st, 0); }).detach();
    return true;
}

std::string executable_dir()
{
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    auto slash = buf.rfind('/');
    return slash == std::string::npos ? std::string() : buf.substr(0, slash);
}

} // namespace kv
