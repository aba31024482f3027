// `korvane write --yes SLOT FILE.lop`: an offline preset file into one slot,
// stored with its verification and the one retry.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "library/core/OfflinePresets.h"
#include "ops/Transfers.h"
#include "preset/RecordCheck.h"

namespace kv::cli {

int cmd_write(Session& s)
{
    const Command& me = *find_command("write");
    if (s.args.size() != 2) return s.usage_error(me, "write takes a slot (1-32) and a file");
    const auto slot = slot_argument(s.args[0]);
    if (!slot) return s.usage_error(me, "the slot is a number from 1 to 32");
    const std::string path = input_name(s.args[1]);
    // The file is checked before anything is sent.
    const FileRead in = read_input(s.args[1], kPresetFileReadLimit);
    PresetFile file;
    if (in) {
        file = decode_preset_file(in.bytes);
    } else {
        file.problem = PresetFileProblem::Unreadable;
        file.read_error = read_failure_message(path, in.error);
    }
    if (!file.ok()) {
        s.err("korvane write: " + preset_file_problem_text(file, path));
        return kUsage;
    }
    if (const std::string problem = record_problem(file.record); !problem.empty()) {
        if (!s.force) {
            s.err("korvane write: " + path + ": " + problem + ".");
            s.err("korvane write: nothing was sent; give --force to store the preset as it is.");
            return kUsage;
        }
        s.err("korvane write: " + path + ": " + problem + " (stored as it is: --force).");
    }
    const auto library = algorithm_library(s, "write");
    if (!library) return kFailed;
    if (!s.confirm("Overwrite slot " + s.args[0] + " of the pedal with " + path + "?")) return s.declined();
    if (!s.connect()) return kFailed;

    ops::EditedPreset preset;
    preset.parameters = file.record.parameters;
    preset.title = file.record.title;
    const ops::SlotPrograms programs = ops::library_programs(*library)(preset.parameters);
    preset.program_x = programs.x;
    preset.program_y = programs.y;
    const ops::StoreResult r = ops::write_slot(s.link(), s.report(), *slot, preset);
    if (!r.ok()) {
        const std::string code = " (code " + std::to_string(link_code(r.link)) + ").";
        if (r.read_back_failed && r.link.status == LinkStatus::echo_mismatch)
            s.err("korvane write: storing slot " + s.args[0] + " failed: the preset read back differs from " + path +
                  code);
        else if (r.read_back_failed)
            s.err("korvane write: storing slot " + s.args[0] + " failed: the pedal did not answer when the slot was "
                  "read back to verify it" + code);
        else
            s.err("korvane write: storing slot " + s.args[0] + " failed" + code);
        s.err("korvane write: slot " + s.args[0] + " may hold a damaged preset now; write it again, or put the "
              "pedal's presets back from a backup with `korvane restore`.");
        return kFailed;
    }
    s.out("Stored " + path + " in slot " + s.args[0]);
    return kOk;
}

} // namespace kv::cli
