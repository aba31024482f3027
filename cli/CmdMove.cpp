// `korvane move FROM TO`: the preset of slot FROM goes to slot TO and the
// presets between shift one slot towards FROM (the preset pages' drag and
// drop), each rewritten slot stored and verified after a safety backup.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "cli/SlotArgs.h"
#include "cli/TwoSlots.h"
#include "ops/AutoBackup.h"
#include "ops/SlotRun.h"
#include "platform/Platform.h"

#include <algorithm>

namespace kv::cli {

int cmd_move(Session& s)
{
    const TwoSlotCommand move{
        .name = "move",
        .count_error = "move takes two slots",
        .same_error = "the two slots are the same",
        .library = algorithm_library,
        .question =
            [](Session& s, int from, int to) {
                return "Move " + slot_description(s.image, from) + " to slot " + s.args[1] + " (slots " +
                    std::to_string(std::min(from, to) + 1) + "-" + std::to_string(std::max(from, to) + 1) +
                    " are rewritten)?";
            },
        .backup_before = "moving a preset",
    };
    return run_two_slots(s, move, [&](int from, int to, const ops::ProgramBuilder& build, const std::string& folder) {
        // Presets a failed move without a backup displaced go beside the safety backups.
        const std::string drive = home_drive();
        const std::string keep = drive.empty() ? std::string() : ops::auto_backup_folder(ensure_data_folder(drive));
        const ops::SlotRunResult r =
            ops::move_slot(s.link(), s.report(), from, to, build, folder, ops::OnBackupFailure::Refuse, keep);
        if (r.ok()) {
            s.out("Preset " + s.args[0] + " moved to slot " + s.args[1] + "; " + std::to_string(r.done.size()) +
                  (r.done.size() == 1 ? " slot" : " slots") + " rewritten and verified.");
            return int(kOk);
        }
        if (r.outcome == ops::SlotRunResult::Outcome::Refused) {
            s.err("korvane move: nothing was stored: the safety backup failed. Give --no-backup to move without one.");
            return int(kFailed);
        }
        if (r.outcome == ops::SlotRunResult::Outcome::ReadFailed) {
            s.err("korvane move: the presets could not be read; nothing was stored.");
            return int(kFailed);
        }
        s.err("korvane move: storing slot " + std::to_string(r.failed_slot + 1) + " failed (code " +
              std::to_string(link_code(r.link)) + "). Slots written and verified: " + ops::slot_list_text(r.done) +
              ".");
        if (!r.backup_path.empty())
            s.err("  the pedal as it was is in " + r.backup_path + "; put it back with: korvane restore --yes " +
                  r.backup_path);
        for (const std::string& file : r.kept)
            s.err("  a preset the move displaced is kept in " + file + "; put it back with: korvane write --yes SLOT \"" +
                  file + "\"");
        return int(kFailed);
    });
}

} // namespace kv::cli
