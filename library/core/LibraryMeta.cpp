#include "library/core/LibraryMeta.h"

#include "library/core/OfflinePresets.h"
#include "platform/AtomicFile.h"
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

bool less_folded(const std::string& a, const std::string& b) { return lower(a) < lower(b); }

// Length of the UTF-8 sequence at text[i], or 0 when it is not one.
size_t utf8_sequence(std::string_view text, size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) n = 2, min = 0x80, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 3, min = 0x800, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 4, min = 0x10000, cp = c & 0x07;
    else return 0;
    if (i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// A name as a JSON key: unchanged when it is UTF-8 without "\", otherwise
// with those bytes and every "\" as "\xNN".
std::string key_of_name(std::string_view name)
{
    if (is_utf8(name) && name.find('\\') == std::string_view::npos) return std::string(name);
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const size_t n = name[i] == '\\' ? 0 : utf8_sequence(name, i);
        if (n > 0) {
            out.append(name.substr(i, n));
            i += n;
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(static_cast<unsigned char>(name[i])));
        out += hex;
        ++i;
    }
    return out;
}

std::string name_of_key(std::string_view key)
{
    if (key.find('\\') == std::string_view::npos) return std::string(key);
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '\\' && i + 3 < key.size() && key[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(key[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(key[i + 3]))) {
            out += char(std::stoi(std::string(key.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += key[i];
        }
    }
    return out;
}

// One entry from its JSON; nothing when its shape is wrong. Values are kept
// as the file has them (a newer version may allow more); fields this version
// does not know are kept aside to be written again.
std::optional<PresetMeta> meta_from_json(const json& j)
{
    if (!j.is_object()) return std::nullopt;
    PresetMeta m;
    json unknown = json::object();
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& k = it.key();
        const json& v = it.value();
        if (k == "tags") {
            if (!v.is_array()) return std::nullopt;
            for (const json& t : v) {
                if (!t.is_string()) return std::nullopt;
                m.tags.push_back(t.get<std::string>());
            }
        } else if (k == "notes") {
            if (!v.is_string()) return std::nullopt;
            m.notes = v.get<std::string>();
        } else if (k == "favourite") {
            if (!v.is_boolean()) return std::nullopt;
            m.favourite = v.get<bool>();
        } else if (k == "added") {
            if (!v.is_string()) return std::nullopt;
            m.added = v.get<std::string>();
        } else {
            unknown[k] = v;
        }
    }
    if (!unknown.empty()) m.unknown = unknown.dump();
    std::sort(m.tags.begin(), m.tags.end(), less_folded);
    m.tags.erase(std::unique(m.tags.begin(), m.tags.end(),
                             [](const std::string& a, const std::string& b) { return lower(a) == lower(b); }),
                 m.tags.end());
    return m;
}

json meta_to_json(const PresetMeta& m)
{
    json j = m.unknown.empty() ? json::object() : json::parse(m.unknown, nullptr, false);
    if (!j.is_object()) j = json::object();
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

bool is_utf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t n = utf8_sequence(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

size_t utf8_length(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const size_t n = utf8_sequence(text, i);
        i += n == 0 ? 1 : n;
    }
    return count;
}

namespace {

std::string_view trimmed(std::string_view tag)
{
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.front()))) tag.remove_prefix(1);
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.back()))) tag.remove_suffix(1);
    return tag;
}

}  // namespace

std::string tag_problem(std::string_view tag)
{
    const std::string_view t = trimmed(tag);
    const std::string quoted = "the tag \"" + std::string(tag) + "\" ";
    if (t.empty()) return "a tag cannot be empty";
    for (char c : t) {
        if (c == ',') return quoted + "has a comma; a tag is one word or phrase without commas";
        if (c == '\n' || c == '\r') return "a tag cannot hold a line break";
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "a tag cannot hold control characters";
    }
    if (utf8_length(t) > kMaxTagLength)
        return quoted + "has " + std::to_string(utf8_length(t)) + " characters; a tag has at most " +
               std::to_string(kMaxTagLength);
    return {};
}

std::string notes_problem(std::string_view notes)
{
    const size_t n = utf8_length(notes);
    if (n > kMaxNoteLength)
        return "the notes have " + std::to_string(n) + " characters; notes have at most " + std::to_string(kMaxNoteLength);
    return {};
}

std::string clean_tag(std::string_view tag)
{
    if (!tag_problem(tag).empty()) return {};
    return std::string(trimmed(tag));
}

LibraryMeta::Loaded LibraryMeta::load()
{
    Loaded r;
    entries_.clear();
    folded_.clear();
    unknown_.clear();
    locked_ = false;
    changed_ = false;
    newer_version_ = 0;
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
    std::string why;
    json j;
    if (json_nests_deeper_than(read.text(), kJsonNestingLimit))
        why = "it nests deeper than " + std::to_string(kJsonNestingLimit) + " levels";
    else j = json::parse(read.text(), nullptr, false);
    if (!why.empty()) {
    } else if (j.is_discarded()) why = "it is not JSON";
    else if (!j.is_object() || string_at(j, "format").value_or("") != "korvane-library") why = "it is not a library file";
    else if (!j.contains("presets") || !j["presets"].is_object()) why = "it has no list of presets";
    else {
        if (const auto v = j.find("version"); v != j.end() && v->is_number() && v->get<double>() >= kLibraryMetaVersion + 1)
            newer_version_ = int(v->get<double>());
        json unknown = json::object();
        for (auto it = j.begin(); it != j.end(); ++it)
            if (it.key() != "format" && it.key() != "version" && it.key() != "presets") unknown[it.key()] = it.value();
        if (!unknown.empty()) unknown_ = unknown.dump();
        for (auto it = j["presets"].begin(); it != j["presets"].end(); ++it) {
            const auto m = meta_from_json(it.value());
            if (!m) {
                why = "the entry of \"" + it.key() + "\" is damaged";
                break;
            }
            insert(name_of_key(it.key()), *m);
        }
    }
    if (why.empty()) {
        if (newer())
            r.message = "The library file " + file + " was written by a newer version of Korvane (format version " +
                        std::to_string(newer_version_) +
                        "); it is read as far as this version understands it, but tags, notes and favourites "
                        "cannot be changed until Korvane is updated.";
        return r;
    }

    // Keep the damaged file: the next free library.damaged-N.json.
    entries_.clear();
    folded_.clear();
    unknown_.clear();
    newer_version_ = 0;
    r.ok = false;
    r.damaged = true;
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
    if (newer())
        return "cannot write " + path() + ": it was written by a newer version of Korvane (format version " +
               std::to_string(newer_version_) + "), which this version does not change";
    json presets = json::object();
    for (const auto& [name, meta] : entries_)
        if (!meta.empty()) presets[key_of_name(name)] = meta_to_json(meta);
    json j = unknown_.empty() ? json::object() : json::parse(unknown_, nullptr, false);
    if (!j.is_object()) j = json::object();
    j["format"] = "korvane-library";
    j["version"] = kLibraryMetaVersion;
    j["presets"] = std::move(presets);
    return write_text(path(), dump(j));
}

std::map<std::string, PresetMeta>::iterator LibraryMeta::lookup(std::string_view name)
{
    const std::string exact(name);
    if (const auto it = entries_.find(exact); it != entries_.end()) return it;
    const auto [first, last] = folded_.equal_range(lower(name));
    if (first == last || std::next(first) != last) return entries_.end();
    return entries_.find(first->second);
}

std::map<std::string, PresetMeta>::const_iterator LibraryMeta::lookup(std::string_view name) const
{
    return const_cast<LibraryMeta*>(this)->lookup(name);
}

void LibraryMeta::insert(const std::string& name, PresetMeta meta)
{
    const auto [it, added] = entries_.insert_or_assign(name, std::move(meta));
    if (added) folded_.emplace(lower(name), name);
}

void LibraryMeta::forget(std::map<std::string, PresetMeta>::iterator it)
{
    const auto [first, last] = folded_.equal_range(lower(it->first));
    for (auto f = first; f != last; ++f)
        if (f->second == it->first) {
            folded_.erase(f);
            break;
        }
    entries_.erase(it);
}

const PresetMeta* LibraryMeta::find(std::string_view name) const
{
    const auto it = lookup(name);
    return it == entries_.end() ? nullptr : &it->second;
}

PresetMeta& LibraryMeta::at(std::string_view name)
{
    changed_ = true;
    if (const auto it = lookup(name); it != entries_.end()) return it->second;
    insert(std::string(name), PresetMeta{});
    return entries_.find(std::string(name))->second;
}

void LibraryMeta::erase(std::string_view name)
{
    if (const auto it = lookup(name); it != entries_.end()) {
        changed_ = true;
        forget(it);
    }
}

void LibraryMeta::rename(std::string_view from, std::string_view to)
{
    const auto it = lookup(from);
    if (it == entries_.end()) return;
    changed_ = true;
    PresetMeta m = std::move(it->second);
    forget(it);
    if (const auto old = entries_.find(std::string(to)); old != entries_.end()) forget(old);
    insert(std::string(to), std::move(m));
}

bool LibraryMeta::add_tags(std::string_view name, const std::vector<std::string>& tags)
{
    std::vector<std::string> clean;
    for (const std::string& t : tags) {
        if (!tag_problem(t).empty()) return false;
        clean.push_back(clean_tag(t));
    }
    PresetMeta& m = at(name);
    for (const std::string& c : clean) {
        const bool have = std::any_of(m.tags.begin(), m.tags.end(), [&](const std::string& t) { return lower(t) == lower(c); });
        if (!have) m.tags.push_back(c);
    }
    std::sort(m.tags.begin(), m.tags.end(), less_folded);
    return true;
}

void LibraryMeta::remove_tags(std::string_view name, const std::vector<std::string>& tags)
{
    const auto it = lookup(name);
    if (it == entries_.end()) return;
    changed_ = true;
    auto& list = it->second.tags;
    for (const std::string& t : tags) {
        const std::string gone = lower(trimmed(t));
        list.erase(std::remove_if(list.begin(), list.end(), [&](const std::string& have) { return lower(have) == gone; }),
                   list.end());
    }
}

bool LibraryMeta::set_notes(std::string_view name, std::string_view notes)
{
    if (!notes_problem(notes).empty()) return false;
    at(name).notes = std::string(notes);
    return true;
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
    if (json_nests_deeper_than(text, kJsonNestingLimit)) {
        why = "it nests deeper than " + std::to_string(kJsonNestingLimit) + " levels";
        return std::nullopt;
    }
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
    if (!is_directory(folder) && !make_directory(folder)) return "cannot create the folder " + folder;
    json j = json::object();
    j["format"] = "korvane-setlist";
    j["version"] = 1;
    j["name"] = setlist.name;
    j["presets"] = setlist.presets;
    return write_text(folder + setlist.name + ".json", dump(j));
}

}  // namespace kv
