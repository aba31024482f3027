#include "library/core/SharingFormat.h"

#include "library/core/OfflinePresets.h"
#include "platform/SafeFile.h"
#include "preset/Catalogue.h"
#include "preset/RecordCheck.h"
#include "preset/Scales.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>
#include <unordered_set>

namespace kv {

using json = nlohmann::ordered_json;

namespace {

std::string trim(std::string s)
{
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string hex_of(const PresetRecord& r)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < kPresetRecordSize; ++i) {
        out += digits[r.data()[i] >> 4];
        out += digits[r.data()[i] & 0x0F];
    }
    return out;
}

std::optional<PresetRecord> record_of_hex(std::string_view hex)
{
    if (hex.size() != 2 * kPresetRecordSize) return std::nullopt;
    PresetRecord r{};
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < kPresetRecordSize; ++i) {
        const int hi = nibble(hex[2 * i]), lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        r.data()[i] = uint8_t(hi * 16 + lo);
    }
    return r;
}

const char* routing_name(uint8_t routing)
{
    switch (routing) {
    case 0: return "Cascade";
    case 1: return "Mixture";
    case 2: return "LR-split";
    default: return "none (code 3)";
    }
}

json engine_json(const PresetParameters& p, Engine e)
{
    json j = json::object();
    const int id = p.algorithm(e);
    j["algorithm"] = algorithm_valid(id) ? std::string(algorithm_code(id)) : "unknown (code " + std::to_string(id) + ")";
    j["engaged"] = p.engaged(e);
    const SpeedClass sc = speed_class(id);
    if (sc == SpeedClass::Tempo) j["speed_bpm"] = tempo_bpm(p.speed(e));
    else j["speed_percent"] = rate_text_value(p.speed(e));
    j["depth_percent"] = percent_text_value(p.depth(e));
    j["tweak_percent"] = percent_text_value(p.tweak(e));
    json options = json::object();
    const int sp1 = p.sp(e, 0);
    for (int sp = 0; sp < kSpCount; ++sp) {
        if (!algorithm_valid(id) || sp_hidden(id, sp)) continue;
        std::string label = trim(sp_label(id, sp, sp1));
        if (label.empty()) label = "SP" + std::to_string(sp + 1);
        const std::vector<std::string> texts = option_texts(e, id, sp);
        const int position = code_to_position(id, sp, p.sp(e, sp));
        if (position >= 0 && size_t(position) < texts.size()) options[label] = trim(texts[size_t(position)]);
    }
    j["options"] = std::move(options);
    j["tap"] = p.tap_on(e);
    j["tap_divide"] = trim(tap_divide_text(p.tap_divide(e)));
    if (is_rotary_algorithm(id)) j["rotor"] = p.rotor_fast(e) ? "Fast" : "Slow";
    return j;
}

json decoded_json(const PresetRecord& r)
{
    const PresetParameters& p = r.parameters;
    json j = json::object();
    j["routing"] = routing_name(p.routing());
    j["order"] = p.post() ? "Post" : "Pre";
    j["volume_db"] = volume_text(volume_position(normalised_volume(p.volume)));
    j["auto_stomp"] = p.auto_stomp();
    j["bypass_on_program_change"] = p.bypass_on_pc();
    j["dsp_x"] = engine_json(p, Engine::X);
    j["dsp_y"] = engine_json(p, Engine::Y);
    return j;
}

// The first field of `given` whose value differs from `truth`, as a path
// ("dsp_x.depth_percent"); fields `truth` does not have are not compared.
std::optional<std::string> first_difference(const json& given, const json& truth, const std::string& path)
{
    if (given.is_object() && truth.is_object()) {
        for (auto it = given.begin(); it != given.end(); ++it) {
            const auto t = truth.find(it.key());
            if (t == truth.end()) continue;
            const std::string sub = path.empty() ? it.key() : path + "." + it.key();
            if (auto d = first_difference(it.value(), *t, sub)) return d;
        }
        return std::nullopt;
    }
    if (given == truth) return std::nullopt;
    return path + " is " + given.dump(-1, ' ', false, json::error_handler_t::replace) + " in the file but " +
           truth.dump(-1, ' ', false, json::error_handler_t::replace) + " in the record";
}

}  // namespace

std::string decoded_record_json(const PresetRecord& record)
{
    return decoded_json(record).dump(2, ' ', false, json::error_handler_t::replace);
}

std::string encode_sharing_file(const std::vector<SharedPreset>& presets)
{
    json list = json::array();
    for (const SharedPreset& s : presets) {
        json p = json::object();
        p["name"] = s.name;
        p["title"] = title_text(s.record.title);
        p["tags"] = s.tags;
        p["notes"] = s.notes;
        p["favourite"] = s.favourite;
        p["record"] = hex_of(s.record);
        p["decoded"] = decoded_json(s.record);
        list.push_back(std::move(p));
    }
    json j = json::object();
    j["format"] = "tessivar-presets";
    j["version"] = 1;
    j["presets"] = std::move(list);
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

SharingImport decode_sharing_file(std::string_view text)
{
    SharingImport r;
    if (json_nests_deeper_than(text, kJsonNestingLimit)) {
        r.error = "it nests deeper than " + std::to_string(kJsonNestingLimit) + " levels, far deeper than a preset file";
        return r;
    }
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        r.error = "it is not JSON";
        return r;
    }
    if (!j.is_object() || !j.contains("format") || j["format"] != "tessivar-presets") {
        r.error = "it is not a Tessivar preset file (\"format\" is not \"tessivar-presets\")";
        return r;
    }
    if (j.contains("version") && !(j["version"].is_number_integer() && j["version"].get<long long>() == 1)) {
        r.error = "its version is not 1, the one this program reads";
        return r;
    }
    const auto list = j.find("presets");
    if (list == j.end() || !list->is_array()) {
        r.error = "it has no list of presets";
        return r;
    }
    r.ok = true;
    int index = 0;
    for (const json& p : *list) {
        ++index;
        std::string label = "preset " + std::to_string(index);
        auto refuse = [&](const std::string& why) { r.refused.push_back(label + ": " + why); };
        if (!p.is_object()) {
            refuse("it is not an object");
            continue;
        }
        SharedPreset s;
        if (const auto n = p.find("name"); n != p.end() && n->is_string()) s.name = n->get<std::string>();
        if (!s.name.empty()) label += " (\"" + s.name + "\")";
        const auto rec = p.find("record");
        if (rec == p.end() || !rec->is_string()) {
            refuse("it has no \"record\"; a preset is imported from its 47 record bytes only");
            continue;
        }
        const auto record = record_of_hex(rec->get<std::string>());
        if (!record) {
            refuse("its \"record\" is not 94 hexadecimal digits");
            continue;
        }
        s.record = *record;
        if (const auto d = p.find("decoded"); d != p.end()) {
            if (auto diff = first_difference(*d, decoded_json(s.record), "decoded")) {
                refuse("its decoded fields disagree with its record: " + *diff +
                       " (edit the record, or remove the field, to import it)");
                continue;
            }
        }
        if (const auto t = p.find("title"); t != p.end() && t->is_string() && trim(t->get<std::string>()) != title_text(s.record.title)) {
            refuse("its \"title\" is \"" + t->get<std::string>() + "\" but its record's title is \"" + title_text(s.record.title) + "\"");
            continue;
        }
        if (const std::string problem = record_problem(s.record); !problem.empty()) {
            refuse(problem);
            continue;
        }
        if (s.name.empty()) s.name = title_text(s.record.title);
        // Tags, notes and the favourite mark are imported whole or the preset
        // is refused: nothing is cut or dropped without a word.
        std::string bad;
        if (const auto t = p.find("tags"); t != p.end()) {
            if (!t->is_array()) bad = "its \"tags\" is not a list";
            for (size_t k = 0; bad.empty() && k < t->size(); ++k) {
                const json& tag = (*t)[k];
                if (!tag.is_string()) bad = "its tag " + std::to_string(k + 1) + " is not a text";
                else if (std::string why = tag_problem(tag.get<std::string>()); !why.empty()) bad = why;
                else s.tags.push_back(clean_tag(tag.get<std::string>()));
            }
        }
        if (const auto n = p.find("notes"); bad.empty() && n != p.end()) {
            if (!n->is_string()) bad = "its \"notes\" is not a text";
            else if (std::string why = notes_problem(n->get<std::string>()); !why.empty()) bad = why;
            else s.notes = n->get<std::string>();
        }
        if (const auto f = p.find("favourite"); bad.empty() && f != p.end()) {
            if (!f->is_boolean()) bad = "its \"favourite\" is not true or false";
            else s.favourite = f->get<bool>();
        }
        if (!bad.empty()) {
            refuse(bad);
            continue;
        }
        r.presets.push_back(std::move(s));
    }
    return r;
}

SharingImport read_sharing_file(const std::string& path)
{
    const FileRead read = read_file_limited(path, kSharingFileReadLimit);
    if (!read.ok()) {
        SharingImport r;
        r.error = read_failure_message(path, read.error);
        return r;
    }
    return decode_sharing_file(read.text());
}

std::string free_preset_name(std::string_view wanted, const std::vector<std::string>& taken)
{
    return free_preset_name_where(wanted, [&](const std::string& n) {
        for (const std::string& t : taken)
            if (same_preset_name(t, n)) return true;
        return false;
    });
}

std::string free_preset_name_where(std::string_view wanted, const std::function<bool(const std::string&)>& is_taken)
{
    const std::string base = clean_preset_name(wanted);
    if (check_preset_name(base) != NameProblem::NoProblem) return {};
    if (!is_taken(base)) return base;
    for (int n = 2; n < 100000; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string candidate = base.substr(0, kMaxPresetNameLength - suffix.size()) + suffix;
        if (!is_taken(candidate)) return candidate;
    }
    return {};
}

LibraryImport import_into_library(const std::vector<SharedPreset>& presets, OfflineLibrary& library, LibraryMeta& meta,
                                  const std::string& added, const std::function<void(size_t, size_t)>& progress)
{
    LibraryImport r;
    auto folded = [](std::string n) {
        for (char& c : n) c = char(std::tolower(static_cast<unsigned char>(c)));
        return n;
    };
    std::unordered_set<std::string> taken;
    for (const OfflineEntry& e : library.entries()) taken.insert(folded(e.name));
    const auto is_taken = [&](const std::string& n) { return taken.count(folded(n)) > 0 || !library.file_free(n); };
    size_t done = 0;
    for (const SharedPreset& p : presets) {
        if (progress && (done % 256 == 0)) progress(done, presets.size());
        ++done;
        std::string name = free_preset_name_where(p.name, is_taken);
        if (name.empty()) name = free_preset_name_where(title_text(p.record.title), is_taken);
        if (name.empty()) name = free_preset_name_where("Imported", is_taken);
        const OfflineLibrary::Change c = library.store(name, encode_preset_file(name, p.record));
        if (!c.ok) {
            r.errors.push_back("\"" + p.name + "\" was not imported: " + c.error);
            continue;
        }
        if (!c.warning.empty()) r.warnings.push_back(c.warning);
        taken.insert(folded(name));
        PresetMeta& m = meta.at(name);
        m.tags = p.tags;
        m.notes = p.notes;
        m.favourite = p.favourite;
        m.added = added;
        r.imported.push_back({p.name, name});
    }
    if (progress) progress(presets.size(), presets.size());
    return r;
}

std::vector<SharedPreset> shared_presets_of(const OfflineLibrary& library, const LibraryMeta& meta,
                                            const std::vector<size_t>& entries, std::vector<std::string>* skipped)
{
    std::vector<SharedPreset> out;
    for (size_t i : entries) {
        if (i >= library.size()) continue;
        const OfflineEntry& e = library.entries()[i];
        if (!e.record) {
            if (skipped) skipped->push_back("the file of \"" + e.name + "\" (" + e.path + ") could not be read");
            continue;
        }
        SharedPreset p;
        p.name = e.name;
        p.record = *e.record;
        if (const PresetMeta* m = meta.find(e.name)) {
            p.tags = m->tags;
            p.notes = m->notes;
            p.favourite = m->favourite;
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace kv
