#include "app/LibraryController.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "app/LibraryEdits.h"
#include "app/Resources.h"
#include "app/WindowReporter.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/LibrarySearch.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "link/ui/KV_UsbController.h"
#include "ops/AutoBackup.h"
#include "ops/SlotRun.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "platform/FolderWatch.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/RecordCheck.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>

#include <algorithm>
#include <cstdio>

namespace kv {

namespace {

const AlgorithmLibrary& programs()
{
    static const AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    return library;
}

std::vector<std::string> split_tags(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= text.size()) {
        const size_t j = std::min(text.find(',', i), text.size());
        const std::string t = clean_tag(text.substr(i, j - i));
        if (!t.empty()) out.push_back(t);
        i = j + 1;
    }
    return out;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// A tag among `tags`, letters compared without regard to case.
bool has_tag(const std::vector<std::string>& tags, const std::string& tag)
{
    return std::any_of(tags.begin(), tags.end(), [&](const std::string& t) { return same_preset_name(t, tag); });
}

// The row of a slot whose content a failed store left unknown.
constexpr const char* kUnknownSlotTitle = "< unknown >";

// The files a failed move without a backup saved its displaced presets in.
std::string kept_text(const std::vector<std::string>& kept)
{
    std::string text;
    for (const std::string& file : kept)
        text += "\nA preset the move displaced is kept in " + file +
                ": \"Add preset from file(s)\" of the offline prompt brings it back.";
    return text;
}

} // namespace

LibraryController::LibraryController(Korvane& window, KV_LibraryPanel& page) : w_(window), page_(page)
{
    watch_folder();
}

LibraryController::~LibraryController()
{
    if (watch_ && watch_->ok()) Fl::remove_fd(watch_->fd());
    Fl::remove_timeout(settle_cb, this);
}

void LibraryController::watch_folder()
{
    if (w_.session_.presets_folder.empty()) return;
    watch_ = std::make_unique<FolderWatch>(w_.session_.presets_folder, std::vector<std::string>{kSetlistFolder});
    if (!watch_->ok()) {
        // The page still works; it shows the folder as last read.
        std::printf("Library: %s; changes by other programs show after a restart.\n", watch_->error().c_str());
        return;
    }
    Fl::add_fd(watch_->fd(), FL_READ, watch_cb, this);
}

void LibraryController::watch_cb(FL_SOCKET, void* data)
{
    auto* c = static_cast<LibraryController*>(data);
    bool overflowed = false;
    bool ours = false;
    for (const std::string& name : c->watch_->changes(&overflowed)) {
        // The list, a preset file, the metadata, a setlist; not the safety
        // backups, exports or logs beside them.
        const bool preset_file = name.size() > 4 && name.compare(name.size() - 4, 4, kPresetFileExtension) == 0 &&
                                 name.find('/') == std::string::npos;
        if (name == kPresetListFileName || name == kLibraryMetaFileName || preset_file ||
            name.rfind(std::string(kSetlistFolder) + "/", 0) == 0 || name == kSetlistFolder)
            ours = true;
    }
    if ((ours || overflowed) && !c->refresh_pending_) {
        c->refresh_pending_ = true;
        Fl::add_timeout(kFolderSettle, settle_cb, c);
    }
}

void LibraryController::settle_cb(void* data)
{
    auto* c = static_cast<LibraryController*>(data);
    // Not under an exchange or a dialog that holds entries of the list:
    // tried again a moment later.
    if (c->w_.session_.busy > 0 || Fl::modal() || Fl::grab()) {
        Fl::repeat_timeout(kFolderSettle, settle_cb, c);
        return;
    }
    c->refresh_pending_ = false;
    c->folder_changed();
}

void LibraryController::folder_changed()
{
    ++folder_refreshes_;
    KV_PresetPanel& panel = *w_.preset_panel;
    std::vector<std::string> page_picks;
    for (size_t e : page_.selected_entries())
        if (e < panel.library.size()) page_picks.push_back(panel.library.entries()[e].name);
    const std::optional<size_t> editing = page_.current_entry();
    const std::string editing_name =
        editing && *editing < panel.library.size() ? panel.library.entries()[*editing].name : std::string();

    const LibraryResult r = reload_library(w_.session_.presets_folder, panel, meta_loaded_ ? &meta_ : nullptr);
    if (!r.ok()) w_.status("  Library: the presets folder could not be read again.", "  > " + r.message);

    if (!meta_loaded_) return;   // the page reads everything when it first opens
    refresh_rows();
    // The same presets stay selected (entries may have moved) and the
    // tags and notes editor keeps what is typed in it.
    std::vector<size_t> again;
    for (const std::string& name : page_picks)
        if (const auto i = panel.library.find(name)) again.push_back(*i);
    page_.reselect(again, editing_name.empty() ? std::nullopt : panel.library.find(editing_name));
    std::vector<std::string> names;
    for (const Setlist& list : list_setlists(w_.session_.presets_folder)) names.push_back(list.name);
    page_.set_setlists(names);
    w_.redraw();
}

bool LibraryController::change(const std::function<void(Library&)>& edit, const std::string& failed)
{
    const LibraryResult r = change_library(w_.session_.presets_folder, *w_.preset_panel, edit, &meta_);
    meta_loaded_ = true;
    if (!r.warning.empty()) dialogs().alert(r.warning);
    if (r.ok()) return true;
    dialogs().alert(failed + "\n" + r.message);
    return false;
}

void LibraryController::opened()
{
    if (!meta_loaded_) {
        // The list and the metadata as they are now, under the folder's lock.
        const LibraryResult r = reload_library(w_.session_.presets_folder, *w_.preset_panel, &meta_);
        meta_loaded_ = true;
        if (!r.message.empty()) {
            w_.status("  Library: tags, notes and favourites could not be read.", "  > " + r.message);
            dialogs().alert(r.message);
        }
    }
    refresh_rows();
    std::vector<std::string> names;
    const std::vector<Setlist> lists = list_setlists(w_.session_.presets_folder);
    for (const Setlist& s : lists) names.push_back(s.name);
    page_.set_setlists(names);
    page_.show_setlist(lists.empty() ? std::vector<std::string>{} : lists.front().presets);
}

void LibraryController::refresh_rows()
{
    page_.set_rows(library_rows(w_.preset_panel->library, meta_));
}

void LibraryController::on_page(KV_LibraryPanel::Action action)
{
    const OfflineLibrary& library = w_.preset_panel->library;
    switch (action) {
    case KV_LibraryPanel::Action::Picked:
        // The drop-down's own pick: load, question, preview.
        if (page_.picked_entry < library.size()) {
            // Stepping on from a pick that was not edited since loses nothing.
            w_.session_.auditioning = last_pick_ && same_preset(w_.edit_state(), *last_pick_);
            w_.preset_panel->select(int(page_.picked_entry));
            w_.preset_panel->load_selected();
            w_.session_.auditioning = false;
            if (w_.preset_panel->selected() == int(page_.picked_entry) && w_.preset_panel->load_error.empty())
                last_pick_ = w_.edit_state();
        }
        break;
    case KV_LibraryPanel::Action::FavouriteToggled:
        if (page_.picked_entry < library.size()) {
            const std::string name = library.entries()[page_.picked_entry].name;
            const PresetMeta* shown = meta_.find(name);
            const bool on = !(shown && shown->favourite);
            if (change([&](Library& lib) { lib.meta.set_favourite(name, on); },
                       "Tags, notes and favourites could not be saved:")) {
                const std::vector<size_t> keep = page_.selected_entries();
                refresh_rows();
                if (keep.size() == 1) page_.select_entry(keep.front());
            }
        }
        break;
    case KV_LibraryPanel::Action::MetaSaved:
        if (page_.picked_entry < library.size()) {
            // Only what the user changed in the editor: tags someone else
            // added meanwhile stay, and notes left alone are not rewritten.
            const std::string name = library.entries()[page_.picked_entry].name;
            const std::vector<std::string> tags = split_tags(page_.edited_tags);
            std::vector<std::string> added, removed;
            for (const std::string& t : tags)
                if (!has_tag(page_.shown_tags, t)) added.push_back(t);
            for (const std::string& t : page_.shown_tags)
                if (!has_tag(tags, t)) removed.push_back(t);
            const std::string notes = page_.edited_notes;
            const bool notes_changed = notes != page_.shown_notes;
            if (change(
                    [&](Library& lib) {
                        if (!added.empty() && !lib.meta.add_tags(name, added))
                            return lib.refuse("a tag is at most " + std::to_string(kMaxTagLength) +
                                              " characters, without commas or line breaks");
                        lib.meta.remove_tags(name, removed);
                        if (notes_changed && !lib.meta.set_notes(name, notes))
                            return lib.refuse("notes are at most " + std::to_string(kMaxNoteLength) + " characters");
                    },
                    "Tags and notes of " + quoted(name) + " could not be saved:")) {
                w_.status("  Library: tags and notes of " + quoted(name) + " saved.");
                refresh_rows();
                page_.select_entry(page_.picked_entry);
            }
        }
        break;
    case KV_LibraryPanel::Action::ExportPressed:
        export_selected();
        break;
    case KV_LibraryPanel::Action::ImportPressed:
        import_file();
        break;
    case KV_LibraryPanel::Action::SetlistSaved:
        save_setlist();
        break;
    case KV_LibraryPanel::Action::SetlistSend:
        send_setlist();
        break;
    case KV_LibraryPanel::Action::SetlistChosen: {
        const SetlistRead r = read_setlist(w_.session_.presets_folder, page_.setlist_name);
        page_.show_setlist(r.setlist ? r.setlist->presets : std::vector<std::string>{});
        if (!r.setlist) dialogs().alert(r.error);
        break;
    }
    case KV_LibraryPanel::Action::SetlistOrderSaved: {
        const Setlist list{page_.setlist_name, page_.setlist_order};
        if (change([&](Library& lib) { lib.save_setlist(list); }, "The setlist could not be saved:"))
            w_.status("  Setlist \"" + page_.setlist_name + "\": new order saved.");
        break;
    }
    case KV_LibraryPanel::Action::DroppedAt: {
        const int slot = w_.transport_panel->row_at(page_.drop_x, page_.drop_y);
        if (slot >= 0) write_entry_to_slot(page_.picked_entry, slot);
        break;
    }
    }
    w_.redraw();
}

void LibraryController::export_selected()
{
    const std::vector<size_t> entries = page_.selected_entries();
    if (entries.empty()) {
        dialogs().alert("Select the presets to export first (Ctrl or Shift and click for several).");
        return;
    }
    // Where it goes is the user's choice: the dated name in the presets
    // folder is only suggested.
    const std::string path = dialogs().choose_save_file("Export presets", "Tessivar presets\t*.tessivar.json",
                                                        chooser_folder(w_.session_.presets_folder),
                                                        export_file_name());
    if (path.empty()) return;
    std::vector<std::string> skipped;
    write_export(shared_presets_of(w_.preset_panel->library, meta_, entries, &skipped), skipped, path);
}

void LibraryController::export_slots(int first, int last)
{
    if (!w_.session_.online || !slot_valid(first) || !slot_valid(last) || last < first) return;
    std::vector<SharedPreset> presets;
    for (int slot = first; slot <= last; ++slot) {
        SharedPreset p;
        p.record = image_record(w_.session_.image.data(), slot);
        std::string title = title_text(p.record.title);
        while (!title.empty() && title.front() == ' ') title.erase(title.begin());
        p.name = clean_preset_name(title);
        if (check_preset_name(p.name) != NameProblem::NoProblem) p.name = "Preset " + std::to_string(slot + 1);
        presets.push_back(std::move(p));
    }
    write_export(presets, {});
}

std::string LibraryController::export_file_name(int n)
{
    const LocalTime t = local_time_now();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "Korvane_Export_%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : std::string()) + kSharingExtension;
}

void LibraryController::write_export(const std::vector<SharedPreset>& presets, const std::vector<std::string>& skipped,
                                     std::string path)
{
    // Without a chosen path: a new dated file in the presets folder (two
    // exports in one second keep both). A chosen one was asked about already.
    if (path.empty()) {
        path = w_.session_.presets_folder + export_file_name(1);
        for (int n = 2; file_exists(path) && n < 1000; ++n) path = w_.session_.presets_folder + export_file_name(n);
    }
    const std::string text = encode_sharing_file(presets);
    const WriteResult r = write_file_atomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (!r) {
        w_.status("  Export failed.", "  > " + r.message());
        dialogs().alert("The presets could not be exported:\n" + r.message());
        return;
    }
    w_.status("  Export of " + std::to_string(presets.size()) + " preset(s) successful.", "  > " + path);
    std::string text_shown = std::to_string(presets.size()) + " preset(s) exported to\n" + path;
    for (const std::string& s : skipped) text_shown += "\nLeft out: " + s;
    dialogs().message(text_shown);
}

void LibraryController::import_file()
{
    const std::vector<std::string> files =
        dialogs().choose_files("Import presets", "Tessivar presets\t*.tessivar.json",
                               chooser_folder(w_.session_.presets_folder), false);
    if (files.empty()) return;
    const SharingImport file = read_sharing_file(files.front());
    if (!file.ok) {
        dialogs().alert(files.front() + " cannot be imported: " + file.error + ".");
        return;
    }
    if (!meta_loaded_) opened();
    // Into the library as it is now, in one transaction.
    LibraryImport r;
    const bool written = change(
        [&](Library& lib) { r = import_into_library(file.presets, lib.presets, lib.meta, meta_date(local_time_now())); },
        "The presets could not be imported; nothing was added:");
    refresh_rows();
    if (!written) return;
    std::string text = std::to_string(r.imported.size()) + " preset(s) imported.";
    for (const auto& i : r.imported)
        if (i.name != i.wanted) text += "\n" + quoted(i.wanted) + " is called " + quoted(i.name) + ".";
    for (const std::string& why : file.refused) text += "\nRefused: " + why + ".";
    for (const std::string& e : r.errors) text += "\n" + e;
    w_.status("  Import: " + std::to_string(r.imported.size()) + " preset(s) added to the library.",
              "  > " + std::to_string(file.refused.size() + r.errors.size()) + " refused.");
    if (file.refused.empty() && r.errors.empty()) dialogs().message(text);
    else dialogs().alert(text);
}

void LibraryController::save_setlist()
{
    const std::vector<size_t> entries = page_.selected_entries();
    if (entries.empty()) {
        dialogs().alert("Select the presets of the setlist first (Ctrl or Shift and click for several).");
        return;
    }
    Setlist s{clean_preset_name(page_.setlist_name), {}};
    for (size_t e : entries) s.presets.push_back(w_.preset_panel->library.entries()[e].name);
    if (!change([&](Library& lib) { lib.save_setlist(s); }, "The setlist could not be saved:")) return;
    w_.status("  Setlist " + quoted(s.name) + " saved (" + std::to_string(s.presets.size()) + " presets).");
    opened();
}

void LibraryController::send_setlist()
{
    if (w_.session_.busy > 0) return;
    if (!w_.session_.online) {
        dialogs().alert("Connect the pedal and read its presets before sending a setlist.");
        return;
    }
    const SetlistRead read = read_setlist(w_.session_.presets_folder, page_.setlist_name);
    if (!read.setlist) {
        dialogs().alert(read.error);
        return;
    }
    const Setlist& list = *read.setlist;
    const int first = page_.first_slot;
    const int count = int(list.presets.size());
    if (count == 0 || !slot_valid(first) || !slot_valid(first + count - 1)) {
        dialogs().alert("Setlist " + quoted(list.name) + " has " + std::to_string(count) +
                        " preset(s): they must fit into slots 1 to 32 from the first slot.");
        return;
    }
    std::vector<PresetRecord> records;
    for (const std::string& name : list.presets) {
        const auto i = w_.preset_panel->library.find(name);
        if (!i || !w_.preset_panel->library.entries()[*i].record) {
            dialogs().alert(quoted(name) + " of setlist " + quoted(list.name) +
                            " is not in the offline library (or its file cannot be read). Nothing was sent.");
            return;
        }
        const PresetRecord& r = *w_.preset_panel->library.entries()[*i].record;
        if (const std::string problem = record_problem(r); !problem.empty()) {
            dialogs().alert(quoted(name) + ": " + problem + ". Nothing was sent.");
            return;
        }
        records.push_back(r);
    }
    if (!programs().usable()) {
        dialogs().alert("The algorithm library (" + data_path(AlgorithmLibrary::kFileName) +
                        ") could not be read: presets cannot be sent without it.");
        return;
    }
    const std::string question = "Send setlist " + quoted(list.name) + " to the pedal?\n\nPresets " +
                                 std::to_string(first + 1) + " to " + std::to_string(first + count) +
                                 " are overwritten (a safety backup of all presets is taken first).";
    if (dialogs().choice(question, "Cancel", "Send", nullptr) != 1) return;
    const int selected = w_.transport_panel->current_slot;
    const bool selected_changes = selected >= first && selected < first + count;
    if (selected_changes && !w_.discard_changes_ok()) return;
    ops::SlotRunResult r;
    {
        Korvane::Exchange exchange(w_);
        Korvane::WriteGuard writing(w_);
        const Korvane::Locked locked = w_.lock_main_controls();
        w_.transport_panel->deactivate();
        r = ops::write_slots(*w_.session_.link, *w_.session_.reporter, first, records, ops::library_program_builder(programs()),
                             ops::auto_backup_folder(w_.session_.presets_folder), ops::OnBackupFailure::Ask,
                             "Setlist " + quoted(list.name));
        w_.transport_panel->activate();
        w_.unlock(locked);
    }
    for (size_t k = 0; k < r.done.size(); ++k) show_written(r.done[k], r.records[k]);
    reread_failed_slot(r.failed_slot);
    if (!r.ok() && r.outcome != ops::SlotRunResult::Outcome::Refused)
        dialogs().alert("Setlist " + quoted(list.name) + " stopped at Preset " + std::to_string(r.failed_slot + 1) +
                        ".\nWritten and verified: " + ops::slot_list_text(r.done) + "." +
                        (r.backup_path.empty() ? std::string()
                                               : "\nThe presets as they were are in " + r.backup_path +
                                                     ": Menu > Restore puts them back."));
    if (selected_changes && (!r.done.empty() || r.failed_slot >= 0)) w_.session_.read_selected_slot();
}

void LibraryController::write_entry_to_slot(size_t entry, int slot)
{
    const OfflineLibrary& library = w_.preset_panel->library;
    if (w_.session_.busy > 0 || entry >= library.size() || !slot_valid(slot)) return;
    if (!w_.session_.online) {
        dialogs().alert("Connect the pedal and read its presets before writing a preset into a slot.");
        return;
    }
    const OfflineEntry& e = library.entries()[entry];
    if (!e.record) {
        dialogs().alert("The file of " + quoted(e.name) + " (" + e.path + ") cannot be read.");
        return;
    }
    if (const std::string problem = record_problem(*e.record); !problem.empty()) {
        dialogs().alert(quoted(e.name) + ": " + problem + ". Nothing was written.");
        return;
    }
    if (!programs().usable()) {
        dialogs().alert("The algorithm library (" + data_path(AlgorithmLibrary::kFileName) +
                        ") could not be read: presets cannot be written without it.");
        return;
    }
    const std::string question = "Write " + quoted(e.name) + " into Preset " + std::to_string(slot + 1) + " (\"" +
                                 title_text(w_.transport_panel->slot_name(slot)) + "\")?\n\nWhat Preset " +
                                 std::to_string(slot + 1) + " holds now is overwritten.";
    if (dialogs().choice(question, "Cancel", "Write", nullptr) != 1) return;
    const bool selected_changes = w_.transport_panel->current_slot == slot;
    if (selected_changes && !w_.discard_changes_ok()) return;
    const PresetRecord record = *e.record;
    ops::SlotRunResult r;
    {
        Korvane::Exchange exchange(w_);
        Korvane::WriteGuard writing(w_);
        const Korvane::Locked locked = w_.lock_main_controls();
        r = ops::write_slots(*w_.session_.link, *w_.session_.reporter, slot, {record}, ops::library_program_builder(programs()), "",
                             ops::OnBackupFailure::Ask, quoted(e.name) + " into Preset " + std::to_string(slot + 1));
        w_.unlock(locked);
    }
    if (r.ok()) show_written(slot, record);
    else reread_failed_slot(r.failed_slot);
    if (selected_changes && (r.ok() || r.failed_slot >= 0)) w_.session_.read_selected_slot();
}

void LibraryController::show_written(int slot, const PresetRecord& record)
{
    set_image_record(w_.session_.image.data(), slot, record);
    // The row shows the slot's new preset; the editor keeps the name of the
    // preset it holds (set_slot_name would give it the row's).
    const PresetTitle editing = w_.transport_panel->edit_name;
    w_.transport_panel->set_slot_name(slot, record.title);
    w_.transport_panel->set_switches_from_flags(slot, record.parameters.flags);
    w_.transport_panel->edit_name = editing;
}

void LibraryController::reread_failed_slot(int slot)
{
    // A store that failed may have left anything there (a spoiled header, half
    // a preset): the row shows what the pedal answers now, or that it is not known.
    if (!slot_valid(slot) || !w_.session_.online) return;
    std::optional<PresetRecord> now;
    {
        Korvane::Exchange exchange(w_);
        now = w_.session_.link->read_preset(slot);
    }
    if (now) {
        show_written(slot, *now);
        return;
    }
    const PresetTitle editing = w_.transport_panel->edit_name;
    w_.transport_panel->set_slot_name(slot, make_title(kUnknownSlotTitle));
    w_.transport_panel->edit_name = editing;
}

void LibraryController::slot_dropped(int from, int to)
{
    if (w_.session_.busy > 0 || !w_.session_.online || !slot_valid(from) || !slot_valid(to) || from == to) return;
    const std::string question = "Preset " + std::to_string(from + 1) + " (\"" +
                                 title_text(w_.transport_panel->slot_name(from)) + "\") dropped on Preset " +
                                 std::to_string(to + 1) + " (\"" + title_text(w_.transport_panel->slot_name(to)) +
                                 "\").\n\nMove here: the presets between shift by one slot.";
    const int answer = dialogs().choose(question, {"Cancel", "Copy", "Swap", "Move here"});
    switch (answer) {
    case 1:
    case 2:
        w_.session_.run_slot_action(answer == 1 ? KV_TransportPanel::SlotEvent::slot_copy
                                                : KV_TransportPanel::SlotEvent::slot_swap,
                                    {from, to}, true);
        break;
    case 3:
        move_slot(from, to);
        break;
    default:
        break;
    }
}

void LibraryController::move_slot(int from, int to)
{
    if (!programs().usable()) {
        dialogs().alert("The algorithm library (" + data_path(AlgorithmLibrary::kFileName) +
                        ") could not be read: presets cannot be moved without it.");
        return;
    }
    const int selected = w_.transport_panel->current_slot;
    const bool selected_changes = selected >= std::min(from, to) && selected <= std::max(from, to);
    if (selected_changes && !w_.discard_changes_ok()) return;
    const PresetTitle kept_name = w_.transport_panel->edit_name;
    ops::SlotRunResult r;
    {
        Korvane::Exchange exchange(w_);
        Korvane::WriteGuard writing(w_);
        const Korvane::Locked locked = w_.lock_main_controls();
        w_.transport_panel->deactivate();
        const std::string backups = ops::auto_backup_folder(w_.session_.presets_folder);
        r = ops::move_slot(*w_.session_.link, *w_.session_.reporter, from, to, ops::library_program_builder(programs()),
                           backups, ops::OnBackupFailure::Ask, backups);
        w_.transport_panel->activate();
        w_.unlock(locked);
    }
    for (size_t k = 0; k < r.done.size(); ++k) show_written(r.done[k], r.records[k]);
    reread_failed_slot(r.failed_slot);
    w_.transport_panel->edit_name = kept_name;
    if (!r.ok() && r.outcome != ops::SlotRunResult::Outcome::Refused && (!r.done.empty() || !r.kept.empty()))
        dialogs().alert("The move stopped at Preset " + std::to_string(r.failed_slot + 1) + ".\nRewritten and verified: " +
                        ops::slot_list_text(r.done) + "." +
                        (r.backup_path.empty() ? std::string()
                                               : "\nThe presets as they were are in " + r.backup_path +
                                                     ": Menu > Restore puts them back.") +
                        kept_text(r.kept));
    if (selected_changes && (!r.done.empty() || r.failed_slot >= 0)) w_.session_.read_selected_slot();
    w_.redraw();
}

} // namespace kv
