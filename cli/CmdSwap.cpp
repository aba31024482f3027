// `korvane swap A B`: the presets of slots A and B change places, each stored
// and read back, after a safety backup of all presets.

#include "cli/Commands.h"
#include "cli/SlotArgs.h"
#include "cli/TwoSlots.h"

#include "ops/Slots.h"

namespace kv::cli {

int cmd_swap(Session& s)
{
    const TwoSlotCommand swap{
        .name = "swap",
        .count_error = "swap takes two slots",
        .same_error = "the two slots are the same",
        .library = usable_library,
        .question =
            [](Session& s, int a, int b) {
                return "Swap " + slot_description(s.image, a) + " and " + slot_description(s.image, b) + "?";
            },
        .backup_before = "swapping two presets",
    };
    return run_two_slots(s, swap, [&](int a, int b, const ops::ProgramBuilder& build, const std::string& folder) {
        const ops::SlotMoveResult r =
            ops::swap_slots(s.link(), s.report(), a, b, build, folder, ops::OnBackupFailure::Refuse);
        if (r.ok()) {
            s.out("Preset " + std::to_string(a + 1) + " now holds \"" + printable_title(r.second.title) +
                  "\", preset " + std::to_string(b + 1) + " \"" + printable_title(r.first.title) + "\" (verified).");
            return int(kOk);
        }
        if (r.outcome == ops::SlotMoveResult::Outcome::Refused) {
            s.err("korvane swap: nothing was stored: the safety backup failed. Give --no-backup to swap without one.");
            return int(kFailed);
        }
        if (r.slots_changed > 0 || r.failed_slot >= 0) {
            if (!r.backup_path.empty()) {
                s.err("korvane swap: the swap stopped half way. Both presets as they were are in " + r.backup_path +
                      ";");
                s.err("  put them back with: korvane restore --yes " + r.backup_path);
            } else {
                s.err("korvane swap: the swap stopped half way. The two presets as they were (47 bytes each, hex):");
                s.err("  preset " + std::to_string(a + 1) + ": " + record_hex(r.first));
                s.err("  preset " + std::to_string(b + 1) + ": " + record_hex(r.second));
            }
        }
        return int(kFailed);
    });
}

} // namespace kv::cli
