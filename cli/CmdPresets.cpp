// `korvane presets ...`: the offline library from the command line: list and
// search it, tag and annotate presets, and exchange presets with others in
// the readable .tessivar.json format.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PresetData.h"
#include "cli/SlotArgs.h"
#include "library/core/LibraryMeta.h"
#include "library/core/LibrarySearch.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

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

// The rows --search, --tag and --favourites keep.
std::vector<size_t> filtered(const Session& s, const std::vector<LibraryRow>& rows)
{
    LibraryQuery q;
    q.text = s.value("--search").value_or("");
    q.tag = s.value("--tag").value_or("");
    q.favourites_only = s.flag("--favourites");
    return find_rows(rows, q);
}

bool any_filter(const Session& s) { return s.value("--search") || s.value("--tag") || s.flag("--favourites"); }

int list(Session& s, const Command& me)
{
    if (!s.args.empty()) return s.usage_error(me, "presets list takes no arguments");
    const std::string sort = s.value("--sort").value_or("name");
    if (sort != "name" && sort != "added" && sort != "dsp-x" && sort != "dsp-y")
        return s.usage_error(me, "--sort takes name, added, dsp-x or dsp-y, not '" + sort + "'");
    auto l = open_library(s, false);
    if (!l) return kUsage;
    const std::vector<LibraryRow> rows = library_rows(l->list, l->meta);
    std::vector<size_t> found = filtered(s, rows);
    // By the key, then by name (letter case ignored), so that equal keys keep one order.
    const auto lower = [](std::string t) {
        for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    const auto key = [&](const LibraryRow& r) {
        return sort == "added" ? r.added : sort == "dsp-x" ? r.algorithm_x : sort == "dsp-y" ? r.algorithm_y : "";
    };
    std::stable_sort(found.begin(), found.end(), [&](size_t a, size_t b) {
        const std::string ka = key(rows[a]), kb = key(rows[b]);
        if (ka != kb) return ka < kb;
        return lower(rows[a].name) < lower(rows[b].name);
    });
    if (s.flag("--json")) {
        nlohmann::json out = nlohmann::json::array();
        for (size_t i : found) {
            const LibraryRow& r = rows[i];
            out.push_back({{"name", r.name},        {"title", r.title},
                           {"algorithm_x", r.algorithm_x}, {"algorithm_y", r.algorithm_y},
                           {"tags", r.tags},        {"favourite", r.favourite},
                           {"notes", r.notes},      {"added", r.added}});
        }
        s.out(json_text(out));
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
    if (any_filter(s) && !all) return s.usage_error(me, "--search, --tag and --favourites narrow --all");
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
            const std::vector<LibraryRow> rows = library_rows(l->list, l->meta);
            for (size_t i : filtered(s, rows)) entries.push_back(rows[i].entry);
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
    s.out("Exported " + presets_text(out.size()) + " to " + path);
    return kOk;
}

int import_presets(Session& s, const Command& me)
{
    if (s.args.size() != 1) return s.usage_error(me, "presets import takes one file");
    const std::string path = input_name(s.args[0]);
    const FileRead in = read_input(s.args[0], kSharingFileReadLimit);
    SharingImport file;
    if (in) file = decode_sharing_file(in.text());
    else file.error = read_failure_message(path, in.error);
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
    s.note("korvane presets: " + presets_text(imported) + " imported, " +
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
