#include "cli/TwoSlots.h"

#include "cli/Commands.h"
#include "cli/SlotArgs.h"
#include "platform/DataPaths.h"

namespace kv::cli {

std::optional<AlgorithmLibrary> usable_library(Session& s, const char* name)
{
    AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    if (library.usable()) return library;
    s.err(std::string("korvane ") + name + ": " + data_path(AlgorithmLibrary::kFileName) +
          " could not be read; without it the presets' programs cannot be built.");
    return std::nullopt;
}

int run_two_slots(Session& s, const TwoSlotCommand& command,
                  const std::function<int(int first, int second, const ops::ProgramBuilder& build,
                                          const std::string& backup_folder)>& run)
{
    const Command& c = *find_command(command.name);
    if (s.args.size() != 2) return s.usage_error(c, command.count_error);
    const auto first = slot_argument(s.args[0]);
    const auto second = slot_argument(s.args[1]);
    if (!first || !second) return s.usage_error(c, "slots are 1 to 32");
    if (*first == *second) return s.usage_error(c, command.same_error);

    const std::optional<AlgorithmLibrary> library = command.library(s, command.name);
    if (!library) return kUsage;
    if (!s.connect()) return kFailed;
    if (!s.confirm(command.question(s, *first, *second))) return s.declined();
    std::string folder;
    if (command.backup_before) {
        if (!s.safety_backup_possible(command.backup_before)) return kFailed;
        folder = s.safety_backup_folder();
    }
    return run(*first, *second, ops::library_program_builder(*library), folder);
}

} // namespace kv::cli
