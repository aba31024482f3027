#pragma once
// Our replacements for the Windows calls the program was written against:
// environment folders, directories, local time and opening web pages. Pauses
// go through a Clock (platform/Clock.h), so that tests can drive them.

#include <optional>
#include <string>

namespace kv {

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> get_env(const char* name);

// The drive the data folder hangs from: HOMEDRIVE, or $HOME/Documents when
// HOMEDRIVE is unset. The presets folder is home_drive() + "/Brakwell/Korvane/presets/".
std::string home_drive();

// The user profile folder: USERPROFILE, or $HOME when it is unset.
std::string user_profile();

// The folder under which the desktop log file goes: USERPROFILE + "/Desktop"
// when USERPROFILE is set; otherwise $HOME/Desktop when it exists, else $HOME.
std::string desktop_folder();

bool is_directory(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool make_directory(const std::string& path);
bool file_exists(const std::string& path);

// Creates the Brakwell/Korvane/presets folders under the given drive, the way
// the main window does at start-up. Returns the presets folder path
// (drive + "/Brakwell/Korvane/presets/").
std::string ensure_data_folder(const std::string& drive);

struct LocalTime {
    int year = 1970;   // four digits
    int month = 1;     // 1 to 12
    int day = 1;       // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};
LocalTime local_time_now();

// Opens an address in the desktop's default browser (xdg-open); does not wait.
bool open_web_page(const std::string& url);

// Folder of the running executable, with no trailing slash; empty if unknown.
std::string executable_dir();

} // namespace kv
