#pragma once
// Offline presets: presets kept as files on the computer, one ".lop" file
// each in the presets folder, listed in order by "presets.lst" in the same
// folder. The offline list panel shows them and the main window saves, adds
// and removes them through OfflineLibrary.
//
// A preset file is the preset's name (at most 38 characters), a newline
// (0x0A), the 35-byte parameter block and the 12-byte title: name + 48 bytes,
// no header or checksum. The name is what the list shows and the base of the
// file name; the title is what the pedal shows. "presets.lst" is text, one
// full path of a preset file per line.
//
// Names come from the user and from files other users share, and each one
// becomes a file name in the presets folder. Typed and file names are
// cleaned the same way ("@", "|", "\" and "/" become "-", "&" becomes "n"),
// and a name that would still leave the folder or cannot be a file name
// (empty, "." or "..", control characters, longer than 38) is refused.
//
// Nothing written here can lose what was there: each file is written beside
// its target and renamed into place (platform/AtomicFile.h), a replaced
// preset's file goes only once its replacement is written, and a failure
// leaves the list and the files as they were. Every file read goes through
// read_file_limited (platform/SafeFile.h). Toolkit-free; errors are values.

#include "preset/PresetRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kv {

constexpr size_t kMaxPresetNameLength = 38;
constexpr size_t kPresetFileOverhead = 1 + kPresetRecordSize;   // newline, parameters, title: 48
constexpr const char* kPresetFileExtension = ".lop";
constexpr const char* kPresetListFileName = "presets.lst";
// Limits for reading: a preset file is at most 86 bytes, a list line a path.
// The list must load with 100,000 entries of paths far longer than a home
// folder's (about 110 bytes a line under a typical one): 64 MiB holds
// 100,000 lines of 670 bytes.
constexpr size_t kPresetFileReadLimit = 4096;       // as kPresetFileLimit of platform/SafeFile.h
constexpr size_t kPresetListReadLimit = 64u << 20;

// --- names ---

// "@", "|", "\" and "/" become "-", "&" becomes "n".
std::string clean_preset_name(std::string_view name);

enum class NameProblem { NoProblem, Empty, DotName, TooLong, ControlCharacter, Separator };
// Checks a cleaned name: it must be usable as a file name in the folder.
NameProblem check_preset_name(std::string_view name);
// What the user is told about a refused name.
std::string name_problem_text(NameProblem problem);

// The same name for the list, letters compared without regard to case.
bool same_preset_name(std::string_view a, std::string_view b);

// --- the preset file ---

std::vector<uint8_t> encode_preset_file(std::string_view name, const PresetRecord& record);

enum class PresetFileProblem { NoProblem, NoNameLine, NameTooLong, EmptyName, TooShort, Unreadable };

struct PresetFile {
    PresetFileProblem problem = PresetFileProblem::NoProblem;
    std::string name;          // the name line as the file has it (not cleaned)
    PresetRecord record{};
    std::string read_error;    // Unreadable: "cannot read <path>: <reason>"
    bool ok() const { return problem == PresetFileProblem::NoProblem; }
};

// A file shorter than its name line plus 47 bytes, or whose name line is
// missing, empty or longer than 38 characters, is refused. Bytes after the
// title are ignored.
PresetFile decode_preset_file(std::span<const uint8_t> bytes);
// Reads and decodes a file through the limited reader.
PresetFile read_preset_file(const std::string& path);
// "The preset file <path> ..." for the user; names the problem.
std::string preset_file_problem_text(const PresetFile& file, const std::string& path);

// --- the list ---

struct OfflineEntry {
    std::string name;   // what the list shows
    std::string path;   // the preset file
    // The record read with the list (load) or stored (store); nothing when
    // the file's bytes could not be decoded.
    std::optional<PresetRecord> record;
};

class OfflineLibrary {
public:
    // folder: the presets folder, ending with "/".
    explicit OfflineLibrary(std::string folder = {}) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    std::string list_path() const { return folder_ + kPresetListFileName; }
    // folder + name + ".lop".
    std::string path_for(std::string_view name) const;

    const std::vector<OfflineEntry>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }

    // Reads "presets.lst". A file it names that is missing, or whose name line
    // is empty, is left out (its line goes when a Remove next rewrites the list).
    // Returns "cannot read ..." for each file refused for another reason (a
    // FIFO, a device, too large) and "cannot list ..." for one whose name line
    // is longer than 38 characters, which could not be loaded.
    //
    // A list that exists but cannot be read (too large, not a regular file,
    // no permission) leaves the library empty and locked: store, adopt and
    // remove then refuse (nothing is written) until the list loads, so that
    // the next save can never replace a list of thousands with one line; each
    // of them reads the list again first (a repaired list unlocks, and its
    // entries are then the library's). No list at all is the ordinary first
    // start and locks nothing.
    std::vector<std::string> load();
    // Why the list could not be read (empty when it loaded or was not there).
    const std::string& list_problem() const { return list_problem_; }

    // The first entry with the same name (letter case ignored).
    std::optional<size_t> find(std::string_view name) const;

    struct Change {
        bool ok = false;            // the file was written (store) / the entry removed (remove)
        std::string error;          // why not, when !ok
        std::string warning;        // it was done, but: the list or an old file could not be updated
    };
    // Writes the preset file of `name` with `bytes` (an encoded preset file),
    // then takes out the entry `replacing` (deleting its file when that is
    // another file), adds `name` as the last entry and rewrites the list.
    // When the file cannot be written nothing changes.
    Change store(std::string_view name, std::span<const uint8_t> bytes, std::optional<size_t> replacing = {});
    // The same for a file already in the folder under the name's file name
    // (nothing is written, the file is only listed).
    Change adopt(std::string_view name, std::optional<size_t> replacing = {});
    // Rewrites the list from the remaining entries, then deletes its file when it is
    // a preset file of this folder. When the list cannot be written nothing
    // changes.
    Change remove(size_t index);

    // Inside a library transaction (library/core/LibraryStore.h): from here
    // on, store() writes preset files without syncing each one, and the list
    // and the deletion of replaced or removed files wait for
    // write_deferred(), which syncs the written files once, writes the list
    // once and then deletes. Nothing is written when write_deferred() is never
    // called (the change was refused) but the new preset files, which no
    // list names.
    void defer_writes();
    // Error text, or empty when the list (if changed) is written; `warning`
    // gets files that could not be deleted.
    std::string write_deferred(std::string* warning = nullptr);
    bool list_changed() const { return list_changed_; }
    // Preset files store() created (they were not there before).
    const std::vector<std::string>& created_files() const { return created_; }
    // True when no entry uses this file and it is not in the folder: a name
    // whose file can be written without replacing anything.
    bool file_free(std::string_view name) const;

private:
    std::string list_text() const;
    // True for folder + a valid name + ".lop": the only files removing or
    // replacing an entry deletes. Any other file a list names is left alone.
    bool owns_file(const std::string& path) const;
    // Lists the file of `name` (already written), replacing an entry.
    Change enter(std::string_view name, std::optional<size_t> replacing, std::optional<PresetRecord> record);
    std::string write_list();
    void delete_file(const std::string& path, std::string& warning, const char* what);

    // The refusal while the list cannot be read; empty when unlocked. Reads
    // the list again first, so a list repaired meanwhile unlocks.
    std::string locked_error();

    std::string folder_;
    std::string list_problem_;
    std::vector<OfflineEntry> entries_;
    // Every line of the list, those whose file could not be read included.
    std::vector<std::string> lines_;
    // Lines whose file is there but could not be read when the list loaded.
    std::vector<std::string> unreadable_;
    // The same lines, for finding one among 100,000 at once.
    std::unordered_set<std::string> line_set_;
    bool deferred_ = false;
    bool list_changed_ = false;
    std::vector<std::string> doomed_;    // files to delete once the list is written
    std::vector<std::string> created_;
};

}  // namespace kv
