// `korvane restore --yes FILE`: the 32 presets of a backup file into the
// pedal, verified by reading them all back.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "library/core/BackupFile.h"
#include "ops/Backup.h"
#include "preset/RecordCheck.h"

namespace kv::cli {

int cmd_restore(Session& s)
{
    const Command& me = *find_command("restore");
    if (s.args.size() != 1) return s.usage_error(me, "restore takes one backup file");
    // The file is checked before anything is sent.
    const BackupFile file = read_backup_file(s.args[0]);
    if (!file.ok()) {
        s.err("korvane restore: " + file.reason);
        s.err("korvane restore: not a backup file; nothing was sent to the pedal.");
        return kUsage;
    }
    if (const std::string problem = image_problem(file.image.data()); !problem.empty()) {
        if (!s.force) {
            s.err("korvane restore: " + s.args[0] + ": " + problem + ".");
            s.err("korvane restore: nothing was sent; give --force to store the presets as they are.");
            return kUsage;
        }
        s.err("korvane restore: " + s.args[0] + ": " + problem + " (stored as it is: --force).");
    }
    const auto library = algorithm_library(s, "restore");
    if (!library) return kFailed;
    if (!s.confirm("Overwrite all 32 presets of the pedal with " + s.args[0] + "?")) return s.declined();
    if (!s.connect()) return kFailed;
    if (!s.safety_backup("restoring the presets from a backup", {s.args[0]})) return kFailed;

    const ops::RestoreResult r = ops::restore_image(s.link(), s.report(), file.image, ops::library_programs(*library));
    if (!r.ok()) {
        if (r.write.failure == ops::WriteAllResult::Failure::Store)
            s.err("korvane restore: storing slot " + std::to_string(r.write.slot + 1) +
                  " failed (code " + std::to_string(link_code(r.write.link)) + "); " +
                  ops::restored_slots_text(r.write.slot));
        else
            s.err("korvane restore: the presets read back differ from the backup.");
        return kFailed;
    }
    s.out("Restored 32 presets from " + s.args[0]);
    return kOk;
}

} // namespace kv::cli
