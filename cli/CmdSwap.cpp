// `korvane swap A B`: the presets of slots A and B change places, each stored
// and read back, after a safety backup of all presets.

#include "cli/Commands.h"
#include "cli/SlotArgs.h"

#include "ops/Backup.h"
#include "ops/Slots.h"
#include "platform/DataPaths.h"
#include "preset/AlgorithmLibrary.h"

namespace kv::cli {

int cmd_swap(Session& s)
{
    const Command& c = *find_command("swap");
    if (s.args.size() != 2) return s.usage_error(c, "swap takes two slots");
    const auto a = slot_argument(s.args[0]);
    const auto b = slot_argument(s.args[1]);
    if (!a || !b) return s.usage_error(c, "slots are 1 to 32");
    if (*a == *b) return s.usage_error(c, "the two slots are the same");

    const AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    if (!library.usable()) {
        s.err("korvane swap: " + data_path(AlgorithmLibrary::kFileName) +
              " could not be read; without it the presets' programs cannot be built.");
        return kUsage;
    }
    if (!s.connect()) return kFailed;
    if (!s.confirm("Swap " + slot_description(s.image, *a) + " and " + slot_description(s.image, *b) + "?"))
        return s.declined();

    if (!s.safety_backup_possible("swapping two presets")) return kFailed;
    const std::string folder = s.safety_backup_folder();
    const ops::SlotMoveResult r = ops::swap_slots(s.link(), s.report(), *a, *b, ops::library_program_builder(library),
                                                  folder, ops::OnBackupFailure::Refuse);
    if (r.ok()) {
        s.out("Preset " + std::to_string(*a + 1) + " now holds \"" + printable_title(r.second.title) + "\", preset " +
              std::to_string(*b + 1) + " \"" + printable_title(r.first.title) + "\" (verified).");
        return kOk;
    }
    if (r.outcome == ops::SlotMoveResult::Outcome::Refused) {
        s.err("korvane swap: nothing was stored: the safety backup failed. Give --no-backup to swap without one.");
        return kFailed;
    }
    if (r.slots_changed > 0 || r.failed_slot >= 0) {
        if (!r.backup_path.empty()) {
            s.err("korvane swap: the swap stopped half way. Both presets as they were are in " + r.backup_path + ";");
            s.err("  put them back with: korvane restore --yes " + r.backup_path);
        } else {
            s.err("korvane swap: the swap stopped half way. The two presets as they were (47 bytes each, hex):");
            s.err("  preset " + std::to_string(*a + 1) + ": " + record_hex(r.first));
            s.err("  preset " + std::to_string(*b + 1) + ": " + record_hex(r.second));
        }
    }
    return kFailed;
}

} // namespace kv::cli
