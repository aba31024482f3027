// `korvane move FROM TO`: the preset of slot FROM goes to slot TO and the
// presets between shift one slot towards FROM (the preset pages' drag and
// drop), each rewritten slot stored and verified after a safety backup.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "cli/SlotArgs.h"
#include "ops/SlotRun.h"

namespace kv::cli {

int cmd_move(Session& s)
{
    const Command& c = *find_command("move");
    if (s.args.size() != 2) return s.usage_error(c, "move takes two slots");
    const auto from = slot_argument(s.args[0]);
    const auto to = slot_argument(s.args[1]);
    if (!from || !to) return s.usage_error(c, "slots are 1 to 32");
    if (*from == *to) return s.usage_error(c, "the two slots are the same");
    const auto library = algorithm_library(s, "move");
    if (!library) return kUsage;
    if (!s.connect()) return kFailed;
    if (!s.confirm("Move " + slot_description(s.image, *from) + " to slot " + s.args[1] + " (slots " +
                   std::to_string(std::min(*from, *to) + 1) + "-" + std::to_string(std::max(*from, *to) + 1) +
                   " are rewritten)?"))
        return kUsage;
    if (!s.safety_backup_possible("moving a preset")) return kFailed;
    const ops::SlotRunResult r = ops::move_slot(s.link(), s.report(), *from, *to, ops::library_program_builder(*library),
                                                s.safety_backup_folder(), ops::OnBackupFailure::Refuse);
    if (r.ok()) {
        s.out("Preset " + s.args[0] + " moved to slot " + s.args[1] + "; " + std::to_string(r.done.size()) +
              " slot(s) rewritten and verified.");
        return kOk;
    }
    if (r.outcome == ops::SlotRunResult::Outcome::Refused) {
        s.err("korvane move: nothing was stored: the safety backup failed. Give --no-backup to move without one.");
        return kFailed;
    }
    if (r.outcome == ops::SlotRunResult::Outcome::ReadFailed) {
        s.err("korvane move: the presets could not be read; nothing was stored.");
        return kFailed;
    }
    s.err("korvane move: storing slot " + std::to_string(r.failed_slot + 1) + " failed (code " + std::to_string(link_code(r.link)) +
          "). Slots written and verified: " + ops::slot_list_text(r.done) + ".");
    if (!r.backup_path.empty())
        s.err("  the pedal as it was is in " + r.backup_path + "; put it back with: korvane restore --yes " + r.backup_path);
    return kFailed;
}

} // namespace kv::cli
