// `korvane read SLOT FILE.lop`: one slot of the pedal into an offline preset
// file, named after the file.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "library/core/LibraryStore.h"
#include "library/core/OfflinePresets.h"
#include "ops/Transfers.h"
#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"
#include "platform/Platform.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace kv::cli {

namespace {

// The preset's name: the file's name without its folder and ".lop".
std::string name_of_file(const std::string& path)
{
    const auto slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string ext = kPresetFileExtension;
    if (base.size() > ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0)
        base.resize(base.size() - ext.size());
    return base;
}

// True when `path` names a file directly in `folder` (which ends with "/").
bool in_folder(const std::string& path, const std::string& folder)
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::optional<FileIdentity> id = file_identity(dir);
    return id && id == file_identity(folder);
}

std::string trimmed_title(const PresetTitle& title)
{
    std::string t = title_text(title);
    while (!t.empty() && t.front() == ' ') t.erase(t.begin());
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

} // namespace

// `read A-B DIR/`: each slot into DIR as a preset file named after its
// title (" (2)" added to a name already there: no file is replaced). Into
// the presets folder the presets join the library, in one transaction.
int read_range(Session& s, const Command& me, int first, int last)
{
    std::string folder = s.args[1];
    if (folder.back() != '/') folder += '/';
    if (!is_directory(folder)) return s.usage_error(me, "there is no folder " + s.args[1]);
    if (!s.connect()) return kFailed;
    std::vector<std::pair<std::string, PresetRecord>> presets;
    for (int slot = first; slot <= last; ++slot) {
        const PresetRecord record = image_record(s.image.data(), slot);
        std::string name = clean_preset_name(trimmed_title(record.title));
        if (check_preset_name(name) != NameProblem::NoProblem) name = "Preset " + std::to_string(slot + 1);
        presets.emplace_back(name, record);
    }
    const auto taken = [](const std::vector<std::string>& names, const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    std::vector<std::string> written;
    const std::string library = presets_folder_path();
    if (!library.empty() && in_folder(folder + "x", library)) {
        const LibraryResult r = LibraryStore(library).change([&](Library& l) {
            for (const auto& [wanted, record] : presets) {
                std::string name = wanted;
                for (int n = 2; l.presets.find(name) || !l.presets.file_free(name) || taken(written, name); ++n)
                    name = wanted + " (" + std::to_string(n) + ")";
                const OfflineLibrary::Change c = l.presets.store(name, encode_preset_file(name, record));
                if (!c.ok) return l.fail(c.error);
                written.push_back(name);
            }
        });
        if (!r.ok()) {
            s.err("korvane read: " + r.message);
            return r.bad_input() ? kUsage : kFailed;
        }
    } else {
        for (const auto& [wanted, record] : presets) {
            std::string name = wanted;
            for (int n = 2; file_exists(folder + name + kPresetFileExtension) || taken(written, name); ++n)
                name = wanted + " (" + std::to_string(n) + ")";
            const WriteResult w = write_file_atomically(folder + name + kPresetFileExtension, encode_preset_file(name, record));
            if (!w) {
                s.err("korvane read: " + w.message());
                return kFailed;
            }
            written.push_back(name);
        }
    }
    for (const std::string& name : written) s.out(folder + name + kPresetFileExtension);
    return kOk;
}

int cmd_read(Session& s)
{
    const Command& me = *find_command("read");
    if (s.args.size() != 2) return s.usage_error(me, "read takes a slot (1-32) and a file");
    if (s.args[0].find('-') != std::string::npos) {
        const size_t dash = s.args[0].find('-');
        const auto a = slot_argument(s.args[0].substr(0, dash));
        const auto b = slot_argument(s.args[0].substr(dash + 1));
        if (!a || !b || *b < *a) return s.usage_error(me, "a range of slots is A-B, 1 to 32, A not above B");
        return read_range(s, me, *a, *b);
    }
    const auto slot = slot_argument(s.args[0]);
    if (!slot) return s.usage_error(me, "the slot is a number from 1 to 32");
    const std::string& path = s.args[1];
    const bool to_stdout = path == "-";
    if (!s.output_target_ok(me, path)) return kUsage;
    std::string name = to_stdout ? std::string() : clean_preset_name(name_of_file(path));
    if (!to_stdout)
        if (const NameProblem p = check_preset_name(name); p != NameProblem::NoProblem)
            return s.usage_error(me, name_problem_text(p));

    if (!s.connect()) return kFailed;
    const ops::SlotRead r = ops::read_slot(s.link(), s.report(), *slot);
    if (!r.ok) return kFailed;
    if (to_stdout) {
        // On standard output the preset is named after its title.
        name = clean_preset_name(trimmed_title(r.record.title));
        if (check_preset_name(name) != NameProblem::NoProblem) name = "Preset " + s.args[0];
        return s.out_bytes(encode_preset_file(name, r.record)) ? kOk : kFailed;
    }
    // A file of the presets folder is the library's: written under its lock,
    // so no import or other change is half-way through it.
    WriteResult w;
    const std::string folder = presets_folder_path();
    if (!folder.empty() && in_folder(path, folder)) {
        const FolderLock lock = FolderLock::take(LibraryStore(folder).lock_path(), LockMode::Exclusive);
        if (!lock) {
            s.err("korvane read: " + lock.message());
            return kFailed;
        }
        w = write_file_atomically(path, encode_preset_file(name, r.record));
    } else {
        w = write_file_atomically(path, encode_preset_file(name, r.record));
    }
    if (!w) {
        s.err("korvane read: " + w.message());
        return kFailed;
    }
    s.out(path);
    return kOk;
}

} // namespace kv::cli
