// `korvane backup [FILE]`: the pedal's 32 presets into a backup file.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "library/core/BackupFile.h"
#include "ops/Backup.h"

#include <array>

namespace kv::cli {

int cmd_backup(Session& s)
{
    const Command& me = *find_command("backup");
    if (s.args.size() > 1) return s.usage_error(me, "backup takes at most one file");
    std::string path = s.args.empty() ? std::string() : s.args[0];
    if (path.empty()) {
        const std::string folder = presets_folder_path();
        if (folder.empty()) {
            s.err(std::string("korvane backup: ") + kNoHomeFolderText + " Or name the FILE to write.");
            return kUsage;
        }
        path = backup_file_path(folder, local_time_now());
    }
    if (!s.output_target_ok(me, path)) return kUsage;
    if (!s.connect()) return kFailed;
    if (path == "-") {
        // The image as a fresh Read All delivers it, straight to standard output.
        std::array<uint8_t, kPresetImageSize> image{};
        if (!s.link().read_all(image)) {
            s.err("korvane backup: the pedal's presets could not be read.");
            return kFailed;
        }
        return s.out_bytes(image) ? kOk : kFailed;
    }
    const ops::BackupResult r = ops::backup(s.link(), s.report(), path);
    if (!r.ok()) {
        if (!r.error.empty()) s.err("korvane backup: " + r.error);
        s.err("korvane backup: failed; " + path + " was not changed.");
        return kFailed;
    }
    s.out(path);
    return kOk;
}

} // namespace kv::cli
