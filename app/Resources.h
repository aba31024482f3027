#pragma once
// Where the program finds its bundled folders: "img" (artwork) and "bin"
// (data files). The working directory comes first, as the program has always
// done; when the folder is not there the program looks beside its executable,
// in the executable's parent folder, in the installed data folder and in the
// source tree it was built from, so that starting it from any directory works.
//
// Header-only so that every panel module can find its artwork without linking
// the application module.

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace kv {

namespace resources_detail {

// The source tree this file belongs to: the folder above app/.
inline std::string source_tree()
{
#ifdef KORVANE_SOURCE_DIR
    return KORVANE_SOURCE_DIR;
#else
    std::string here = __FILE__;
    const std::string tail = "/app/Resources.h";
    if (here.size() > tail.size() && here.compare(here.size() - tail.size(), tail.size(), tail) == 0)
        return here.substr(0, here.size() - tail.size());
    return {};
#endif
}

inline std::string parent_of(const std::string& dir)
{
    auto slash = dir.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return dir.substr(0, slash);
}

} // namespace resources_detail

// The folders searched for a bundled folder called `name`, in order.
inline std::vector<std::string> resource_candidates(const std::string& name)
{
    std::vector<std::string> out;
    out.push_back(name);   // relative to the working directory
    const std::string exe = executable_dir();
    if (!exe.empty()) {
        out.push_back(exe + "/" + name);
        const std::string up = resources_detail::parent_of(exe);
        if (!up.empty()) {
            out.push_back(up + "/" + name);
            out.push_back(up + "/share/korvane/" + name);
        }
    }
#ifdef KORVANE_DATA_DIR
    out.push_back(std::string(KORVANE_DATA_DIR) + "/" + name);
#endif
    out.push_back("/usr/local/share/korvane/" + name);
    out.push_back("/usr/share/korvane/" + name);
    const std::string src = resources_detail::source_tree();
    if (!src.empty()) out.push_back(src + "/" + name);
    return out;
}

// The first candidate folder that holds `marker` (a file name inside it);
// failing that the first candidate that is a folder at all; failing that the
// bare name, so that loads fail quietly as they would in the working directory.
inline std::string find_resource_dir(const std::string& name, const std::string& marker)
{
    const auto candidates = resource_candidates(name);
    if (!marker.empty())
        for (const auto& c : candidates)
            if (file_exists(c + "/" + marker)) return c;
    for (const auto& c : candidates)
        if (is_directory(c)) return c;
    return name;
}

// The artwork folder ("img"), found once per process.
inline const std::string& image_dir()
{
    static const std::string dir = find_resource_dir("img", "brakwellLogo.png");
    return dir;
}

// The data folder ("bin"), found once per process.
inline const std::string& data_dir()
{
    static const std::string dir = find_resource_dir("bin", "error_log.fvc");
    return dir;
}

// Path of a file in the artwork folder.
inline std::string image_path(const std::string& file) { return image_dir() + "/" + file; }
// Path of a file in the data folder.
inline std::string data_path(const std::string& file) { return data_dir() + "/" + file; }

// The user's presets folder (home drive + "/Brakwell/Korvane/presets/"),
// created with its parents when missing. Ends with a slash.
std::string presets_folder();
// The list file of offline presets inside a presets folder (as presets_folder() gives it).
inline std::string presets_list_path(const std::string& folder) { return folder + "presets.lst"; }

} // namespace kv
