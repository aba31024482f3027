#include "app/LibraryController.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
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
#include "preset/AlgorithmLibrary.h"
#include "preset/RecordCheck.h"

#include <FL/Fl_Input.H>

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

} // namespace

LibraryController::LibraryController(Korvane& window, KV_LibraryPanel& page) : w_(window), page_(page) {}

void LibraryController::opened()
{
    if (!meta_loaded_) {
        meta_ = LibraryMeta(w_.session_.presets_folder);
        const LibraryMeta::Loaded l = meta_.load();
        meta_loaded_ = true;
        if (!l.message.empty()) {
            w_.status("  Library: tags, notes and favourites could not be read.", "  > " + l.message);
            dialogs().alert(l.message);
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

bool LibraryController::save_meta()
{
    const std::string error = meta_.save();
    if (error.empty()) return true;
    dialogs().alert("Tags, notes and favourites could not be saved:\n" + error);
    return false;
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
            const std::string& name = library.entries()[page_.picked_entry].name;
            const PresetMeta* m = meta_.find(name);
            meta_.set_favourite(name, !(m && m->favourite));
            if (save_meta()) {
                const std::vector<size_t> keep = page_.selected_entries();
                refresh_rows();
                if (keep.size() == 1) page_.select_entry(keep.front());
            }
        }
        break;
    case KV_LibraryPanel::Action::MetaSaved:
        if (page_.picked_entry < library.size()) {
            const std::string& name = library.entries()[page_.picked_entry].name;
            PresetMeta& m = meta_.at(name);
            m.tags.clear();
            meta_.add_tags(name, split_tags(page_.edited_tags));
            meta_.set_notes(name, page_.edited_notes);
            if (save_meta()) {
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
        const std::string error = write_setlist(w_.session_.presets_folder, Setlist{page_.setlist_name, page_.setlist_order});
        if (!error.empty()) dialogs().alert("The setlist could not be saved:\n" + error);
        else w_.status("  Setlist \"" + page_.setlist_name + "\": new order saved.");
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
    const LibraryImport r = import_into_library(file.presets, w_.preset_panel->library, meta_, meta_date(local_time_now()));
    if (!r.imported.empty()) save_meta();
    w_.preset_panel->refresh();
    refresh_rows();
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
    if (const std::string error = write_setlist(w_.session_.presets_folder, s); !error.empty()) {
        dialogs().alert("The setlist could not be saved:\n" + error);
        return;
    }
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
    for (size_t k = 0; k < r.done.size(); ++k) {
        set_image_record(w_.session_.image.data(), r.done[k], r.records[k]);
        w_.transport_panel->set_slot_name(r.done[k], r.records[k].title);
        w_.transport_panel->set_switches_from_flags(r.done[k], r.records[k].parameters.flags);
    }
    if (!r.ok() && r.outcome != ops::SlotRunResult::Outcome::Refused)
        dialogs().alert("Setlist " + quoted(list.name) + " stopped at Preset " + std::to_string(r.failed_slot + 1) +
                        ".\nWritten and verified: " + ops::slot_list_text(r.done) + "." +
                        (r.backup_path.empty() ? std::string()
                                               : "\nThe presets as they were are in " + r.backup_path +
                                                     ": Menu > Restore puts them back."));
    if (selected_changes && !r.done.empty()) w_.session_.read_selected_slot();
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
    if (r.ok()) {
        set_image_record(w_.session_.image.data(), slot, record);
        w_.transport_panel->set_slot_name(slot, record.title);
        w_.transport_panel->set_switches_from_flags(slot, record.parameters.flags);
        if (selected_changes) w_.session_.read_selected_slot();
    }
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
        r = ops::move_slot(*w_.session_.link, *w_.session_.reporter, from, to, ops::library_program_builder(programs()),
                           ops::auto_backup_folder(w_.session_.presets_folder), ops::OnBackupFailure::Ask);
        w_.transport_panel->activate();
        w_.unlock(locked);
    }
    for (size_t k = 0; k < r.done.size(); ++k) {
        set_image_record(w_.session_.image.data(), r.done[k], r.records[k]);
        w_.transport_panel->set_slot_name(r.done[k], r.records[k].title);
        w_.transport_panel->set_switches_from_flags(r.done[k], r.records[k].parameters.flags);
    }
    w_.transport_panel->edit_name = kept_name;
    if (!r.ok() && r.outcome != ops::SlotRunResult::Outcome::Refused && !r.done.empty())
        dialogs().alert("The move stopped at Preset " + std::to_string(r.failed_slot + 1) + ".\nRewritten and verified: " +
                        ops::slot_list_text(r.done) + "." +
                        (r.backup_path.empty() ? std::string()
                                               : "\nThe presets as they were are in " + r.backup_path +
                                                     ": Menu > Restore puts them back."));
    if (selected_changes && !r.done.empty()) w_.session_.read_selected_slot();
    w_.redraw();
}

} // namespace kv
