#include "library/core/OfflinePresets.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::vector<std::string_view> lines_of(std::string_view text)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.push_back(line);
        start = nl + 1;
    }
    return out;
}

}  // namespace

std::string clean_preset_name(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        if (c == '@' || c == '|' || c == '\\' || c == '/') c = '-';
        else if (c == '&') c = 'n';
    }
    return out;
}

NameProblem check_preset_name(std::string_view name)
{
    if (name.empty()) return NameProblem::Empty;
    if (name == "." || name == "..") return NameProblem::DotName;
    if (name.size() > kMaxPresetNameLength) return NameProblem::TooLong;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return NameProblem::ControlCharacter;
        if (c == '/' || c == '\\') return NameProblem::Separator;
    }
    return NameProblem::NoProblem;
}

std::string name_problem_text(NameProblem problem)
{
    switch (problem) {
    case NameProblem::NoProblem: return {};
    case NameProblem::Empty: return "The preset name is empty. Please type in a name for the preset.";
    case NameProblem::DotName: return "\".\" and \"..\" cannot be used as preset names. Please choose another name.";
    case NameProblem::TooLong: return "A preset name can have at most 38 characters. Please choose a shorter name.";
    case NameProblem::ControlCharacter:
        return "A preset name cannot contain control characters (line breaks, tabs). Please choose another name.";
    case NameProblem::Separator: return "A preset name cannot contain \"/\" or \"\\\". Please choose another name.";
    }
    return {};
}

bool same_preset_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::vector<uint8_t> encode_preset_file(std::string_view name, const PresetRecord& record)
{
    std::vector<uint8_t> out(name.begin(), name.end());
    out.push_back('\n');
    out.insert(out.end(), record.data(), record.data() + kPresetRecordSize);
    return out;
}

PresetFile decode_preset_file(std::span<const uint8_t> bytes)
{
    PresetFile f;
    // The name line may be 38 characters and its newline; nothing longer is
    // looked at.
    const size_t window = std::min(bytes.size(), kMaxPresetNameLength + 1);
    const auto nl = std::find(bytes.begin(), bytes.begin() + std::ptrdiff_t(window), uint8_t('\n'));
    if (nl == bytes.begin() + std::ptrdiff_t(window)) {
        f.problem = bytes.size() > kMaxPresetNameLength ? PresetFileProblem::NameTooLong : PresetFileProblem::NoNameLine;
        return f;
    }
    const size_t name_length = size_t(nl - bytes.begin());
    if (name_length == 0) {
        f.problem = PresetFileProblem::EmptyName;
        return f;
    }
    if (bytes.size() < name_length + kPresetFileOverhead) {
        f.problem = PresetFileProblem::TooShort;
        return f;
    }
    f.name.assign(reinterpret_cast<const char*>(bytes.data()), name_length);
    f.record = record_from_bytes(bytes.data() + name_length + 1);
    return f;
}

PresetFile read_preset_file(const std::string& path)
{
    const FileRead in = read_file_limited(path, kPresetFileReadLimit);
    if (!in) {
        PresetFile f;
        f.problem = PresetFileProblem::Unreadable;
        f.read_error = read_failure_message(path, in.error);
        return f;
    }
    return decode_preset_file(in.bytes);
}

std::string preset_file_problem_text(const PresetFile& file, const std::string& path)
{
    const std::string head = "The preset file \"" + path + "\" ";
    switch (file.problem) {
    case PresetFileProblem::NoProblem: return {};
    case PresetFileProblem::NoNameLine: return head + "has no name line. It is not an offline preset file.";
    case PresetFileProblem::NameTooLong:
        return head + "has a name line longer than 38 characters. It is not an offline preset file.";
    case PresetFileProblem::EmptyName: return head + "has an empty name line. It is not an offline preset file.";
    case PresetFileProblem::TooShort:
        return head + "is too short to hold a preset. The file may be damaged.";
    case PresetFileProblem::Unreadable: return "The preset file could not be read:\n" + file.read_error;
    }
    return {};
}

std::string OfflineLibrary::path_for(std::string_view name) const
{
    return folder_ + std::string(name) + kPresetFileExtension;
}

bool OfflineLibrary::owns_file(const std::string& path) const
{
    // A list may come from elsewhere and name any file at all; only a preset
    // file of this folder is ever deleted with its entry.
    const std::string_view ext = kPresetFileExtension;
    if (folder_.empty() || path.size() <= folder_.size() + ext.size()) return false;
    if (path.compare(0, folder_.size(), folder_) != 0) return false;
    if (path.compare(path.size() - ext.size(), ext.size(), ext) != 0) return false;
    const std::string_view name(path.data() + folder_.size(), path.size() - folder_.size() - ext.size());
    return check_preset_name(name) == NameProblem::NoProblem;
}

std::vector<std::string> OfflineLibrary::load()
{
    std::vector<std::string> problems;
    entries_.clear();
    lines_.clear();
    line_set_.clear();
    unreadable_.clear();
    list_problem_.clear();
    list_changed_ = false;
    doomed_.clear();
    created_.clear();
    const FileRead list = read_file_limited(list_path(), kPresetListReadLimit);
    if (!list) {
        // No list yet is the ordinary first start.
        if (list.error != FileError::NotFound) {
            list_problem_ = read_failure_message(list_path(), list.error);
            problems.push_back(list_problem_);
        }
        return problems;
    }
    const std::string_view text(reinterpret_cast<const char*>(list.bytes.data()), list.bytes.size());
    for (std::string_view line : lines_of(text)) {
        if (line.empty()) continue;
        const std::string path(line);
        lines_.push_back(path);
        line_set_.insert(path);
        const FileRead preset = read_file_limited(path, kPresetFileReadLimit);
        if (!preset) {
            // A preset deleted by hand is left out quietly.
            if (preset.error != FileError::NotFound) {
                problems.push_back(read_failure_message(path, preset.error));
                unreadable_.push_back(path);
            }
            continue;
        }
        const std::string_view body(reinterpret_cast<const char*>(preset.bytes.data()), preset.bytes.size());
        const auto first = lines_of(body);
        if (first.empty() || first.front().empty()) continue;
        std::string name(first.front());
        if (name.size() > kMaxPresetNameLength) {
            // Such a file cannot be loaded (its name line is refused), so it
            // is not offered: one message, and its line goes when a Remove
            // next rewrites the list.
            problems.push_back("cannot list " + path + ": name line longer than " +
                               std::to_string(kMaxPresetNameLength) + " characters");
            continue;
        }
        const PresetFile decoded = decode_preset_file(preset.bytes);
        entries_.push_back({name, path, decoded.ok() ? std::optional<PresetRecord>(decoded.record) : std::nullopt});
    }
    return problems;
}

std::optional<size_t> OfflineLibrary::find(std::string_view name) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (same_preset_name(entries_[i].name, name)) return i;
    return std::nullopt;
}

std::string OfflineLibrary::list_text() const
{
    std::string out;
    for (const auto& l : lines_) out += l + "\n";
    return out;
}

std::string OfflineLibrary::locked_error()
{
    if (list_problem_.empty()) return {};
    // The user may have repaired or moved the file meanwhile.
    load();
    if (list_problem_.empty()) return {};
    return "The list of offline presets could not be read, so it is not changed:\n" + list_problem_ +
           "\nMove the file aside or repair it, then try again.";
}

OfflineLibrary::Change OfflineLibrary::store(std::string_view name, std::span<const uint8_t> bytes,
                                             std::optional<size_t> replacing)
{
    Change c;
    c.error = locked_error();
    if (!c.error.empty()) return c;
    const std::string path = path_for(name);
    const bool existed = file_exists(path);
    const WriteResult written = write_file_atomically(path, bytes, deferred_ ? Sync::Later : Sync::Now);
    if (!written) {
        c.error = written.message();
        return c;
    }
    if (!existed) created_.push_back(path);
    const PresetFile decoded = decode_preset_file(bytes);
    return enter(name, replacing, decoded.ok() ? std::optional<PresetRecord>(decoded.record) : std::nullopt);
}

OfflineLibrary::Change OfflineLibrary::adopt(std::string_view name, std::optional<size_t> replacing)
{
    if (std::string error = locked_error(); !error.empty()) {
        Change c;
        c.error = std::move(error);
        return c;
    }
    const PresetFile file = read_preset_file(path_for(name));
    return enter(name, replacing, file.ok() ? std::optional<PresetRecord>(file.record) : std::nullopt);
}

bool OfflineLibrary::file_free(std::string_view name) const
{
    const std::string path = path_for(name);
    return !line_set_.count(path) && !file_exists(path);
}

std::string OfflineLibrary::write_list()
{
    const std::string text = list_text();
    const WriteResult list = write_file_atomically(
        list_path(), std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (!list) return "The list of offline presets could not be updated:\n" + list.message();
    list_changed_ = false;
    return {};
}

void OfflineLibrary::delete_file(const std::string& path, std::string& warning, const char* what)
{
    int error = 0;
    if (remove_file(path, &error)) return;
    if (!warning.empty()) warning += "\n";
    warning += std::string(what) + " could not be deleted:\ncannot delete " + path + ": " + std::strerror(error);
}

void OfflineLibrary::defer_writes() { deferred_ = true; }

std::string OfflineLibrary::write_deferred(std::string* warning)
{
    if (!list_changed_) return {};
    // The preset files the list will name are on disk before it names them.
    if (!sync_files(folder_)) return "The new preset files could not be saved to disk in " + folder_ + ".";
    if (std::string error = write_list(); !error.empty()) return error;
    std::string w;
    for (const std::string& path : doomed_)
        if (!line_set_.count(path)) delete_file(path, w, "The preset file");
    doomed_.clear();
    if (warning) *warning = w;
    return {};
}

OfflineLibrary::Change OfflineLibrary::enter(std::string_view name, std::optional<size_t> replacing,
                                             std::optional<PresetRecord> record)
{
    Change c;
    c.ok = true;
    const std::string path = path_for(name);
    std::string old_path;
    if (replacing && *replacing < entries_.size()) {
        old_path = entries_[*replacing].path;
        entries_.erase(entries_.begin() + std::ptrdiff_t(*replacing));
        std::erase(lines_, old_path);
        line_set_.erase(old_path);
    }
    // Any other item of the same file now shows the new content under the
    // new name: one item per file.
    if (line_set_.count(path)) {
        std::erase_if(entries_, [&](const OfflineEntry& e) { return e.path == path; });
        std::erase(lines_, path);
    }
    entries_.push_back({std::string(name), path, record});
    lines_.push_back(path);
    line_set_.insert(path);
    list_changed_ = true;

    // The old preset goes only once its replacement is listed.
    const bool delete_old = !old_path.empty() && old_path != path && owns_file(old_path);
    if (deferred_) {
        if (delete_old) doomed_.push_back(old_path);
        return c;
    }
    if (std::string error = write_list(); !error.empty()) c.warning = error;
    if (delete_old) delete_file(old_path, c.warning, "The replaced preset file");
    return c;
}

OfflineLibrary::Change OfflineLibrary::remove(size_t index)
{
    Change c;
    c.error = locked_error();
    if (!c.error.empty()) return c;
    if (index >= entries_.size()) {
        c.error = "No such preset in the list.";
        return c;
    }
    const std::string path = entries_[index].path;
    // Another item may show the same file (a list edited by hand): then the
    // file and its line stay for that item.
    bool still_listed = false;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (i != index && entries_[i].path == path) still_listed = true;
    // The list is written from the remaining items: a line whose file is
    // gone, or could not be used, goes with it. Only a file that is there but
    // could not be read (a FIFO, too large, no permission) keeps its line.
    std::vector<std::string> kept;
    for (const std::string& line : lines_) {
        bool keep = std::find(unreadable_.begin(), unreadable_.end(), line) != unreadable_.end();
        for (size_t i = 0; i < entries_.size() && !keep; ++i) keep = i != index && entries_[i].path == line;
        if (keep) kept.push_back(line);
    }
    std::swap(lines_, kept);
    if (!deferred_) {
        if (std::string error = write_list(); !error.empty()) {
            std::swap(lines_, kept);
            c.error = error;
            return c;
        }
    }
    c.ok = true;
    list_changed_ = deferred_;
    line_set_ = std::unordered_set<std::string>(lines_.begin(), lines_.end());
    entries_.erase(entries_.begin() + std::ptrdiff_t(index));
    if (!still_listed && owns_file(path)) {
        if (deferred_) doomed_.push_back(path);
        else delete_file(path, c.warning, "The preset file");
    }
    return c;
}

}  // namespace kv
