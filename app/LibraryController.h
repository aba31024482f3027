#pragma once
// The Library page's side of the main window: fills the page from the
// offline library and its metadata, and carries out what the page reports:
// a picked row is loaded and previewed exactly as a pick in the offline
// drop-down (the drop-down's own path, with its unsaved-changes question);
// stars, tags and notes go into the metadata file; export and import of
// .tessivar.json files; setlists made and sent to the pedal; a row dragged
// onto a slot of the preset pages is written there. It also answers a slot
// dragged onto another slot ("Move here" / "Swap" / "Copy" / "Cancel").

#include "library/KV_LibraryPanel.h"
#include "library/core/LibraryMeta.h"
#include "library/core/LibraryStore.h"
#include "library/core/SharingFormat.h"
#include "preset/EditHistory.h"

#include <FL/Fl.H>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kv {

class Korvane;
class KV_LibraryPanel;
class FolderWatch;

// How long after the first change of a burst the folder is read again.
constexpr double kFolderSettle = 0.15;

class LibraryController {
public:
    LibraryController(Korvane& window, KV_LibraryPanel& page);
    ~LibraryController();
    LibraryController(const LibraryController&) = delete;
    LibraryController& operator=(const LibraryController&) = delete;

    // The page came into view: rows again from the offline list (which the
    // drop-down may have changed) and the metadata (read the first time).
    void opened();
    // What the page reported (on_action).
    void on_page(KV_LibraryPanel::Action action);
    // A slot of the preset pages was dragged onto another.
    void slot_dropped(int from, int to);
    // The presets of slots first to last (as read from the pedal) into a
    // .tessivar.json file in the presets folder.
    void export_slots(int first, int last);
    // The presets folder changed: the list, the metadata and the setlists
    // again, the picks kept by name. Done at once (tests call it directly).
    void folder_changed();
    // Times the folder was read again because it changed (for tests).
    int folder_refreshes() const { return folder_refreshes_; }

private:
    void watch_folder();
    static void watch_cb(FL_SOCKET fd, void* controller);
    static void settle_cb(void* controller);
    void refresh_rows();
    // The library transaction (app/LibraryEdits.h): `edit` runs on the
    // library as it is on disk now; afterwards the drop-down and the page's
    // metadata are what the folder holds. False when nothing was written,
    // said in a dialog after `failed`.
    bool change(const std::function<void(Library&)>& edit, const std::string& failed);
    void export_selected();
    // Writes the sharing file to `path`, or (empty) a new dated file in the presets folder.
    void write_export(const std::vector<SharedPreset>& presets, const std::vector<std::string>& skipped,
                      std::string path = {});
    // "Korvane_Export_<date>_<time>[-n].tessivar.json".
    static std::string export_file_name(int n = 1);
    void import_file();
    void save_setlist();
    void send_setlist();
    void write_entry_to_slot(size_t entry, int slot);
    void move_slot(int from, int to);
    // A slot written with `record`: the image and the slot's row.
    void show_written(int slot, const PresetRecord& record);
    // The slot a failed run stopped at, read again (or shown as unknown).
    void reread_failed_slot(int slot);

    Korvane& w_;
    KV_LibraryPanel& page_;
    LibraryMeta meta_;
    bool meta_loaded_ = false;
    // The editor's state right after the page's last pick.
    std::optional<EditState> last_pick_;
    std::unique_ptr<FolderWatch> watch_;
    bool refresh_pending_ = false;
    int folder_refreshes_ = 0;
};

} // namespace kv
