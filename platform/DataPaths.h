#pragma once
// Where the editor and the simulated pedal find their bundled folders: "img"
// (artwork) and "bin" (data files). The working directory comes first, as the
// program has always done. When the folder is not there the program looks
// beside its executable, in the executable's parent folder, in the data folder
// of the installation it belongs to (<prefix>/share/korvane, found from the
// executable, so a moved or packaged installation still finds its own data),
// in the data folder of the prefix it was configured for, and in the system
// data folders. The source tree it was built from is searched last, and only
// by executables that still sit in their build tree: an installed program must
// never depend on the build machine's checkout.
//
// Toolkit-free: the panels, the command line and tessivar-sim all use it.

#include <optional>
#include <string>
#include <vector>

namespace kv {

// The folders searched for a bundled folder called `name`, in order, for an
// executable in `exe_dir` (no trailing slash; empty when unknown).
std::vector<std::string> resource_candidates(const std::string& name, const std::string& exe_dir);
// The same for the running executable.
std::vector<std::string> resource_candidates(const std::string& name);

// The first candidate folder that holds `marker` (a file name inside it);
// failing that the first candidate that is a folder at all; failing that the
// bare name, so that loads fail quietly as they would in the working directory.
std::string find_resource_dir(const std::string& name, const std::string& marker);

// The artwork folder ("img"), found once per process.
const std::string& image_dir();
// The data folder ("bin"), found once per process.
const std::string& data_dir();

// Path of a file in the artwork folder.
inline std::string image_path(const std::string& file) { return image_dir() + "/" + file; }
// Path of a file in the data folder.
inline std::string data_path(const std::string& file) { return data_dir() + "/" + file; }


// --- the user's folders ---
// Each system names them its own way: on Linux and the BSDs the freedesktop
// user-dirs file and the XDG variables (UserFolders_posix.cpp); on Windows
// the known folders (UserFolders_win32.cpp). All
// are empty when there is no home folder (platform/Platform.h).

// $XDG_CONFIG_HOME, or ~/.config.
std::string xdg_config_home();
// $XDG_STATE_HOME, or ~/.local/state.
std::string xdg_state_home();
// The user's documents folder, as `xdg-user-dir DOCUMENTS` gives it
// (XDG_DOCUMENTS_DIR in $XDG_CONFIG_HOME/user-dirs.dirs), or ~/Documents
// when that names none.
std::string documents_folder();
// The desktop folder (XDG_DESKTOP_DIR when it exists, else ~/Desktop when it
// exists, else the home folder).
std::string desktop_folder();
// Where the user keeps downloads and the like: the home folder.
std::string user_profile();

// The presets folder, ending with '/': $KORVANE_DATA_DIR when set, else
// <documents>/Brakwell/Korvane/presets/; when that does not exist but
// ~/Documents/Brakwell/Korvane/presets/ does (where earlier versions kept
// it), that one. Empty when there is no home folder. Nothing is created:
// the folder is made when a file is first written into it.
std::string presets_folder_path();

// Makes `folder` for a file about to be written into it. Inside the presets
// folder (or the folder itself) every missing parent down from the documents
// folder is made as well; elsewhere only the last level, or with
// `presets_only` nothing. True when `folder` is a folder afterwards.
bool make_folder_for_writing(const std::string& folder, bool presets_only = false);

} // namespace kv
