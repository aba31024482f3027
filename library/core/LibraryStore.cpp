#include "library/core/LibraryStore.h"

#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "platform/FolderLock.h"
#include "platform/Platform.h"

#include <cerrno>

namespace kv {

namespace {

// Reads the library as it is on disk now into `lib`; false (with the reason
// in `r`) when the change must not go on.
bool load(Library& lib, LibraryResult& r, bool for_change)
{
    for (std::string& p : lib.presets.load()) r.notices.push_back(std::move(p));
    if (!lib.presets.list_problem().empty()) {
        r.error = LibraryError::ListUnreadable;
        r.message = "The list of offline presets could not be read, so nothing is changed:\n" +
                    lib.presets.list_problem() + "\nMove the file aside or repair it, then try again.";
        return false;
    }
    const LibraryMeta::Loaded loaded = lib.meta.load();
    if (!loaded.message.empty() && !loaded.damaged) r.notices.push_back(loaded.message);
    if (loaded.damaged) {
        r.error = LibraryError::MetaDamaged;
        r.message = loaded.message + (for_change ? " Nothing was changed; run the command again to start a new library file." : "");
        return false;
    }
    return true;
}

}  // namespace

bool LibraryResult::bad_input() const
{
    switch (error) {
    case LibraryError::ListUnreadable:
    case LibraryError::MetaDamaged:
    case LibraryError::MetaReadOnly:
    case LibraryError::Refused: return true;
    default: return false;
    }
}

LibraryResult LibraryStore::change(const std::function<void(Library&)>& edit)
{
    LibraryResult r;
    // The presets folder is made when the library is first written.
    if (folder_.empty() || !make_folder_for_writing(folder_)) {
        r.error = LibraryError::NoFolder;
        r.message = folder_.empty() ? std::string("There is no presets folder (no home folder).")
                                    : "The presets folder " + folder_ + " could not be made.";
        return r;
    }
    const FolderLock lock = FolderLock::take(lock_path(), LockMode::Exclusive);
    if (!lock) {
        r.error = LibraryError::Lock;
        r.message = "The library could not be locked for a change, so nothing is changed:\n" + lock.message();
        return r;
    }
    Library lib(folder_);
    if (!load(lib, r, true)) return r;
    lib.presets.defer_writes();
    edit(lib);

    // The preset files the edit created and no list names: taken back when
    // nothing will list them.
    auto take_back = [&] {
        for (const std::string& path : lib.presets.created_files()) remove_file(path);
    };
    if (lib.refused()) {
        take_back();
        r.error = lib.refused_;
        r.message = lib.refusal_;
        return r;
    }
    if (lib.meta.changed() && (lib.meta.locked() || lib.meta.newer())) {
        take_back();
        r.error = LibraryError::MetaReadOnly;
        r.message = "Nothing was changed: " + lib.meta.save();
        return r;
    }
    const bool wrote = lib.presets.list_changed() || lib.meta.changed() || !lib.setlists_to_write_.empty();
    if (std::string error = lib.presets.write_deferred(&r.warning); !error.empty()) {
        take_back();
        r.error = LibraryError::WriteFailed;
        r.message = error;
        return r;
    }
    if (lib.meta.changed()) {
        if (std::string error = lib.meta.save(); !error.empty()) {
            r.error = LibraryError::WriteFailed;
            r.message = "The tags, notes and favourites could not be saved:\n" + error;
            return r;
        }
    }
    for (const Setlist& s : lib.setlists_to_write_) {
        if (std::string error = write_setlist(folder_, s); !error.empty()) {
            r.error = LibraryError::WriteFailed;
            r.message = error;
            return r;
        }
    }
    if (wrote && on_changed) on_changed();
    return r;
}

LibraryResult LibraryStore::read(const std::function<void(const Library&)>& look) const
{
    LibraryResult r;
    Library lib(folder_);
    FolderLock lock;
    if (!folder_.empty() && is_directory(folder_)) {
        lock = FolderLock::take(lock_path(), LockMode::Shared);
        // A folder this user may not write has no writer of ours either: it
        // is read without the lock.
        if (!lock && lock.error() == LockError::CannotLock) {
            r.error = LibraryError::Lock;
            r.message = lock.message();
            return r;
        }
    }
    // A damaged library.json is set aside and said; the list is still shown.
    if (!load(lib, r, false) && r.error == LibraryError::ListUnreadable) return r;
    look(lib);
    return r;
}

}  // namespace kv
