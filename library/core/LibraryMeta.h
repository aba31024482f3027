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
// Entries are keyed by the preset's name exactly as the list shows it; a
// name with no entry of its own finds the one entry whose name differs only
// in letter case (two entries that differ only in case are kept apart). A
// name that is not UTF-8 (a preset file shared from a system with another
// character set) is written with each byte that is not UTF-8, and each "\",
// as "\xNN", so it keeps its tags and notes; preset names never hold a "\".
//
// Newer versions: fields this version does not know, at the top and in each
// entry, are carried through unchanged when the file is rewritten, and
// "version" is the format's major version: a file of a newer major version
// is read as far as it is understood but never rewritten (save() refuses,
// saying why). The file is written beside its target and
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
constexpr int kLibraryMetaVersion = 1;
constexpr size_t kMaxTagLength = 40;      // characters (UTF-8 code points), not bytes
constexpr size_t kMaxNoteLength = 4000;   // characters

struct PresetMeta {
    std::vector<std::string> tags;   // sorted, no duplicates (letter case ignored)
    std::string notes;
    bool favourite = false;
    std::string added;               // "YYYY-MM-DD HH:MM:SS", empty when not known
    std::string unknown;             // fields a newer version wrote: a JSON object's text, or empty
    bool empty() const { return tags.empty() && notes.empty() && !favourite && added.empty() && unknown.empty(); }
};

// Characters in UTF-8 text (bytes that are not UTF-8 count one each).
size_t utf8_length(std::string_view text);
bool is_utf8(std::string_view text);

// What the user is told when a tag or a note is refused, or empty when it is
// accepted. The command line, the window and import all check with these:
// nothing is cut or dropped without a word.
//   tag: after blanks around it are removed, 1 to 40 characters, no comma,
//   no line break or other control character;
//   notes: at most 4000 characters.
std::string tag_problem(std::string_view tag);
std::string notes_problem(std::string_view notes);

// "2026-12-07 10:48:05".
std::string meta_date(const LocalTime& t);

// A tag as it is kept: blanks around it removed; empty when tag_problem()
// refuses it.
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
        bool damaged = false;      // the file could not be understood (and was moved aside)
    };
    // Reads the file (no file: an empty library, ok). A damaged file is moved
    // aside, reported, and the metadata starts empty. A file that cannot be
    // read (permission, not a regular file, too large) is left where it is and
    // saving is refused until it loads, so it is never replaced.
    Loaded load();

    // Writes the file atomically; an error text, or empty when written.
    // Refused while the file could not be read, or is of a newer version.
    std::string save() const;
    // The file is of a newer major version: read, never rewritten.
    bool newer() const { return newer_version_ > kLibraryMetaVersion; }
    // Something was changed since load() (the entry of at() counts as changed).
    bool changed() const { return changed_; }

    // The entry of a name (nothing when the preset has no metadata).
    const PresetMeta* find(std::string_view name) const;
    // The entry of a name, created when missing.
    PresetMeta& at(std::string_view name);
    // Forgets a name (the preset was removed); renames keep their metadata.
    void erase(std::string_view name);
    void rename(std::string_view from, std::string_view to);

    // Adds tags (cleaned); when one is refused (tag_problem) nothing is added:
    // false. Removes tags.
    bool add_tags(std::string_view name, const std::vector<std::string>& tags);
    void remove_tags(std::string_view name, const std::vector<std::string>& tags);
    // Notes over the limit are refused (false, nothing changed).
    bool set_notes(std::string_view name, std::string_view notes);
    void set_favourite(std::string_view name, bool on);

    size_t size() const { return entries_.size(); }
    bool locked() const { return locked_; }

private:
    // The entry of a name: the exact name, else the only one differing in case.
    std::map<std::string, PresetMeta>::iterator lookup(std::string_view name);
    std::map<std::string, PresetMeta>::const_iterator lookup(std::string_view name) const;
    void insert(const std::string& name, PresetMeta meta);
    void forget(std::map<std::string, PresetMeta>::iterator it);

    std::string folder_;
    bool locked_ = false;
    bool changed_ = false;
    int newer_version_ = 0;
    std::string unknown_;   // top-level fields a newer version wrote (JSON object text)
    std::map<std::string, PresetMeta> entries_;        // exact name -> metadata
    std::multimap<std::string, std::string> folded_;   // lower-cased name -> exact name
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
