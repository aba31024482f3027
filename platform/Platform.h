#pragma once
// Our replacements for the Windows calls the program was written against:
// environment folders, directories, local time and opening web pages. Pauses
// go through a Clock (platform/Clock.h), so that tests can drive them.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> get_env(const char* name);

// Sets or removes an environment variable of this process (tests and the
// programs they start).
bool set_env(const char* name, const std::string& value);
bool unset_env(const char* name);

// The folder of the user's settings: $XDG_CONFIG_HOME/korvane (when absolute)
// or $HOME/.config/korvane on Linux, %APPDATA%/Korvane on Windows; empty
// when none can be named.
std::string settings_folder();

// The user's home folder: HOME when it is set and not empty, otherwise the
// home folder of the user's entry in the password database; nothing when
// neither gives one (then no folder of ours may be made anywhere: never in
// the working directory, never under "/").
std::optional<std::string> home_folder();
// What the user is told when there is no home folder.
constexpr const char* kNoHomeFolderText =
    "There is no home folder: HOME is not set (or empty) and this user has none in the password database. "
    "Set HOME to your home folder and start again.";

// The drive the data folder hangs from: HOMEDRIVE (when set and not empty),
// or home_folder() + "/Documents"; empty when there is no home folder. The
// presets folder is home_drive() + "/Brakwell/Korvane/presets/".
std::string home_drive();

// The user profile folder: USERPROFILE, or home_folder(); empty when neither.
std::string user_profile();

// The folder under which the desktop log file goes: USERPROFILE + "/Desktop"
// when USERPROFILE is set; otherwise home_folder()/Desktop when it exists,
// else home_folder(); empty when there is no home folder.
std::string desktop_folder();

bool is_directory(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool make_directory(const std::string& path);
bool file_exists(const std::string& path);
// The names in a folder ("." and ".." left out), in no particular order;
// empty when it cannot be read.
std::vector<std::string> folder_names(const std::string& folder);

// Creates the Brakwell/Korvane/presets folders under the given drive, the way
// the main window does at start-up. Returns the presets folder path
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

// What tells two paths that name one file from two files: the device and
// inode on Linux; the volume serial number and file index on Windows, whose
// C runtime gives every file the inode 0.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Nothing when the file cannot be looked at.
std::optional<FileIdentity> file_identity(const std::string& path);

// Gives a file a new name unless that name is taken (then *error is EEXIST
// and nothing changes). False with *error (errno) on failure.
bool move_file_unless_taken(const std::string& from, const std::string& to, int* error);

// When a regular file (not a link to one) was last changed; nothing for
// anything else.
std::optional<std::time_t> regular_file_modified(const std::string& path);

// Opens an address in the desktop's default browser (xdg-open on Linux,
// ShellExecuteW on Windows); does not wait.
bool open_web_page(const std::string& url);

// Folder of the running executable, with no trailing slash; empty if unknown.
std::string executable_dir();

} // namespace kv
