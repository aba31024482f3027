#include "platform/DataPaths.h"

#include "platform/Platform.h"

namespace kv {

namespace {

std::string parent_of(const std::string& dir)
{
    const auto slash = dir.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return dir.substr(0, slash);
}

// True when `path` is `dir` or lies below it.
bool is_within(const std::string& path, const std::string& dir)
{
    if (dir.empty() || path.size() < dir.size() || path.compare(0, dir.size(), dir) != 0) return false;
    return path.size() == dir.size() || path[dir.size()] == '/' || dir.back() == '/';
}

} // namespace

std::vector<std::string> resource_candidates(const std::string& name, const std::string& exe_dir)
{
    std::vector<std::string> out;
    out.push_back(name);   // relative to the working directory
    if (!exe_dir.empty()) {
        out.push_back(exe_dir + "/" + name);
        const std::string up = parent_of(exe_dir);
        if (!up.empty()) {
            const std::string prefix = up == "/" ? std::string() : up;
            out.push_back(prefix + "/" + name);
            out.push_back(prefix + "/share/korvane/" + name);
        }
    }
#ifdef KORVANE_DATA_DIR
    out.push_back(std::string(KORVANE_DATA_DIR) + "/" + name);
#endif
    out.push_back("/usr/local/share/korvane/" + name);
    out.push_back("/usr/share/korvane/" + name);
#if defined(KORVANE_SOURCE_DIR) && defined(KORVANE_BINARY_DIR)
    if (is_within(exe_dir, KORVANE_BINARY_DIR)) out.push_back(std::string(KORVANE_SOURCE_DIR) + "/" + name);
#endif
    return out;
}

std::vector<std::string> resource_candidates(const std::string& name)
{
    return resource_candidates(name, executable_dir());
}

std::string find_resource_dir(const std::string& name, const std::string& marker)
{
    const auto candidates = resource_candidates(name);
    if (!marker.empty())
        for (const auto& c : candidates)
            if (file_exists(c + "/" + marker)) return c;
    for (const auto& c : candidates)
        if (is_directory(c)) return c;
    return name;
}

const std::string& image_dir()
{
    static const std::string dir = find_resource_dir("img", "brakwellLogo.png");
    return dir;
}

const std::string& data_dir()
{
    static const std::string dir = find_resource_dir("bin", "error_log.fvc");
    return dir;
}


std::string presets_folder_path()
{
    if (auto d = get_env("KORVANE_DATA_DIR"); d && !d->empty()) return d->back() == '/' ? *d : *d + "/";
    const std::string documents = documents_folder();
    if (documents.empty()) return {};
    const std::string folder = documents + "/Brakwell/Korvane/presets/";
    if (is_directory(folder)) return folder;
    // Earlier versions used ~/Documents whatever the desktop's documents
    // folder was: their presets are found where they are.
    const std::string earlier = *home_folder() + "/Documents/Brakwell/Korvane/presets/";
    return earlier != folder && is_directory(earlier) ? earlier : folder;
}

bool make_folder_for_writing(const std::string& folder, bool presets_only)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return false;
    if (is_directory(path)) return true;
    std::string presets = presets_folder_path();
    while (presets.size() > 1 && presets.back() == '/') presets.pop_back();
    const bool inside = is_within(path, presets);
    if (!inside && presets_only) return false;
    if (inside) {
        // Each missing level from the top down.
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            if (!is_directory(path.substr(0, slash))) make_directory(path.substr(0, slash));
    }
    return make_directory(path);
}

} // namespace kv
