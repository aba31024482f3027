#pragma once
// The library's one transaction. Every change to the library (the preset
// list "presets.lst", the ".lop" files, "library.json", the setlists) is made
// by LibraryStore::change, by the window and the command line alike:
//
//     LibraryStore store(folder);
//     const LibraryResult r = store.change([&](Library& lib) {
//         if (!lib.meta.add_tags(name, tags)) lib.refuse("...");
//     });
//     if (!r.ok()) report(r.message);
//
// change() takes the presets folder's lock (exclusive; the lock file
// ".korvane.lock" in the folder, platform/FolderLock.h), reads the list, the
// preset files it names and library.json from disk as they are NOW, runs the
// edit on them, then writes what the edit changed and lets the lock go:
//   - new preset files first (each written beside its target and renamed,
//     synced once for the whole change), then the list once, then
//     library.json, then the setlists the edit saved, then the deletion of
//     the files of removed or replaced presets;
//   - nothing is ever written from a copy loaded earlier, so two programs
//     changing the library at once each keep the other's work;
//   - an edit that calls lib.refuse(reason) writes nothing (the result is
//     LibraryError::Refused with the reason); lib.fail(reason) the same with
//     WriteFailed (the preset files it wrote are taken back);
//   - a write that fails is reported (WriteFailed) and never as success;
//     a kill at any moment leaves every listed preset intact (new preset
//     files not yet listed are left unlisted; import never writes over such a
//     file: it gives the new preset another name).
// read() takes the lock shared and gives a consistent view: never half a
// change.
//
// Before the edit runs: a list that cannot be read refuses the change
// (ListUnreadable); a damaged library.json is set aside (as LibraryMeta::load
// does) and the change is refused with MetaDamaged, saying where it went
// (run it again to start a fresh file); a library.json that cannot be read or
// is of a newer version refuses changes to tags, notes and favourites only
// (MetaReadOnly), when the edit touched them.
//
// The lock is not re-entrant: never call change() or read() from inside an
// edit. Edits are short; never ask the user anything inside one.
//
// Toolkit-free; errors are values.

#include "library/core/LibraryMeta.h"
#include "library/core/OfflinePresets.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

constexpr const char* kLibraryLockFileName = ".korvane.lock";

enum class LibraryError {
    NoError,
    NoFolder,         // there is no presets folder (no home folder) or it cannot be created
    Lock,             // the lock could not be taken
    ListUnreadable,   // presets.lst is there but cannot be read: nothing is changed
    MetaDamaged,      // library.json was damaged: set aside, nothing changed
    MetaReadOnly,     // library.json cannot be read or is newer: tags and notes not changed
    Refused,          // the edit refused (bad input): nothing written
    WriteFailed,      // a file could not be written: the change is not (all) made
};

struct LibraryResult {
    LibraryError error = LibraryError::NoError;
    std::string message;                 // why not, for the user; empty when ok
    std::vector<std::string> notices;    // said while reading (files left out, library.json set aside, ...)
    std::string warning;                 // done, but: an old file could not be deleted
    bool ok() const { return error == LibraryError::NoError; }
    // The exit status class for the command line: bad input (Refused,
    // MetaDamaged, ListUnreadable, MetaReadOnly) or a failure.
    bool bad_input() const;
};

// What an edit sees and changes: the library as it is on disk now.
class Library {
public:
    OfflineLibrary presets;   // the list and its preset files
    LibraryMeta meta;         // tags, notes, favourites

    const std::string& folder() const { return folder_; }
    // Setlists as they are on disk now.
    SetlistRead setlist(std::string_view name) const { return read_setlist(folder_, name); }
    std::vector<Setlist> setlists(std::vector<std::string>* problems = nullptr) const
    {
        return list_setlists(folder_, problems);
    }
    // Saved with the change (after the list and library.json).
    void save_setlist(Setlist setlist) { setlists_to_write_.push_back(std::move(setlist)); }
    // Nothing is written; change() returns Refused with this reason.
    void refuse(std::string reason) { refusal_ = std::move(reason); refused_ = LibraryError::Refused; }
    // Nothing is written; change() returns WriteFailed with this reason (a
    // file the edit wrote could not be written: the change is all or nothing).
    void fail(std::string reason) { refusal_ = std::move(reason); refused_ = LibraryError::WriteFailed; }
    bool refused() const { return refused_ != LibraryError::NoError; }

private:
    friend class LibraryStore;
    explicit Library(const std::string& folder) : presets(folder), meta(folder), folder_(folder) {}
    std::string folder_;
    std::vector<Setlist> setlists_to_write_;
    std::string refusal_;
    LibraryError refused_ = LibraryError::NoError;
};

class LibraryStore {
public:
    // folder: the presets folder, ending with "/". It is created when missing.
    explicit LibraryStore(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    std::string lock_path() const { return folder_ + kLibraryLockFileName; }

    // The one way to change the library (see the contract above).
    LibraryResult change(const std::function<void(Library&)>& edit);
    // A consistent look at the library, under the shared lock.
    LibraryResult read(const std::function<void(const Library&)>& look) const;

    // Runs after every change that wrote something (the window refreshes).
    std::function<void()> on_changed;

private:
    std::string folder_;
};

}  // namespace kv
