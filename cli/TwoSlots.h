#pragma once
// What the two-slot commands (copy, swap, move) share: their two slot
// arguments, the algorithm library their stores build programs from, the
// connect, the question and the safety backup, in that order; the command
// gives what differs and runs its operation.

#include "cli/Cli.h"
#include "ops/Backup.h"
#include "preset/AlgorithmLibrary.h"

#include <functional>
#include <optional>
#include <string>

namespace kv::cli {

struct TwoSlotCommand {
    const char* name;          // "swap"
    const char* count_error;   // usage error for anything but two arguments
    const char* same_error;    // usage error for one slot given twice
    // The library, or nothing (said on standard error): each command has its own words.
    std::optional<AlgorithmLibrary> (*library)(Session& s, const char* name);
    // The question before the pedal is overwritten.
    std::function<std::string(Session& s, int first, int second)> question;
    const char* backup_before = nullptr;   // "swapping two presets"; null: no safety backup
};

// The library as copy and swap load it, with their words when it is not usable.
std::optional<AlgorithmLibrary> usable_library(Session& s, const char* name);

// Checks the arguments (usage errors), loads the library, connects, asks and
// checks that the safety backup can be taken; then `run` with the two slots
// (0 to 31), the programs' builder and the safety backup folder (empty: none).
// Returns run's exit status, or the status of the step that stopped.
int run_two_slots(Session& s, const TwoSlotCommand& command,
                  const std::function<int(int first, int second, const ops::ProgramBuilder& build,
                                          const std::string& backup_folder)>& run);

} // namespace kv::cli
