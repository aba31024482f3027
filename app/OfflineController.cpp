#include "app/OfflineController.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "app/LibraryEdits.h"
#include "app/KV_TextBoard.h"
#include "app/WindowReporter.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TransportPanel.h"
#include "library/core/OfflinePresets.h"
#include "link/ui/KV_UsbController.h"
#include "ops/Transfers.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "widgets/TextInput.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kv {

void OfflineController::on_preset_panel(KV_PresetPanel::Action action)
{
    switch (action) {
    case KV_PresetPanel::Action::AddPressed:
        open_preset_prompt();
        break;
    case KV_PresetPanel::Action::RemovePressed:
        remove_selected_preset();
        break;
    case KV_PresetPanel::Action::Picked:
        if (!w_.preset_panel->load_error.empty()) {
            // A damaged or vanished file: nothing is loaded or sent.
            dialogs().alert(w_.preset_panel->load_error);
            break;
        }
        preview_picked_preset();
        break;
    }
    w_.redraw();
}

void OfflineController::on_preset_prompt(KV_PresetPrompt::Action action)
{
    switch (action) {
    case KV_PresetPrompt::Action::Save:
        save_typed_preset();
        break;
    case KV_PresetPrompt::Action::SaveUntyped:
        dialogs().alert("Please type in the preset name in the provided space.");
        break;
    case KV_PresetPrompt::Action::AddFiles:
        add_preset_files();
        break;
    case KV_PresetPrompt::Action::Tips:
        dialogs().message(Korvane::offline_tips_text());
        break;
    case KV_PresetPrompt::Action::Cancel:
        preview_added_preset();
        close_preset_prompt();
        break;
    }
    w_.redraw();
}

void OfflineController::open_preset_prompt()
{
    w_.end_compare();
    w_.dashboard->deactivate();
    w_.preset_panel->deactivate();
    w_.preset_prompt->open();
    w_.place_compare();
}

void OfflineController::close_preset_prompt()
{
    w_.preset_prompt->hide();
    w_.preset_panel->activate();
    w_.dashboard->activate();
    w_.preset_panel->show_count();
    w_.place_compare();
    w_.redraw();
}

bool OfflineController::confirm_replace(const std::string& name, bool& replace)
{
    // Asked about the list as it is now (another program may have changed it).
    reload_library(w_.session_.presets_folder, *w_.preset_panel);
    replace = w_.preset_panel->library.find(name).has_value();
    if (!replace) return true;
    return dialogs().choice("A preset with the same name already exists, continue to replace?", "Cancel",
                            "Yes just replace it", nullptr) == 1;
}

OfflineLibrary::Change OfflineController::store_preset(const std::string& name, bool replace,
                                                       const std::function<OfflineLibrary::Change(OfflineLibrary&,
                                                                                                  std::optional<size_t>)>& write)
{
    OfflineLibrary::Change c;
    const LibraryResult r = change_library(w_.session_.presets_folder, *w_.preset_panel, [&](Library& lib) {
        // Found again in the list as it is now; a preset of that name that
        // appeared after the question is not replaced unasked.
        const std::optional<size_t> match = lib.presets.find(name);
        if (match && !replace) {
            c.error = "\"" + name + "\" was added by another program meanwhile.";
            return lib.refuse(c.error);
        }
        c = write(lib.presets, match);
        if (!c.ok) lib.fail(c.error);
    });
    if (!r.ok()) {
        c.ok = false;
        if (c.error.empty()) c.error = r.message;
    }
    if (!r.warning.empty()) c.warning += (c.warning.empty() ? "" : "\n") + r.warning;
    return c;
}

void OfflineController::save_typed_preset()
{
    const std::string typed = w_.preset_prompt->name_input->value();
    const std::string name = clean_preset_name(typed);
    if (name != typed) w_.preset_prompt->name_input->value(name.c_str());
    if (const NameProblem p = check_preset_name(name); p != NameProblem::NoProblem) {
        dialogs().alert(name_problem_text(p));
        return;   // the prompt stays open for another name
    }
    bool replace = false;
    if (!confirm_replace(name, replace)) return;

    const PresetRecord record{w_.dashboard->params, w_.transport_panel->edit_name};
    const OfflineLibrary::Change c =
        store_preset(name, replace, [&](OfflineLibrary& list, std::optional<size_t> match) {
            return list.store(name, encode_preset_file(name, record), match);
        });
    if (!c.ok) {
        dialogs().alert("The preset could not be saved; nothing was changed.\n\n" + c.error);
        return;
    }
    if (const auto i = w_.preset_panel->library.find(name)) w_.preset_panel->select(int(*i));
    if (!c.warning.empty()) dialogs().alert(c.warning);
    close_preset_prompt();
}

void OfflineController::add_preset_files()
{
    const std::string& folder = w_.session_.presets_folder;
    const std::vector<std::string> paths = dialogs().choose_files(
        "Browse Preset File (.lop)", "*.lop", folder.substr(0, folder.empty() ? 0 : folder.size() - 1), true);
    for (size_t i = 0; i < paths.size(); ++i) {
        w_.preset_prompt->file_index = int(i);
        add_preset_file(paths[i]);
    }
    w_.preset_prompt->file_index = -1;
}

bool OfflineController::add_preset_file(const std::string& path)
{
    const PresetFile file = read_preset_file(path);
    if (!file.ok()) {
        // Nothing is loaded, listed or sent for a file that is not a preset.
        dialogs().alert(preset_file_problem_text(file, path));
        close_preset_prompt();
        return true;
    }
    // A name from someone else's file becomes a file name here: cleaned and
    // checked like a typed one.
    const std::string name = clean_preset_name(file.name);
    if (const NameProblem p = check_preset_name(name); p != NameProblem::NoProblem) {
        dialogs().alert("The preset in \"" + path + "\" cannot be added:\n" + name_problem_text(p));
        close_preset_prompt();
        return true;
    }
    bool replace = false;
    if (!confirm_replace(name, replace)) return false;

    const std::string target = w_.preset_panel->library.path_for(name);
    // A file that already is the library's file of that name (with that
    // name line) is listed as it is; any other is written into the library.
    const std::optional<FileIdentity> chosen_id = file_identity(path);
    const bool same_file = chosen_id && chosen_id == file_identity(target);
    const bool adopt = same_file && name == file.name;
    const OfflineLibrary::Change c =
        store_preset(name, replace, [&](OfflineLibrary& list, std::optional<size_t> match) {
            return adopt ? list.adopt(name, match) : list.store(name, encode_preset_file(name, file.record), match);
        });
    if (!c.ok) {
        dialogs().alert("The preset could not be added; nothing was changed.\n\n" + c.error);
        close_preset_prompt();
        return true;
    }
    if (const auto i = w_.preset_panel->library.find(name)) w_.preset_panel->select(int(*i));
    if (!c.warning.empty()) dialogs().alert(c.warning);

    const int slot = w_.transport_panel->current_slot;
    w_.dashboard->load_parameters(file.record.parameters);
    w_.transport_panel->set_switches_from_flags(slot, file.record.parameters.flags);
    w_.transport_panel->set_slot_name(slot, file.record.title);
    preview_added_preset();
    close_preset_prompt();
    return true;
}

void OfflineController::remove_selected_preset()
{
    const int index = w_.preset_panel->selected();
    if (index < 0) {
        dialogs().alert("Please select the preset you wish to remove from the list.");
        return;
    }
    const std::string name = w_.preset_panel->name_of(index);
    if (dialogs().choice("Confirm to remove the selected preset?", "Cancel", "Confirm", nullptr) != 1) return;
    // Removed from the list as it is now, found again by its name.
    OfflineLibrary::Change c;
    int at = index;
    const LibraryResult r = change_library(w_.session_.presets_folder, *w_.preset_panel, [&](Library& lib) {
        const std::optional<size_t> now = lib.presets.find(name);
        if (!now) {
            c.ok = true;   // someone else removed it meanwhile: done
            return;
        }
        at = int(*now);
        c = lib.presets.remove(*now);
        if (!c.ok) return lib.fail(c.error);
    });
    if (!r.ok()) {
        c.ok = false;
        if (c.error.empty()) c.error = r.message;
    }
    if (!r.warning.empty()) c.warning += (c.warning.empty() ? "" : "\n") + r.warning;
    if (!c.ok) {
        dialogs().alert("The preset could not be removed; nothing was changed.\n\n" + c.error);
        return;
    }
    w_.preset_panel->refresh();
    if (!c.warning.empty()) dialogs().alert(c.warning);
    if (w_.preset_panel->preset_count > 0) {
        // The item now in the removed one's place (or the new last) is
        // loaded and played as if picked.
        w_.preset_panel->select(std::min(at, w_.preset_panel->preset_count - 1));
        w_.preset_panel->load_selected();
    }
}

void OfflineController::preview_picked_preset()
{
    if (!w_.discard_changes_ok()) {
        w_.preset_panel->clear_selection();
        return;
    }
    const int slot = w_.transport_panel->current_slot;
    w_.dashboard->load_record(PresetRecord{w_.preset_panel->loaded_parameters, w_.preset_panel->loaded_title});
    w_.transport_panel->set_slot_name(slot, w_.preset_panel->loaded_title);
    w_.transport_panel->set_switches_from_flags(slot, w_.preset_panel->loaded_parameters.flags);
    preview_edited_preset();
    w_.restart_history();
}

void OfflineController::preview_added_preset()
{
    if (w_.session_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    ops::preview_added(*w_.session_.link, w_.edited_preset());
    w_.redraw();
}

void OfflineController::preview_edited_preset()
{
    if (w_.session_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    w_.show_sequences(ops::preview_offline(*w_.session_.link, w_.edited_preset()));
    w_.prepare_arp_editor();
    w_.redraw();
}

} // namespace kv
