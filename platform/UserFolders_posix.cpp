// The desktop's folders as the freedesktop.org user-dirs file names them
// ($XDG_CONFIG_HOME/user-dirs.dirs, written by xdg-user-dirs-update), read
// the way `xdg-user-dir NAME` reads it.

#include "platform/DataPaths.h"

#include "platform/Platform.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kv {

namespace {

// The file is a few hundred bytes; anything far larger is not one.
constexpr off_t kMaxUserDirsBytes = 64 * 1024;

std::string without_trailing_slashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The value of `XDG_<name>_DIR="..."` in the user-dirs file: "$HOME/x" or an
// absolute path; nothing when the file, the line or a usable value is missing.
std::optional<std::string> user_dir_entry(const std::string& name, const std::string& home)
{
    const std::string file = xdg_config_home() + "/user-dirs.dirs";
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxUserDirsBytes) return std::nullopt;
    std::ifstream in(file);
    const std::string key = "XDG_" + name + "_DIR=";
    std::optional<std::string> found;
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        std::string raw = line.substr(start + key.size());
        // A shell word: "..." with \" \\ \$ escapes, or bare.
        std::string value;
        if (!raw.empty() && raw.front() == '"') {
            bool closed = false;
            for (size_t i = 1; i < raw.size(); ++i) {
                if (raw[i] == '\\' && i + 1 < raw.size()) {
                    value += raw[++i];
                } else if (raw[i] == '"') {
                    closed = true;
                    break;
                } else {
                    value += raw[i];
                }
            }
            if (!closed) continue;
        } else {
            value = raw.substr(0, raw.find_first_of(" \t#"));
        }
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
            value = home + value.substr(5);
        else if (value.empty() || value.front() != '/')
            continue;   // relative paths are not used, as xdg-user-dirs says
        found = without_trailing_slashes(value);   // the last line wins, as in the shell
    }
    return found;
}

} // namespace

std::string xdg_config_home()
{
    if (auto c = get_env("XDG_CONFIG_HOME"); c && !c->empty() && c->front() == '/') return without_trailing_slashes(*c);
    const auto home = home_folder();
    return home ? *home + "/.config" : std::string();
}

std::string xdg_state_home()
{
    if (auto s = get_env("XDG_STATE_HOME"); s && !s->empty() && s->front() == '/') return without_trailing_slashes(*s);
    const auto home = home_folder();
    return home ? *home + "/.local/state" : std::string();
}

std::string documents_folder()
{
    const auto home = home_folder();
    if (!home) return {};
    return user_dir_entry("DOCUMENTS", *home).value_or(*home + "/Documents");
}

std::string desktop_folder()
{
    const auto home = home_folder();
    if (!home) return {};
    if (auto desk = user_dir_entry("DESKTOP", *home); desk && is_directory(*desk)) return *desk;
    const std::string desk = *home + "/Desktop";
    return is_directory(desk) ? desk : *home;
}

std::string user_profile() { return home_folder().value_or(std::string()); }

} // namespace kv
