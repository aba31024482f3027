#include "platform/Platform.h"

// What every system shares; the calls into the system are in
// Platform_posix.cpp and Platform_win32.cpp.

namespace kv {

std::string user_profile()
{
    if (auto p = get_env("USERPROFILE")) return *p;
    return home_folder().value_or(std::string());
}

std::string desktop_folder()
{
    if (auto p = get_env("USERPROFILE")) return *p + "/Desktop";
    const auto home = home_folder();
    if (!home) return {};
    std::string desk = *home + "/Desktop";
    return is_directory(desk) ? desk : *home;
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

} // namespace kv
