#pragma once
// What the library knows about its presets besides their bytes: tags, notes,
// a favourite mark and the date a preset was added. It lives in one file
// beside the presets, "library.json" in the presets folder, so that the
// ".lop" files and "presets.lst" stay exactly as other programs read them.
//
//   {"format": "korvane-library", "version": 1,
//    "presets": {"Big Chorus": {"tags": ["live"], "notes": "...",
//                               "favourite": true, "added": "2026-12-07 10:48:05"}}}
//
// Entries are keyed by the preset's name as the list shows it, letters
// compared without regard to case. The file is written beside its target and
// renamed into place. A file that cannot be understood is never overwritten
// nor silently forgotten: load() moves it aside to "library.damaged-N.json"
// and says so; the library then starts without metadata.
//
// Setlists: a setlist is a named, ordered list of library presets, one small
// JSON file each in the presets folder's "setlists/" subfolder:
//   {"format": "korvane-setlist", "version": 1, "name": "Friday",
//    "presets": ["Big Chorus", "Slow Phase"]}
//
// Toolkit-free; errors are values.

#include "platform/Platform.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

constexpr const char* kLibraryMetaFileName = "library.json";
constexpr const char* kSetlistFolder = "setlists";
constexpr size_t kLibraryMetaReadLimit = 256u << 20;   // 100,000 presets with long notes
constexpr size_t kSetlistReadLimit = 4u << 20;
constexpr size_t kMaxTagLength = 40;
constexpr size_t kMaxNoteLength = 4000;

struct PresetMeta {
    std::vector<std::string> tags;   // sorted, no duplicates (letter case ignored)
    std::string notes;
    bool favourite = false;
    std::string added;               // "YYYY-MM-DD HH:MM:SS", empty when not known
    bool empty() const { return tags.empty() && notes.empty() && !favourite && added.empty(); }
};

// "2026-12-07 10:48:05".
std::string meta_date(const LocalTime& t);

// A tag as it is kept: blanks around it removed, control characters and
// commas refused (empty result), at most kMaxTagLength characters.
std::string clean_tag(std::string_view tag);

class LibraryMeta {
public:
    // folder: the presets folder, ending with "/".
    explicit LibraryMeta(std::string folder = {}) : folder_(std::move(folder)) {}

    std::string path() const { return folder_ + kLibraryMetaFileName; }

    struct Loaded {
        bool ok = true;            // false: the file was damaged (see message) or unreadable
        std::string message;       // what the user is told; empty when all is well
        std::string kept_aside;    // where a damaged file went
    };
    // Reads the file (no file: an empty library, ok). A damaged file is moved
    // aside, reported, and the metadata starts empty. A file that cannot be
    // read (permission, not a regular file, too large) is left where it is and
    // saving is refused until it loads, so it is never replaced.
    Loaded load();

    // Writes the file atomically; an error text, or empty when written.
    std::string save() const;

    // The entry of a name (nothing when the preset has no metadata).
    const PresetMeta* find(std::string_view name) const;
    // The entry of a name, created when missing.
    PresetMeta& at(std::string_view name);
    // Forgets a name (the preset was removed); renames keep their metadata.
    void erase(std::string_view name);
    void rename(std::string_view from, std::string_view to);

    // Adds tags (cleaned; empty ones refused: false); removes tags.
    bool add_tags(std::string_view name, const std::vector<std::string>& tags);
    void remove_tags(std::string_view name, const std::vector<std::string>& tags);
    void set_notes(std::string_view name, std::string_view notes);
    void set_favourite(std::string_view name, bool on);

    size_t size() const { return entries_.size(); }
    bool locked() const { return locked_; }

private:
    static std::string key(std::string_view name);
    std::string folder_;
    bool locked_ = false;
    // lower-cased name -> (name as given, metadata)
    std::map<std::string, std::pair<std::string, PresetMeta>> entries_;
};

// --- setlists ---

struct Setlist {
    std::string name;
    std::vector<std::string> presets;   // library names, in order
};

// "<presets folder>/setlists/".
std::string setlist_folder(const std::string& presets_folder);
// The setlists in the folder, by name (files that do not load are skipped and
// named in `problems`).
std::vector<Setlist> list_setlists(const std::string& presets_folder, std::vector<std::string>* problems = nullptr);
struct SetlistRead {
    std::optional<Setlist> setlist;
    std::string error;   // "no setlist called ...", "... is not a setlist: ..."
};
SetlistRead read_setlist(const std::string& presets_folder, std::string_view name);
// Writes setlists/<name>.json (folder created); an error text or empty. The
// name follows the preset names' rules.
std::string write_setlist(const std::string& presets_folder, const Setlist& setlist);

}  // namespace kv
