// `korvane setlist ...`: setlists of library presets, and sending one into
// consecutive slots of the pedal.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PresetData.h"
#include "library/core/LibraryStore.h"
#include "library/core/OfflinePresets.h"
#include "ops/SlotRun.h"
#include "preset/RecordCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv::cli {

namespace {

int write(Session& s, const Command& me, const std::string& folder)
{
    if (s.args.size() != 2) return s.usage_error(me, "setlist write takes a setlist and the first slot");
    const auto first = slot_argument(s.args[1]);
    if (!first) return s.usage_error(me, "the first slot is a number from 1 to 32");
    const SetlistRead read = read_setlist(folder, s.args[0]);
    if (!read.setlist) {
        s.err("korvane setlist: " + read.error + ".");
        return kUsage;
    }
    const Setlist& list = *read.setlist;
    if (list.presets.empty()) {
        s.err("korvane setlist: \"" + list.name + "\" is empty.");
        return kUsage;
    }
    if (*first + int(list.presets.size()) > kSlotCount) {
        s.err("korvane setlist: \"" + list.name + "\" has " + presets_text(list.presets.size()) + "; from slot " + s.args[1] + " they do not fit below slot 32.");
        return kUsage;
    }
    // Every preset is found and checked before anything is sent.
    std::vector<PresetRecord> records;
    std::string missing;
    std::string bad;
    const LibraryResult look = LibraryStore(folder).read([&](const Library& library) {
        for (const std::string& name : list.presets) {
            const auto i = library.presets.find(name);
            if (!i || !library.presets.entries()[*i].record) {
                missing = name;
                return;
            }
            const PresetRecord& r = *library.presets.entries()[*i].record;
            if (const std::string problem = record_problem(r); !problem.empty() && !s.force) {
                bad = "\"" + name + "\": " + problem;
                return;
            }
            records.push_back(r);
        }
    });
    for (const std::string& p : look.notices) s.err("korvane setlist: " + p);
    if (look.error == LibraryError::ListUnreadable || look.error == LibraryError::Lock) {
        s.err("korvane setlist: " + look.message);
        return look.bad_input() ? kUsage : kFailed;
    }
    if (!missing.empty()) {
        s.err("korvane setlist: \"" + missing + "\" of \"" + list.name + "\" is not in the offline library; nothing was sent.");
        return kUsage;
    }
    if (!bad.empty()) {
        s.err("korvane setlist: " + bad + "; nothing was sent (--force stores it as it is).");
        return kUsage;
    }
    const auto programs = algorithm_library(s, "setlist");
    if (!programs) return kFailed;
    const int last = *first + int(records.size());
    if (!s.connect()) return kFailed;
    if (!s.confirm("Write setlist \"" + list.name + "\" (" + presets_text(records.size()) + ") into slots " +
                   std::to_string(*first + 1) + "-" + std::to_string(last) + "?"))
        return s.declined();
    if (!s.safety_backup_possible("sending a setlist")) return kFailed;
    const ops::SlotRunResult r =
        ops::write_slots(s.link(), s.report(), *first, records, ops::library_program_builder(*programs),
                         s.safety_backup_folder(), ops::OnBackupFailure::Refuse, "Setlist \"" + list.name + "\"");
    if (r.ok()) {
        s.out("Setlist \"" + list.name + "\" written into slots " + std::to_string(*first + 1) + "-" +
              std::to_string(last) + " (verified).");
        return kOk;
    }
    if (r.outcome == ops::SlotRunResult::Outcome::Refused) {
        s.err("korvane setlist: nothing was stored: the safety backup failed. Give --no-backup to go on without one.");
        return kFailed;
    }
    s.err("korvane setlist: storing slot " + std::to_string(r.failed_slot + 1) + " failed (code " +
          std::to_string(link_code(r.link)) + "). Slots written and verified: " + ops::slot_list_text(r.done) + ".");
    if (!r.backup_path.empty())
        s.err("  the pedal as it was is in " + r.backup_path + "; put it back with: korvane restore --yes " +
              r.backup_path);
    return kFailed;
}

}  // namespace

int cmd_setlist(Session& s)
{
    const Command& me = *find_command("setlist");
    if (s.args.empty()) return s.usage_error(me, "setlist takes list, show, save or write");
    const std::string verb = s.args[0];
    s.args.erase(s.args.begin());
    const std::string folder = presets_folder_path();
    if (folder.empty()) {
        s.err("korvane setlist: there is no home folder, so there is no presets folder.");
        return kUsage;
    }
    if (verb == "list") {
        if (!s.args.empty()) return s.usage_error(me, "setlist list takes no arguments");
        std::vector<std::string> problems;
        nlohmann::json json = nlohmann::json::array();
        for (const Setlist& l : list_setlists(folder, &problems)) {
            if (s.json) json.push_back({{"name", l.name}, {"presets", l.presets.size()}});
            else s.out(l.name + "\t" + presets_text(l.presets.size()));
        }
        for (const std::string& p : problems) s.err("korvane setlist: " + p);
        if (s.json) s.out(json_text(json));
        return kOk;
    }
    if (verb == "show") {
        if (s.args.size() != 1) return s.usage_error(me, "setlist show takes a setlist");
        const SetlistRead r = read_setlist(folder, s.args[0]);
        if (!r.setlist) {
            s.err("korvane setlist: " + r.error + ".");
            return kUsage;
        }
        if (s.json) {
            s.out(json_text({{"name", r.setlist->name}, {"presets", r.setlist->presets}}));
            return kOk;
        }
        int n = 0;
        for (const std::string& p : r.setlist->presets) s.out(std::to_string(++n) + "\t" + p);
        return kOk;
    }
    if (verb == "save") {
        if (s.args.size() < 2) return s.usage_error(me, "setlist save takes a setlist and presets");
        Setlist l{s.args[0], {}};
        if (const NameProblem p = check_preset_name(l.name); p != NameProblem::NoProblem)
            return s.usage_error(me, "bad setlist name \"" + l.name + "\": " + name_problem_text(p));
        const LibraryResult r = LibraryStore(folder).change([&](Library& library) {
            for (size_t i = 1; i < s.args.size(); ++i) {
                const auto e = library.presets.find(s.args[i]);
                if (!e) {
                    library.refuse("there is no offline preset called \"" + s.args[i] + "\".");
                    return;
                }
                l.presets.push_back(library.presets.entries()[*e].name);
            }
            library.save_setlist(l);
        });
        for (const std::string& p : r.notices)
            if (p != r.message) s.err("korvane setlist: " + p);
        if (!r.ok()) {
            s.err("korvane setlist: " + r.message);
            return r.bad_input() ? kUsage : kFailed;
        }
        s.out("Setlist \"" + l.name + "\" saved (" + presets_text(l.presets.size()) + ").");
        return kOk;
    }
    if (verb == "delete") {
        if (s.args.size() != 1) return s.usage_error(me, "setlist delete takes a setlist");
        if (!s.confirm("Delete setlist \"" + s.args[0] + "\"?")) return s.declined();
        std::string name;
        const LibraryResult r = LibraryStore(folder).change([&](Library& library) {
            const SetlistRead found = library.setlist(s.args[0]);
            if (!found.setlist) return library.refuse(found.error + ".");
            name = found.setlist->name;
            // Under the library's lock: one file taken away, nothing else.
            const std::string path = library.folder() + "setlists/" + name + ".json";
            if (std::remove(path.c_str()) != 0) library.fail("cannot delete " + path + ": " + std::strerror(errno));
        });
        for (const std::string& p : r.notices)
            if (p != r.message) s.err("korvane setlist: " + p);
        if (!r.ok()) {
            s.err("korvane setlist: " + r.message);
            return r.bad_input() ? kUsage : kFailed;
        }
        s.out("Setlist \"" + name + "\" deleted.");
        return kOk;
    }
    if (verb == "write") return write(s, me, folder);
    return s.usage_error(me, "unknown setlist command '" + verb + "'");
}

} // namespace kv::cli
