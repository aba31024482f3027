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
    const std::string name = input_name(s.args[0]);
    BackupFile file;
    if (const FileRead in = read_input(s.args[0], kBackupFileReadLimit); !in) {
        file.error = 1;
        file.reason = read_failure_message(name, in.error);
    } else if (in.bytes.size() != kBackupFileSize) {
        file.error = 1;
        file.reason = name + " is " + std::to_string(in.bytes.size()) + " bytes long; a backup file has " +
                      std::to_string(kBackupFileSize) + " bytes.";
    } else {
        std::copy(in.bytes.begin(), in.bytes.end(), file.image.begin());
    }
    if (!file.ok()) {
        s.err("korvane restore: " + file.reason);
        s.err("korvane restore: not a backup file; nothing was sent to the pedal.");
        return kUsage;
    }
    if (const std::string problem = image_problem(file.image.data()); !problem.empty()) {
        if (!s.force) {
            s.err("korvane restore: " + name + ": " + problem + ".");
            s.err("korvane restore: nothing was sent; give --force to store the presets as they are.");
            return kUsage;
        }
        s.err("korvane restore: " + name + ": " + problem + " (stored as it is: --force).");
    }
    const auto library = algorithm_library(s, "restore");
    if (!library) return kFailed;
    if (!s.confirm("Overwrite all 32 presets of the pedal with " + name + "?")) return s.declined();
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
    s.out("Restored 32 presets from " + name);
    return kOk;
}

} // namespace kv::cli
