// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/PresetsController.h"

#include "app/Desktop.h"
#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "app/WindowReporter.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "link/ui/KV_UsbController.h"
#include "ops/AutoBackup.h"
#include "ops/Slots.h"
#include "platform/DataPaths.h"
#include "preset/AlgorithmLibrary.h"
#include "settings/ExpressionMapping.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Tabs.H>

#include <optional>
#include <string>

namespace kv {

namespace {
// The algorithm library the copied and swapped presets' programs are built
// from, read once (the same file the Dashboard reads).
const AlgorithmLibrary& program_library()
{
    static const AlgorithmLibrary library(data_path(AlgorithmLibrary::kFileName));
    return library;
}

std::string slot_and_title(int slot, const PresetTitle& title)
{
    std::string t = title_text(title);
    return "Preset " + std::to_string(slot + 1) + " (\"" + t + "\")";
}
} // namespace

void PresetsController::preset_selected()
{
    const int item = w_.preset_selector->value();
    if (item < 0 || item >= int(sizeof w_.preset_of_item / sizeof w_.preset_of_item[0])) return;
    w_.transport_panel->select_slot(w_.preset_of_item[item]);
    w_.redraw();
}

void PresetsController::show_everything_read(const ops::EverythingRead& r)
{
    if (r.outcome == ops::ReadOutcome::ReadAllFailed) return;   // the slots keep what they showed

    // Names and switches, slot 31 down to 0.
    for (int s = 31; s >= 0; --s) {
        w_.transport_panel->set_slot_name(s, image_title(s_.image.data(), s));
        w_.transport_panel->set_switches_from_flags(s, s_.image[slot_parameters_offset(s)]);
    }
    if (r.outcome == ops::ReadOutcome::PedalGone) {
        // The pedal went away after Read All: offline, nothing to store into.
        w_.write_button->deactivate();
        return;
    }

    // Slot 0 selected. Selecting shows the name of the slot selected
    // before; slot 0's own name is put back at once.
    w_.preset_selector->value(w_.item_of_preset[0][0]);
    w_.transport_panel->select_slot(0);
    w_.transport_panel->set_slot_name(0, r.slot0.title);
    w_.dashboard->load_record(r.slot0);
    w_.transport_panel->set_switches_from_flags(0, r.slot0.parameters.flags);

    w_.write_button->activate();
    s_.online = true;
    w_.show_sequences(r.sequences);
    w_.prepare_arp_editor();
    start_history(true);
}

ops::EditedPreset PresetsController::edited_preset() const
{
    ops::EditedPreset p;
    p.parameters = w_.dashboard->params;
    p.title = w_.transport_panel->edit_name;
    p.program_x = w_.dashboard->program_x;
    p.program_y = w_.dashboard->program_y;
    return p;
}

void PresetsController::on_write()
{
    if (s_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    Korvane::WriteGuard writing(w_);
    // The edited preset cannot change while it is written.
    const Korvane::Locked locked = w_.lock_main_controls();
    const ops::StoreResult stored = ops::write_slot(*s_.link, *s_.reporter, w_.transport_panel->current_slot, edited_preset());
    w_.unlock(locked);
    if (stored.ok()) {
        // The slot now holds the edit.
        s_.history.mark_stored(edit_state());
        s_.compare_ready = true;
        place_compare();
        refresh_unsaved_mark();
    }
    w_.redraw();
}

void PresetsController::on_dashboard(PreviewRequest request)
{
    using enum PreviewRequest;
    // Only a pedal that has been found hears the edits.
    if (w_.transport_panel->active() && s_.busy == 0) {
        Korvane::Exchange exchange(w_);
        const ops::PreviewResult r = ops::preview_edit(*s_.link, *s_.reporter, request, edited_preset());
        if (r.sequence && (request == sequence_x || request == sequence_y)) {
            ops::EngineSequences seqs;
            seqs[request == sequence_x ? 0 : 1] = r.sequence;
            w_.show_sequences(seqs);
        }
    }
    // The Arpeggiator's grid is labelled with the scale the block now holds.
    if (request == parameters) w_.arp_follow_parameters();
    // An edited preset is no longer the offline one picked.
    if (w_.dashboard->live) w_.preset_panel->clear_selection();
    // A sequence fetched for the edit is part of its step.
    if ((request == sequence_x || request == sequence_y) && !s_.comparing && !s_.control_pending)
        s_.history.amend(edit_state());
    else
        note_edit();
    w_.redraw();
}

void PresetsController::on_transport_panel(const KV_TransportPanel::SlotRequest& request)
{
    using Event = KV_TransportPanel::SlotEvent;
    switch (request.event) {
    case Event::stomp_toggled:
    case Event::bypass_toggled:
        // The switch goes into the edited preset; WRITE stores it.
        if (s_.comparing) set_compare(false);
        w_.dashboard->params.flags = w_.transport_panel->apply_toggle(request.event, w_.dashboard->params.flags);
        note_edit();
        return;
    case Event::slot_copy:
    case Event::slot_swap:
        run_slot_action(request.event, request.slots);
        return;
    case Event::slot_selected:
        read_selected_slot();
        return;
    default:
        // Drops and exports are the Library's (the window hands them there).
        return;
    }
}

void PresetsController::read_selected_slot()
{
    if (s_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    const int slot = w_.transport_panel->current_slot;
    if (!slot_valid(slot)) return;
    w_.preset_selector->value(w_.item_of_preset[slot / 8][slot % 8]);
    const ops::SlotRead r = ops::read_slot(*s_.link, *s_.reporter, slot);
    if (r.ok) {
        w_.dashboard->load_record(r.record);
        w_.expression_editor->load_mapping(w_.dashboard->params);
        w_.transport_panel->set_slot_name(slot, r.record.title);
        w_.transport_panel->set_switches_from_flags(slot, r.record.parameters.flags);
        w_.show_sequences(r.sequences);
        w_.prepare_arp_editor();
        w_.preset_panel->clear_selection();
        start_history(true);
    }
    w_.redraw();
}

EditState PresetsController::edit_state() const
{
    EditState s;
    s.parameters = w_.dashboard->params;
    s.title = w_.transport_panel->edit_name;
    s.program_x = w_.dashboard->program_x;
    s.program_y = w_.dashboard->program_y;
    for (Engine e : {Engine::X, Engine::Y}) s.sequences[size_t(index_of(e))] = w_.arp_editor->core(e).record().bytes;
    return s;
}

void PresetsController::show_sequences_of(const EditState& s, bool preview)
{
    for (Engine e : {Engine::X, Engine::Y}) {
        KV_ArpCore& panel = w_.arp_editor->core(e);
        const auto& want = s.sequences[size_t(index_of(e))];
        if (panel.record().bytes == want) continue;
        panel.load(ArpSequence::from_bytes(want.data(), want.size()));
        panel.redraw();
        // The pedal plays what the panel shows, as after a level edit there.
        if (preview && s_.online && w_.transport_panel->active() && is_arp_algorithm(w_.dashboard->params.algorithm(e))) {
            Korvane::Exchange exchange(w_);
            ops::preview_sequence(*s_.link, *s_.reporter, w_.arp_target(e), panel.record());
        }
    }
}

void PresetsController::start_history(bool stored)
{
    s_.control_pending = false;
    const EditState now = edit_state();
    s_.history.start(now, stored ? std::optional<EditState>(now) : std::nullopt);
    s_.compare_ready = stored && s_.online;
    place_compare();
    refresh_unsaved_mark();
}

void PresetsController::restart_history()
{
    s_.control_pending = false;
    s_.history.start(edit_state(), s_.history.stored());
    refresh_unsaved_mark();
}

bool PresetsController::unsaved_changes() const { return s_.history.unsaved(s_.comparing ? s_.compare_edit : edit_state()); }

void PresetsController::refresh_unsaved_mark()
{
    if (!w_.transport_panel || !w_.dashboard) return;
    const bool unsaved = unsaved_changes();
    if (unsaved != s_.unsaved_shown) {
        s_.unsaved_shown = unsaved;
        w_.damage(FL_DAMAGE_ALL);   // the caption beside "Save preset in pedal"
    }
    w_.transport_panel->set_unsaved_mark(unsaved);
    refresh_window_title(w_, unsaved);
}

bool PresetsController::discard_changes_ok()
{
    if (s_.comparing) end_compare();
    if (!unsaved_changes() || s_.auditioning) return true;
    std::string title = title_text(w_.transport_panel->edit_name);
    while (!title.empty() && title.front() == ' ') title.erase(title.begin());
    if (title.empty()) title = "Preset " + std::to_string(w_.transport_panel->current_slot + 1);
    if (dialogs().choice("Discard the changes to " + title + "?", "Cancel", "Discard", nullptr) != 1) return false;
    show_stored_row();
    return true;
}

void PresetsController::show_stored_row()
{
    // The selected slot's row showed the edit (its title, its switches):
    // discarded, it shows again what the pedal holds there.
    const int slot = w_.transport_panel->current_slot;
    if (!s_.online || !slot_valid(slot)) return;
    const PresetRecord stored = image_record(s_.image.data(), slot);
    w_.transport_panel->set_slot_name(slot, stored.title);
    w_.transport_panel->set_switches_from_flags(slot, stored.parameters.flags);
    w_.transport_panel->set_unsaved_mark(false);
}

void PresetsController::note_edit()
{
    if (s_.comparing) return;
    // The Control key that toggles the rotors is also the undo shortcut's:
    // its toggle becomes a step only once the key is let go without a Z or Y.
    if (Fl::event() == FL_KEYBOARD && (Fl::event_key() == FL_Control_L || Fl::event_key() == FL_Control_R)) {
        s_.control_pending = true;
        refresh_unsaved_mark();
        return;
    }
    s_.control_pending = false;
    s_.history.record(edit_state());
    refresh_unsaved_mark();
}

bool PresetsController::edit_key(int event)
{
    if (window_shortcut(w_, event)) return true;
    if (event == FL_KEYUP && s_.control_pending &&
        (Fl::event_key() == FL_Control_L || Fl::event_key() == FL_Control_R)) {
        s_.control_pending = false;
        s_.history.record(edit_state());
        return false;
    }
    if (event != FL_KEYBOARD && event != FL_SHORTCUT) return false;
    if (!(Fl::event_state() & FL_CTRL)) return false;
    const int key = Fl::event_key();
    bool forward = false;
    if (key == 'z') forward = (Fl::event_state() & FL_SHIFT) != 0;
    else if (key == 'y') forward = true;
    else return false;
    // A text field keeps its own undo.
    if (Fl::focus() && dynamic_cast<Fl_Input_*>(Fl::focus())) return false;
    if (s_.busy == 0 && !w_.modal_panel_shown() && !s_.comparing) step_history(forward);
    return true;
}

bool PresetsController::undo_edit() { return s_.busy == 0 && !s_.comparing && step_history(false); }

bool PresetsController::redo_edit() { return s_.busy == 0 && !s_.comparing && step_history(true); }

bool PresetsController::step_history(bool forward)
{
    // What the pedal plays now: the editor's state, a pending rotor toggle included.
    const EditState now = edit_state();
    const bool pending = s_.control_pending;
    s_.control_pending = false;
    const std::optional<EditState> target = forward ? s_.history.redo() : s_.history.undo();
    if (!target) {
        if (pending) s_.history.record(now);
        return false;
    }
    show_edit_state(*target);
    preview_between(now, *target);
    // The sequences shown then (a fetch above may have replaced them).
    show_sequences_of(*target, true);
    refresh_unsaved_mark();
    w_.redraw();
    return true;
}

void PresetsController::show_edit_state(const EditState& s)
{
    w_.dashboard->load_parameters(s.parameters);
    // Exactly the step's bytes, also those loading would have repaired.
    w_.dashboard->params = s.parameters;
    w_.dashboard->title = s.title;
    w_.dashboard->program_x = s.program_x;
    w_.dashboard->program_y = s.program_y;
    const int slot = w_.transport_panel->current_slot;
    w_.transport_panel->set_slot_name(slot, s.title);
    w_.transport_panel->set_switches_from_flags(slot, s.parameters.flags);
    w_.expression_editor->load_mapping(w_.dashboard->params);
    w_.prepare_arp_editor();
    w_.arp_follow_parameters();
    w_.dashboard->redraw();
}

void PresetsController::preview_between(const EditState& from, const EditState& to)
{
    // Only a pedal that has been found hears the edits.
    if (!w_.transport_panel->active() || !s_.online || s_.busy > 0) return;
    Korvane::Exchange exchange(w_);
    bool first = true;
    using enum PreviewRequest;
    for (const PreviewRequest request : previews_between(from, to)) {
        // The pedal needs the same gap between transfers as after an edit.
        if (!first) w_.usb->pause(0.02, false);
        first = false;
        const ops::PreviewResult r = ops::preview_edit(*s_.link, *s_.reporter, request, edited_preset());
        if (r.sequence && (request == sequence_x || request == sequence_y)) {
            ops::EngineSequences seqs;
            seqs[request == sequence_x ? 0 : 1] = r.sequence;
            w_.show_sequences(seqs);
        }
    }
}

void PresetsController::end_compare()
{
    if (!s_.comparing) return;
    switch_compare(false);
}

void PresetsController::set_compare(bool on)
{
    if (on == s_.comparing || s_.busy > 0) {
        w_.compare_button->value(s_.comparing ? 1 : 0);
        return;
    }
    switch_compare(on);
}

void PresetsController::switch_compare(bool on)
{
    const auto& stored = s_.history.stored();
    if (on && (!s_.online || !stored)) {
        w_.compare_button->value(0);
        return;
    }
    const int slot = w_.transport_panel->current_slot;
    if (on) {
        s_.compare_edit = edit_state();
        s_.comparing = true;
        show_edit_state(*stored);
        // The stored preset is only listened to: nothing in it can be edited
        // or written, on the Dashboard or on the expression and arp pages
        // (an edit made there would be dropped when the edit comes back).
        w_.dashboard->deactivate();
        w_.expression_editor->deactivate();
        w_.arp_editor->deactivate();
        w_.write_button->deactivate();
        w_.status("  Compare: Preset " + std::to_string(slot + 1) + " as stored in your pedal.");
    } else {
        s_.comparing = false;
        show_edit_state(s_.compare_edit);
        w_.dashboard->activate();
        if (!w_.modal_panel_shown()) {
            w_.expression_editor->activate();
            w_.arp_editor->activate();
        }
        w_.write_button->activate();
        w_.status("  Compare off: your edit is played again.");
    }
    w_.compare_button->value(s_.comparing ? 1 : 0);
    {
        Korvane::Exchange exchange(w_);
        const ops::EngineSequences seqs = ops::preview_offline(*s_.link, edited_preset());
        w_.show_sequences(seqs);
    }
    if (!on) show_sequences_of(s_.compare_edit, true);
    w_.text_board->scroll_to_status_lines();
    refresh_unsaved_mark();
    w_.redraw();
}

bool PresetsController::overlay_shown() const
{
    return w_.modal_panel_shown() || (w_.template_panel && w_.template_panel->visible()) ||
           (w_.infographic_button && w_.infographic_button->value()) || (w_.preset_prompt && w_.preset_prompt->visible());
}

void PresetsController::place_compare()
{
    if (!w_.compare_button) return;
    // Compare belongs to the Dashboard: on another page or under a panel it
    // would lie over that page's or panel's own controls.
    const bool shown = w_.tabs->value() == w_.dashboard && !overlay_shown();
    if (!shown && s_.comparing && s_.busy == 0) switch_compare(false);
    if (shown) w_.compare_button->show();
    else w_.compare_button->hide();
    if (shown && s_.compare_ready) w_.compare_button->activate();
    else w_.compare_button->deactivate();
}

void PresetsController::run_slot_action(KV_TransportPanel::SlotEvent event, KV_TransportPanel::SlotAction slots,
                                        bool asked)
{
    if (s_.busy > 0 || !s_.online) return;
    const auto [from, to] = slots;
    if (!slot_valid(from) || !slot_valid(to) || from == to) return;
    const bool swap = event == KV_TransportPanel::SlotEvent::slot_swap;
    const std::string question =
        swap ? "Swap " + slot_and_title(from, w_.transport_panel->slot_name(from)) + " and " +
                   slot_and_title(to, w_.transport_panel->slot_name(to)) + "?"
             : "Copy " + slot_and_title(from, w_.transport_panel->slot_name(from)) + " over " +
                   slot_and_title(to, w_.transport_panel->slot_name(to)) + "?\n\nWhat Preset " + std::to_string(to + 1) +
                   " holds now is overwritten.";
    const int selected = w_.transport_panel->current_slot;
    const bool selected_changes = selected == to || (swap && selected == from);
    if (!asked && dialogs().choice(question, "Cancel", swap ? "Swap" : "Copy", nullptr) != 1) return;
    // The selected slot is read again afterwards, which replaces the edit.
    if (selected_changes && !discard_changes_ok()) return;
    if (!program_library().usable()) {
        dialogs().alert("The algorithm library (" + data_path(AlgorithmLibrary::kFileName) +
                        ") could not be read: presets cannot be copied or swapped without it.");
        return;
    }

    const PresetTitle kept_name = w_.transport_panel->edit_name;
    ops::SlotMoveResult r;
    {
        Korvane::Exchange exchange(w_);
        Korvane::WriteGuard writing(w_);
        Korvane::Locked locked = w_.lock_main_controls();
        locked.emplace_back(w_.transport_panel, w_.transport_panel->active() != 0);
        w_.transport_panel->deactivate();
        const ops::ProgramBuilder build = ops::library_program_builder(program_library());
        r = swap ? ops::swap_slots(*s_.link, *s_.reporter, from, to, build, ops::auto_backup_folder(s_.presets_folder),
                                   ops::OnBackupFailure::Ask)
                 : ops::copy_slot(*s_.link, *s_.reporter, from, to, build);
        w_.unlock(locked);
    }
    // The rows show what the slots hold now (as far as it is known).
    auto show_slot = [&](int slot, const PresetRecord& record) {
        set_image_record(s_.image.data(), slot, record);
        w_.transport_panel->set_slot_name(slot, record.title);
        w_.transport_panel->set_switches_from_flags(slot, record.parameters.flags);
    };
    if (r.ok()) {
        if (swap) {
            show_slot(to, r.first);
            show_slot(from, r.second);
        } else {
            show_slot(to, r.first);
        }
    } else if (swap && r.slots_changed > 0) {
        show_slot(to, r.first);
    }
    w_.transport_panel->edit_name = kept_name;
    if (selected_changes && r.slots_changed > 0) read_selected_slot();
    w_.redraw();
}

void PresetsController::on_template_panel(int item)
{
    // A template picks both engines' algorithms (each previewed as picking
    // it by hand would be), then the chooser closes.
    w_.template_panel->reset();
    w_.template_panel->hide();
    w_.templates_button->value(0);
    w_.unlock(w_.template_locked_);
    w_.template_locked_.clear();
    w_.dashboard->set_template_controls_active(true);
    place_compare();
    w_.dashboard->apply_template(item);
    w_.redraw();
}

void PresetsController::on_expression_editor(Engine edited)
{
    preview_mapping(edited);
    note_edit();
}

void PresetsController::preview_mapping(Engine edited)
{
    commit_mapping(w_.dashboard->params, w_.expression_editor->working(), edited == Engine::X ? kChangeX : kChangeY);
    // Offline (the preset list inactive) the block keeps the edit and nothing is sent.
    if (w_.transport_panel->active() && s_.busy == 0) {
        Korvane::Exchange exchange(w_);
        ops::preview_parameters(*s_.link, *s_.reporter, w_.dashboard->params);
    }
    w_.redraw();
}

} // namespace kv
