// `korvane presets ...`: the offline library from the command line: list and
// search it, tag and annotate presets, and exchange presets with others in
// the readable .tessivar.json format.

#include "cli/Commands.h"
#include "cli/PresetData.h"
#include "cli/SlotArgs.h"
#include "library/core/LibraryMeta.h"
#include "library/core/LibrarySearch.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

namespace kv::cli {

namespace {

struct Library {
    OfflineLibrary list;
    LibraryMeta meta;
};

// The offline library and its metadata; nothing (said) when there is no
// presets folder, or the list or the metadata cannot be read.
std::optional<Library> open_library(Session& s, bool for_writing)
{
    const std::string folder = presets_folder_path();
    if (folder.empty()) {
        s.err("korvane presets: there is no home folder, so there is no presets folder.");
        return std::nullopt;
    }
    Library l{OfflineLibrary(folder), LibraryMeta(folder)};
    for (const std::string& p : l.list.load()) s.err("korvane presets: " + p);
    if (!l.list.list_problem().empty()) return std::nullopt;
    const LibraryMeta::Loaded loaded = l.meta.load();
    if (!loaded.message.empty()) s.err("korvane presets: " + loaded.message);
    if (for_writing && l.meta.locked()) return std::nullopt;
    return l;
}

std::optional<size_t> entry_of(Session& s, const Library& l, const std::string& name)
{
    const auto i = l.list.find(name);
    if (!i) s.err("korvane presets: there is no offline preset called \"" + name + "\".");
    return i;
}

bool save_meta(Session& s, const Library& l)
{
    const std::string error = l.meta.save();
    if (error.empty()) return true;
    s.err("korvane presets: " + error);
    return false;
}

int list(Session& s, const Command& me)
{
    if (!s.args.empty()) return s.usage_error(me, "presets list takes no arguments");
    auto l = open_library(s, false);
    if (!l) return kUsage;
    const std::vector<LibraryRow> rows = library_rows(l->list, l->meta);
    LibraryQuery q;
    q.text = s.value("--search").value_or("");
    q.tag = s.value("--tag").value_or("");
    q.favourites_only = s.flag("--favourites");
    const std::vector<size_t> found = find_rows(rows, q);
    if (s.flag("--json")) {
        nlohmann::json out = nlohmann::json::array();
        for (size_t i : found) {
            const LibraryRow& r = rows[i];
            out.push_back({{"name", r.name},        {"title", r.title},
                           {"algorithm_x", r.algorithm_x}, {"algorithm_y", r.algorithm_y},
                           {"tags", r.tags},        {"favourite", r.favourite},
                           {"notes", r.notes},      {"added", r.added}});
        }
        s.out(out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
        return kOk;
    }
    for (size_t i : found) {
        const LibraryRow& r = rows[i];
        std::string tags;
        for (const std::string& t : r.tags) tags += (tags.empty() ? "" : ",") + t;
        s.out(std::string(r.favourite ? "* " : "  ") + r.name + "\t" + r.algorithm_x + "\t" + r.algorithm_y + "\t" +
              tags);
    }
    return kOk;
}

int change_meta(Session& s, const Command& me, const std::string& verb)
{
    if (s.args.size() < 2 || (verb == "note" && s.args.size() != 2))
        return s.usage_error(me, verb == "note" ? "presets note takes a name and a text" : "presets " + verb + " takes a name and tags");
    auto l = open_library(s, true);
    if (!l) return kUsage;
    const std::string& name = s.args[0];
    const auto entry = entry_of(s, *l, name);
    if (!entry) return kUsage;
    const std::string listed = l->list.entries()[*entry].name;
    const std::vector<std::string> tags(s.args.begin() + 1, s.args.end());
    if (verb == "tag") {
        if (!l->meta.add_tags(listed, tags))
            return s.usage_error(me, "a tag is one line of at most 40 characters without commas");
    } else if (verb == "untag") {
        l->meta.remove_tags(listed, tags);
    } else {
        l->meta.set_notes(listed, s.args[1]);
    }
    if (!save_meta(s, *l)) return kFailed;
    std::string now;
    if (const PresetMeta* m = l->meta.find(listed))
        for (const std::string& t : m->tags) now += (now.empty() ? "" : ",") + t;
    s.out(verb == "note" ? "Notes of \"" + listed + "\" saved." : "\"" + listed + "\" tags: " + now);
    return kOk;
}

std::string preset_name_of_slot(const PresetRecord& r, int slot)
{
    std::string t = title_text(r.title);
    while (!t.empty() && t.front() == ' ') t.erase(t.begin());
    const std::string name = clean_preset_name(t);
    return check_preset_name(name) == NameProblem::NoProblem ? name : "Preset " + std::to_string(slot + 1);
}

// "A-B" or "A" (1-32) as slots 0-31.
std::optional<std::pair<int, int>> slot_range(const std::string& text)
{
    const size_t dash = text.find('-');
    const auto a = slot_argument(text.substr(0, dash));
    const auto b = dash == std::string::npos ? a : slot_argument(text.substr(dash + 1));
    if (!a || !b || *b < *a) return std::nullopt;
    return std::make_pair(*a, *b);
}

int export_presets(Session& s, const Command& me)
{
    if (s.args.empty()) return s.usage_error(me, "presets export takes a file");
    const std::string path = s.args[0];
    const std::vector<std::string> names(s.args.begin() + 1, s.args.end());
    const bool all = s.flag("--all");
    const auto slots_text = s.value("--slots");
    if (int(all) + int(slots_text.has_value()) + int(!names.empty()) != 1)
        return s.usage_error(me, "give the presets' names, --all, or --slots A-B");
    if (!s.output_target_ok(me, path)) return kUsage;

    std::vector<SharedPreset> out;
    if (slots_text) {
        const auto range = slot_range(*slots_text);
        if (!range) return s.usage_error(me, "--slots takes A-B, slots 1 to 32, A not above B");
        if (!s.connect()) return kFailed;
        for (int slot = range->first; slot <= range->second; ++slot) {
            SharedPreset p;
            p.record = image_record(s.image.data(), slot);
            p.name = preset_name_of_slot(p.record, slot);
            out.push_back(std::move(p));
        }
    } else {
        auto l = open_library(s, false);
        if (!l) return kUsage;
        std::vector<size_t> entries;
        if (all) {
            for (size_t i = 0; i < l->list.size(); ++i) entries.push_back(i);
        } else {
            for (const std::string& n : names) {
                const auto e = entry_of(s, *l, n);
                if (!e) return kUsage;
                entries.push_back(*e);
            }
        }
        std::vector<std::string> skipped;
        out = shared_presets_of(l->list, l->meta, entries, &skipped);
        for (const std::string& why : skipped) s.err("korvane presets: " + why + "; it is left out.");
    }
    const std::string text = encode_sharing_file(out);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (path == "-") return s.out_bytes(bytes) ? kOk : kFailed;
    const WriteResult w = write_file_atomically(path, bytes);
    if (!w) {
        s.err("korvane presets: " + w.message());
        return kFailed;
    }
    s.out("Exported " + std::to_string(out.size()) + " preset(s) to " + path);
    return kOk;
}

int import_presets(Session& s, const Command& me)
{
    if (s.args.size() != 1) return s.usage_error(me, "presets import takes one file");
    const std::string& path = s.args[0];
    const SharingImport file = read_sharing_file(path);
    if (!file.ok) {
        s.err("korvane presets: " + path + " cannot be imported: " + file.error + ".");
        return kUsage;
    }
    auto l = open_library(s, true);
    if (!l) return kUsage;
    const LibraryImport r = import_into_library(file.presets, l->list, l->meta, meta_date(local_time_now()));
    for (const auto& i : r.imported)
        s.out(i.name == i.wanted ? "Imported \"" + i.name + "\"" : "Imported \"" + i.wanted + "\" as \"" + i.name + "\"");
    for (const std::string& w : r.warnings) s.err("korvane presets: " + w);
    for (const std::string& e : r.errors) s.err("korvane presets: " + e);
    bool failed = !r.errors.empty();
    const size_t imported = r.imported.size();
    for (const std::string& why : file.refused) s.err("korvane presets: " + path + ": " + why + ".");
    if (imported > 0 && !save_meta(s, *l)) failed = true;
    s.err("korvane presets: " + std::to_string(imported) + " preset(s) imported, " +
          std::to_string(file.refused.size()) + " refused.");
    if (failed) return kFailed;
    return file.refused.empty() ? kOk : kUsage;
}

}  // namespace

int cmd_presets(Session& s)
{
    const Command& me = *find_command("presets");
    if (s.args.empty()) return s.usage_error(me, "presets takes list, tag, untag, note, export or import");
    const std::string verb = s.args[0];
    s.args.erase(s.args.begin());
    if (verb == "list") return list(s, me);
    if (verb == "tag" || verb == "untag" || verb == "note") return change_meta(s, me, verb);
    if (verb == "export") return export_presets(s, me);
    if (verb == "import") return import_presets(s, me);
    return s.usage_error(me, "unknown presets command '" + verb + "'");
}

} // namespace kv::cli
