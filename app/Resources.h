#pragma once
// What the main window and its panels need to find on disk: the bundled
// artwork and data folders (found by platform/DataPaths.h, shared with the
// simulated pedal and the command line) and the user's presets folder.

#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <string>

namespace kv {

// The user's presets folder (platform/DataPaths.h: presets_folder_path()),
// made when a file is first written into it. Ends with a slash.
std::string presets_folder();
// Where a file chooser for the presets folder opens: that folder once it
// exists, else the documents folder (else the home folder). Ends with a slash.
std::string chooser_folder(const std::string& presets_folder);
// The list file of offline presets inside a presets folder (as presets_folder() gives it).
inline std::string presets_list_path(const std::string& folder) { return folder + "presets.lst"; }

} // namespace kv
