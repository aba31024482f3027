#include "platform/Platform.h"

#include "platform/DataPaths.h"

#include <cerrno>
#include <cstdlib>
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

void set_env(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

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

std::string home_drive() { return documents_folder(); }

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

bool make_directory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && is_directory(path);
}

std::string ensure_data_folder(const std::string& drive)
{
    if (drive.empty()) return {};
    // The drive itself may be missing on a new machine ($HOME/Documents).
    if (!drive.empty() && !is_directory(drive)) make_directory(drive);
    const std::string base = drive + "/Brakwell";
    const std::string korvane = base + "/Korvane";
    const std::string presets = korvane + "/presets";
    make_directory(base);
    make_directory(korvane);
    make_directory(presets);
    return presets + "/";
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
