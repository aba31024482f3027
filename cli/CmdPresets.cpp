// `korvane presets ...`: the offline library from the command line: list and
// search it, tag and annotate presets, and exchange presets with others in
// the readable .tessivar.json format.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PresetData.h"
#include "cli/SlotArgs.h"
#include "library/core/LibraryMeta.h"
#include "library/core/LibrarySearch.h"
#include "library/core/LibraryStore.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace kv::cli {

namespace {

// The library's transaction for this user's presets folder; nothing (said)
// when there is no presets folder.
std::optional<LibraryStore> library_store(Session& s)
{
    const std::string folder = presets_folder_path();
    if (folder.empty()) {
        s.err("korvane presets: there is no home folder, so there is no presets folder.");
        return std::nullopt;
    }
    return LibraryStore(folder);
}

// Says what a library transaction found and how it ended; the exit status.
int library_outcome(Session& s, const LibraryResult& r)
{
    for (const std::string& n : r.notices)
        if (n != r.message) s.err("korvane presets: " + n);
    if (!r.warning.empty()) s.err("korvane presets: " + r.warning);
    if (r.ok()) return kOk;
    s.err("korvane presets: " + r.message);
    return r.bad_input() ? kUsage : kFailed;
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
    auto store = library_store(s);
    if (!store) return kUsage;
    std::vector<LibraryRow> rows;
    const LibraryResult read = store->read([&](const Library& l) { rows = library_rows(l.presets, l.meta); });
    if (const int status = library_outcome(s, read); status != kOk && rows.empty()) return status;
    const int status = read.ok() ? kOk : kUsage;
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
        return status;
    }
    for (size_t i : found) {
        const LibraryRow& r = rows[i];
        std::string tags;
        for (const std::string& t : r.tags) tags += (tags.empty() ? "" : ",") + t;
        s.out(std::string(r.favourite ? "* " : "  ") + r.name + "\t" + r.algorithm_x + "\t" + r.algorithm_y + "\t" +
              tags);
    }
    return status;
}

// `presets favourite|unfavourite NAME...`: the star of each preset named.
int mark(Session& s, const Command& me, bool on)
{
    if (s.args.empty()) return s.usage_error(me, std::string("presets ") + (on ? "favourite" : "unfavourite") + " takes names");
    auto store = library_store(s);
    if (!store) return kUsage;
    std::vector<std::string> listed;
    const LibraryResult r = store->change([&](Library& l) {
        for (const std::string& name : s.args) {
            const auto entry = l.presets.find(name);
            if (!entry) return l.refuse("there is no offline preset called \"" + name + "\".");
            listed.push_back(l.presets.entries()[*entry].name);
            l.meta.set_favourite(listed.back(), on);
        }
    });
    if (const int status = library_outcome(s, r); status != kOk) return status;
    for (const std::string& n : listed) s.out("\"" + n + "\" " + (on ? "is a favourite." : "is not a favourite."));
    return kOk;
}

// `presets rename OLD NEW`: a new file under the new name, listed where the
// old one was, the old file deleted; tags and notes follow.
int rename(Session& s, const Command& me)
{
    if (s.args.size() != 2) return s.usage_error(me, "presets rename takes the old name and the new one");
    const std::string wanted = clean_preset_name(s.args[1]);
    if (const NameProblem p = check_preset_name(wanted); p != NameProblem::NoProblem)
        return s.usage_error(me, name_problem_text(p));
    auto store = library_store(s);
    if (!store) return kUsage;
    std::string listed;
    const LibraryResult r = store->change([&](Library& l) {
        const auto entry = l.presets.find(s.args[0]);
        if (!entry) return l.refuse("there is no offline preset called \"" + s.args[0] + "\".");
        const OfflineEntry e = l.presets.entries()[*entry];
        listed = e.name;
        if (const auto other = l.presets.find(wanted); other && *other != *entry)
            return l.refuse("there is already an offline preset called \"" + l.presets.entries()[*other].name + "\".");
        if (!l.presets.find(wanted) && !l.presets.file_free(wanted))
            return l.refuse("a file for \"" + wanted + "\" that the list does not name is in the presets folder.");
        if (!e.record) return l.refuse("\"" + e.name + "\" cannot be read, so it cannot be renamed.");
        const std::vector<uint8_t> bytes = encode_preset_file(wanted, *e.record);
        const OfflineLibrary::Change c = l.presets.store(wanted, bytes, *entry);
        if (!c.ok) return l.fail(c.error);
        l.meta.rename(e.name, wanted);
    });
    if (const int status = library_outcome(s, r); status != kOk) return status;
    s.out("\"" + listed + "\" renamed \"" + wanted + "\".");
    return kOk;
}

// `presets delete NAME...`: asks, then takes each out of the list and
// deletes its file; its tags and notes go with it.
int remove(Session& s, const Command& me)
{
    if (s.args.empty()) return s.usage_error(me, "presets delete takes names");
    std::string names;
    for (const std::string& n : s.args) names += (names.empty() ? "\"" : ", \"") + n + "\"";
    if (!s.confirm("Delete " + names + " from the library?")) return s.declined();
    auto store = library_store(s);
    if (!store) return kUsage;
    std::vector<std::string> deleted;
    const LibraryResult r = store->change([&](Library& l) {
        for (const std::string& name : s.args) {
            const auto entry = l.presets.find(name);
            if (!entry) return l.refuse("there is no offline preset called \"" + name + "\"; nothing was deleted.");
            deleted.push_back(l.presets.entries()[*entry].name);
            const OfflineLibrary::Change c = l.presets.remove(*entry);
            if (!c.ok) return l.fail(c.error);
            l.meta.erase(deleted.back());
        }
    });
    if (const int status = library_outcome(s, r); status != kOk) return status;
    for (const std::string& n : deleted) s.out("Deleted \"" + n + "\".");
    return kOk;
}

// `presets show NAME`: the preset as a .tessivar.json entry (its record and
// the record decoded) with the date it was added; as lines "field: value".
void show_lines(Session& s, const nlohmann::json& j, const std::string& prefix)
{
    for (const auto& [key, value] : j.items()) {
        const std::string name = prefix.empty() ? key : prefix + "." + key;
        if (value.is_object()) show_lines(s, value, name);
        else if (value.is_string()) s.out(name + ": " + value.get<std::string>());
        else if (value.is_array()) {
            std::string items;
            for (const auto& v : value) items += (items.empty() ? "" : ", ") + (v.is_string() ? v.get<std::string>() : v.dump());
            s.out(name + ": " + items);
        } else s.out(name + ": " + value.dump());
    }
}

int show(Session& s, const Command& me)
{
    if (s.args.size() != 1) return s.usage_error(me, "presets show takes one name");
    auto store = library_store(s);
    if (!store) return kUsage;
    std::vector<SharedPreset> found;
    std::vector<std::string> skipped;
    std::string added;
    bool missing = false;
    const LibraryResult r = store->read([&](const Library& l) {
        const auto entry = l.presets.find(s.args[0]);
        if (!entry) {
            missing = true;
            return;
        }
        found = shared_presets_of(l.presets, l.meta, {*entry}, &skipped);
        if (const PresetMeta* m = l.meta.find(l.presets.entries()[*entry].name)) added = m->added;
    });
    if (const int status = library_outcome(s, r); status != kOk) return status;
    if (missing) {
        s.err("korvane presets: there is no offline preset called \"" + s.args[0] + "\".");
        return kUsage;
    }
    if (found.empty()) {
        for (const std::string& why : skipped) s.err("korvane presets: " + why + ".");
        return kUsage;
    }
    nlohmann::json preset = nlohmann::json::parse(encode_sharing_file(found))["presets"][0];
    preset["added"] = added;
    if (s.json) s.out(json_text(preset));
    else show_lines(s, preset, "");
    return kOk;
}

int change_meta(Session& s, const Command& me, const std::string& verb)
{
    if (s.args.size() < 2 || (verb == "note" && s.args.size() != 2))
        return s.usage_error(me, verb == "note" ? "presets note takes a name and a text" : "presets " + verb + " takes a name and tags");
    const std::string name = s.args[0];
    const std::vector<std::string> tags(s.args.begin() + 1, s.args.end());
    // Bad input is refused before the library is even looked at.
    if (verb == "tag")
        for (const std::string& t : tags)
            if (std::string why = tag_problem(t); !why.empty()) return s.usage_error(me, why);
    if (verb == "note")
        if (std::string why = notes_problem(s.args[1]); !why.empty()) return s.usage_error(me, why);
    auto store = library_store(s);
    if (!store) return kUsage;
    std::string listed;
    std::string now;
    const LibraryResult r = store->change([&](Library& l) {
        const auto entry = l.presets.find(name);
        if (!entry) {
            l.refuse("there is no offline preset called \"" + name + "\".");
            return;
        }
        listed = l.presets.entries()[*entry].name;
        if (verb == "tag") l.meta.add_tags(listed, tags);
        else if (verb == "untag") l.meta.remove_tags(listed, tags);
        else l.meta.set_notes(listed, s.args[1]);
        if (const PresetMeta* m = l.meta.find(listed))
            for (const std::string& t : m->tags) now += (now.empty() ? "" : ",") + t;
    });
    if (const int status = library_outcome(s, r); status != kOk) return status;
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
        auto store = library_store(s);
        if (!store) return kUsage;
        std::string missing;
        std::vector<std::string> skipped;
        const LibraryResult read = store->read([&](const Library& l) {
            std::vector<size_t> entries;
            if (all) {
                const std::vector<LibraryRow> rows = library_rows(l.presets, l.meta);
                for (size_t i : filtered(s, rows)) entries.push_back(rows[i].entry);
            } else {
                for (const std::string& n : names) {
                    const auto e = l.presets.find(n);
                    if (!e) {
                        missing = n;
                        return;
                    }
                    entries.push_back(*e);
                }
            }
            out = shared_presets_of(l.presets, l.meta, entries, &skipped);
        });
        if (const int status = library_outcome(s, read); status != kOk) return status;
        if (!missing.empty()) {
            s.err("korvane presets: there is no offline preset called \"" + missing + "\".");
            return kUsage;
        }
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
    auto store = library_store(s);
    if (!store) return kUsage;
    // One transaction for the whole file: one sync, one list, one metadata file.
    LibraryImport imported;
    const std::string added = meta_date(local_time_now());
    const LibraryResult r = store->change([&](Library& l) {
        imported = import_into_library(file.presets, l.presets, l.meta, added, [&](size_t done, size_t total) {
            s.report().count("preset", int(done), int(total));
        });
        // All or nothing: a preset that could not be written (a full disk)
        // fails the whole import.
        if (!imported.errors.empty()) l.fail(imported.errors.front());
    });
    const int status = library_outcome(s, r);
    for (const std::string& why : file.refused) s.err("korvane presets: " + path + ": " + why + ".");
    if (status != kOk) {
        s.err("korvane presets: nothing was imported, " + std::to_string(file.refused.size()) + " refused.");
        return status;
    }
    for (const auto& i : imported.imported)
        s.out(i.name == i.wanted ? "Imported \"" + i.name + "\"" : "Imported \"" + i.wanted + "\" as \"" + i.name + "\"");
    for (const std::string& w : imported.warnings) s.err("korvane presets: " + w);
    s.note("korvane presets: " + presets_text(imported.imported.size()) + " imported, " +
          std::to_string(file.refused.size()) + " refused.");
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
    if (verb == "show") return show(s, me);
    if (verb == "favourite" || verb == "unfavourite") return mark(s, me, verb == "favourite");
    if (verb == "rename") return rename(s, me);
    if (verb == "delete") return remove(s, me);
    if (verb == "import") return import_presets(s, me);
    return s.usage_error(me, "unknown presets command '" + verb + "'");
}

} // namespace kv::cli
