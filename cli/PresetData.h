#pragma once
// What the preset commands (backup, restore, read, write) share: the slot
// argument (cli/SlotArgs.h), the presets folder, and the engine programs
// stored with a preset, built from the algorithm library as the Dashboard
// builds them.

#include "cli/Cli.h"
#include "cli/SlotArgs.h"
#include "ops/Backup.h"
#include "platform/SafeFile.h"
#include "preset/AlgorithmLibrary.h"

#include <optional>
#include <string>

namespace kv::cli {

// An algorithm code as the commands show it: the catalogue's code, or
// "unknown (code 40)" for a byte outside the catalogue (as an export says).
std::string algorithm_shown(int code);

// The whole of a file a command reads, at most `limit` bytes; "-" reads
// standard input (to its end; more than `limit` bytes is FileError::TooLarge).
FileRead read_input(const std::string& path, size_t limit);
// How a FILE given as "-" is named in messages.
inline std::string input_name(const std::string& path) { return path == "-" ? "standard input" : path; }

// "1 preset", "3 presets".
inline std::string presets_text(size_t n) { return std::to_string(n) + (n == 1 ? " preset" : " presets"); }

// The presets folder (created when missing), ending with "/"; empty when
// there is no home folder (nothing is created then).
std::string presets_folder_path();

// The algorithm library from the bundled data folder. Empty (and said on
// standard error) when it cannot be read whole: storing a preset with blank
// programs would break it on the pedal.
std::optional<AlgorithmLibrary> algorithm_library(Session& s, const char* command);

} // namespace kv::cli
