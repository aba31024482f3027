#include "library/core/LibraryMeta.h"

#include "library/core/OfflinePresets.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "platform/SafeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace kv {

using json = nlohmann::json;

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string dump(const json& j)
{
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string write_text(const std::string& path, const std::string& text)
{
    const WriteResult w = write_file_atomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return w.ok() ? std::string() : w.message();
}

// The string at j[key] when it is one.
std::optional<std::string> string_at(const json& j, const char* key)
{
    const auto it = j.find(key);
    if (it == j.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

// One entry from its JSON; nothing when its shape is wrong.
std::optional<PresetMeta> meta_from_json(const json& j)
{
    if (!j.is_object()) return std::nullopt;
    PresetMeta m;
    if (const auto it = j.find("tags"); it != j.end()) {
        if (!it->is_array()) return std::nullopt;
        for (const json& t : *it) {
            if (!t.is_string()) return std::nullopt;
            const std::string tag = clean_tag(t.get<std::string>());
            if (!tag.empty()) m.tags.push_back(tag);
        }
    }
    if (const auto it = j.find("notes"); it != j.end()) {
        if (!it->is_string()) return std::nullopt;
        m.notes = it->get<std::string>().substr(0, kMaxNoteLength);
    }
    if (const auto it = j.find("favourite"); it != j.end()) {
        if (!it->is_boolean()) return std::nullopt;
        m.favourite = it->get<bool>();
    }
    if (const auto it = j.find("added"); it != j.end()) {
        if (!it->is_string()) return std::nullopt;
        m.added = it->get<std::string>();
    }
    std::sort(m.tags.begin(), m.tags.end(), [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    m.tags.erase(std::unique(m.tags.begin(), m.tags.end(),
                             [](const std::string& a, const std::string& b) { return lower(a) == lower(b); }),
                 m.tags.end());
    return m;
}

json meta_to_json(const PresetMeta& m)
{
    json j = json::object();
    j["tags"] = m.tags;
    if (!m.notes.empty()) j["notes"] = m.notes;
    j["favourite"] = m.favourite;
    if (!m.added.empty()) j["added"] = m.added;
    return j;
}

}  // namespace

std::string meta_date(const LocalTime& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string clean_tag(std::string_view tag)
{
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.front()))) tag.remove_prefix(1);
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.back()))) tag.remove_suffix(1);
    if (tag.size() > kMaxTagLength) return {};
    for (char c : tag)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ',') return {};
    return std::string(tag);
}

std::string LibraryMeta::key(std::string_view name) { return lower(name); }

LibraryMeta::Loaded LibraryMeta::load()
{
    Loaded r;
    entries_.clear();
    locked_ = false;
    const std::string file = path();
    if (!file_exists(file)) return r;
    const FileRead read = read_file_limited(file, kLibraryMetaReadLimit);
    if (!read.ok()) {
        // Not ours to move: refuse to write over it until it reads.
        locked_ = true;
        r.ok = false;
        r.message = read_failure_message(file, read.error) + "; tags, notes and favourites are not saved until it can be read.";
        return r;
    }
    const json j = json::parse(read.text(), nullptr, false);
    std::string why;
    if (j.is_discarded()) why = "it is not JSON";
    else if (!j.is_object() || string_at(j, "format").value_or("") != "korvane-library") why = "it is not a library file";
    else if (!j.contains("presets") || !j["presets"].is_object()) why = "it has no list of presets";
    else {
        for (auto it = j["presets"].begin(); it != j["presets"].end(); ++it) {
            const auto m = meta_from_json(it.value());
            if (!m) {
                why = "the entry of \"" + it.key() + "\" is damaged";
                break;
            }
            entries_[key(it.key())] = {it.key(), *m};
        }
    }
    if (why.empty()) return r;

    // Keep the damaged file: the next free library.damaged-N.json.
    entries_.clear();
    r.ok = false;
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = folder_ + "library.damaged-" + std::to_string(n) + ".json";
        if (file_exists(aside)) continue;
        if (std::rename(file.c_str(), aside.c_str()) == 0) r.kept_aside = aside;
        break;
    }
    if (r.kept_aside.empty()) {
        locked_ = true;
        r.message = "The library file " + file + " is damaged (" + why +
                    ") and could not be moved aside; tags, notes and favourites are not saved until it is repaired.";
    } else {
        r.message = "The library file " + file + " is damaged (" + why + "); it was kept as " + r.kept_aside +
                    " and the library starts without tags, notes and favourites.";
    }
    return r;
}

std::string LibraryMeta::save() const
{
    if (locked_) return "cannot write " + path() + ": the library file there could not be read, so it is kept as it is";
    json presets = json::object();
    for (const auto& [k, entry] : entries_)
        if (!entry.second.empty()) presets[entry.first] = meta_to_json(entry.second);
    json j = json::object();
    j["format"] = "korvane-library";
    j["version"] = 1;
    j["presets"] = std::move(presets);
    return write_text(path(), dump(j));
}

const PresetMeta* LibraryMeta::find(std::string_view name) const
{
    const auto it = entries_.find(key(name));
    return it == entries_.end() ? nullptr : &it->second.second;
}

PresetMeta& LibraryMeta::at(std::string_view name)
{
    auto& entry = entries_[key(name)];
    if (entry.first.empty()) entry.first = std::string(name);
    return entry.second;
}

void LibraryMeta::erase(std::string_view name) { entries_.erase(key(name)); }

void LibraryMeta::rename(std::string_view from, std::string_view to)
{
    const auto it = entries_.find(key(from));
    if (it == entries_.end()) return;
    PresetMeta m = it->second.second;
    entries_.erase(it);
    entries_[key(to)] = {std::string(to), std::move(m)};
}

bool LibraryMeta::add_tags(std::string_view name, const std::vector<std::string>& tags)
{
    std::vector<std::string> clean;
    for (const std::string& t : tags) {
        const std::string c = clean_tag(t);
        if (c.empty()) return false;
        clean.push_back(c);
    }
    PresetMeta& m = at(name);
    for (const std::string& c : clean) {
        const bool have = std::any_of(m.tags.begin(), m.tags.end(), [&](const std::string& t) { return lower(t) == lower(c); });
        if (!have) m.tags.push_back(c);
    }
    std::sort(m.tags.begin(), m.tags.end(), [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    return true;
}

void LibraryMeta::remove_tags(std::string_view name, const std::vector<std::string>& tags)
{
    const auto it = entries_.find(key(name));
    if (it == entries_.end()) return;
    auto& list = it->second.second.tags;
    for (const std::string& t : tags)
        list.erase(std::remove_if(list.begin(), list.end(), [&](const std::string& have) { return lower(have) == lower(clean_tag(t)); }),
                   list.end());
}

void LibraryMeta::set_notes(std::string_view name, std::string_view notes)
{
    at(name).notes = std::string(notes.substr(0, kMaxNoteLength));
}

void LibraryMeta::set_favourite(std::string_view name, bool on) { at(name).favourite = on; }

// --- setlists ---

std::string setlist_folder(const std::string& presets_folder)
{
    std::string f = presets_folder;
    if (!f.empty() && f.back() != '/') f += '/';
    return f + kSetlistFolder + "/";
}

namespace {

std::optional<Setlist> setlist_from_text(std::string_view text, std::string& why)
{
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        why = "it is not JSON";
        return std::nullopt;
    }
    if (!j.is_object() || string_at(j, "format").value_or("") != "korvane-setlist") {
        why = "it is not a setlist file";
        return std::nullopt;
    }
    Setlist s;
    s.name = string_at(j, "name").value_or("");
    const auto it = j.find("presets");
    if (it == j.end() || !it->is_array()) {
        why = "it has no list of presets";
        return std::nullopt;
    }
    for (const json& p : *it) {
        if (!p.is_string()) {
            why = "an entry of its list is not a name";
            return std::nullopt;
        }
        s.presets.push_back(p.get<std::string>());
    }
    return s;
}

}  // namespace

SetlistRead read_setlist(const std::string& presets_folder, std::string_view name)
{
    SetlistRead r;
    const std::string file = setlist_folder(presets_folder) + std::string(name) + ".json";
    if (check_preset_name(name) != NameProblem::NoProblem || !file_exists(file)) {
        r.error = "no setlist called \"" + std::string(name) + "\" in " + setlist_folder(presets_folder);
        return r;
    }
    const FileRead read = read_file_limited(file, kSetlistReadLimit);
    if (!read.ok()) {
        r.error = read_failure_message(file, read.error);
        return r;
    }
    std::string why;
    r.setlist = setlist_from_text(read.text(), why);
    if (!r.setlist) r.error = file + " is not a setlist: " + why;
    else r.setlist->name = std::string(name);   // the file's name is the setlist's name
    return r;
}

std::vector<Setlist> list_setlists(const std::string& presets_folder, std::vector<std::string>* problems)
{
    std::vector<Setlist> out;
    const std::string folder = setlist_folder(presets_folder);
    DIR* d = ::opendir(folder.c_str());
    if (!d) return out;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() > 5 && n.compare(n.size() - 5, 5, ".json") == 0 && n[0] != '.') names.push_back(n.substr(0, n.size() - 5));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        SetlistRead r = read_setlist(presets_folder, n);
        if (r.setlist) out.push_back(std::move(*r.setlist));
        else if (problems) problems->push_back(r.error);
    }
    return out;
}

std::string write_setlist(const std::string& presets_folder, const Setlist& setlist)
{
    if (const NameProblem p = check_preset_name(setlist.name); p != NameProblem::NoProblem)
        return "bad setlist name \"" + setlist.name + "\": " + name_problem_text(p);
    const std::string folder = setlist_folder(presets_folder);
    if (!make_folder_for_writing(folder)) return "cannot create the folder " + folder;
    json j = json::object();
    j["format"] = "korvane-setlist";
    j["version"] = 1;
    j["name"] = setlist.name;
    j["presets"] = setlist.presets;
    return write_text(folder + setlist.name + ".json", dump(j));
}

}  // namespace kv
