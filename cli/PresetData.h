#pragma once
// What the preset commands (backup, restore, read, write) share: the slot
// argument (cli/SlotArgs.h), the presets folder, and the engine programs
// stored with a preset, built from the algorithm library as the Dashboard
// builds them.

#include "cli/Cli.h"
#include "cli/SlotArgs.h"
#include "ops/Backup.h"
#include "preset/AlgorithmLibrary.h"

#include <optional>
#include <string>

namespace kv::cli {

// The presets folder (created when missing), ending with "/"; empty when
// there is no home folder (nothing is created then).
std::string presets_folder_path();

// The algorithm library from the bundled data folder. Empty (and said on
// standard error) when it cannot be read whole: storing a preset with blank
// programs would break it on the pedal.
std::optional<AlgorithmLibrary> algorithm_library(Session& s, const char* command);

} // namespace kv::cli
