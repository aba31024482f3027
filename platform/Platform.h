#pragma once
// Our replacements for the Windows calls the program was written against:
// environment folders, directories, local time and opening web pages. Pauses
// go through a Clock (platform/Clock.h), so that tests can drive them.

#include <optional>
#include <string>

namespace kv {

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> get_env(const char* name);
// Sets an environment variable of this process (and the programs it starts).
void set_env(const char* name, const std::string& value);

// The user's home folder: HOME when it is set and not empty, otherwise the
// home folder of the user's entry in the password database; nothing when
// neither gives one (then no folder of ours may be made anywhere: never in
// the working directory, never under "/").
std::optional<std::string> home_folder();
// What the user is told when there is no home folder.
constexpr const char* kNoHomeFolderText =
    "There is no home folder: HOME is not set (or empty) and this user has none in the password database. "
    "Set HOME to your home folder and start again.";

// The folder the program's own folder hangs from: the user's documents
// folder (documents_folder(), platform/DataPaths.h); empty when there is no
// home folder.
std::string home_drive();

bool is_directory(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool make_directory(const std::string& path);
bool file_exists(const std::string& path);

// Creates the Brakwell/Korvane/presets folders under the given drive. Returns the presets folder path
// (drive + "/Brakwell/Korvane/presets/"); for an empty drive (no home folder)
// creates nothing and returns "".
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
