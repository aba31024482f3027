#pragma once
// The presets on the pedal: the slot picked in the selector or the preset
// pages is read into the editor, WRITE stores the edit there, Compare plays
// what the slot holds, undo and redo step through the edit's history, and a
// row's menu copies or swaps two slots. Edits made on the Dashboard, the
// preset pages' switches, the template chooser and the expression page are
// previewed on the pedal and become steps of the history; the unsaved mark
// follows them. Each action calls ops/ and puts the result into the widgets
// in one place; what the pedal reports reaches the window's reporter.

#include "library/KV_TransportPanel.h"
#include "ops/Connect.h"
#include "ops/Transfers.h"
#include "preset/EditHistory.h"

namespace kv {

class Korvane;
struct PedalSession;

class PresetsController {
public:
    PresetsController(Korvane& window, PedalSession& session) : w_(window), s_(session) {}

    // --- the widgets' events ---
    void preset_selected();       // the selector picked an item
    void on_write();
    // The Dashboard's edit and the preview it asks for (on_preview).
    void on_dashboard(PreviewRequest request);
    // A switch toggled, a slot copied or swapped, or a slot picked (on_request).
    void on_transport_panel(const KV_TransportPanel::SlotRequest& request);
    // A template picked in the chooser (on_pick).
    void on_template_panel(int item);
    // The expression page edited an engine's mapping (on_edit).
    void on_expression_editor(Engine edited);

    // What reading all presets found, shown in the rows and the editor.
    void show_everything_read(const ops::EverythingRead& r);
    void read_selected_slot();
    // A copy or swap picked in a preset row's menu: asked, run, the rows
    // updated, and the selected slot read again when it was one of them.
    // `asked`: the user has already chosen the action (a slot dropped on another).
    void run_slot_action(KV_TransportPanel::SlotEvent event, KV_TransportPanel::SlotAction slots, bool asked = false);

    // --- the edit ---
    ops::EditedPreset edited_preset() const;
    EditState edit_state() const;
    void start_history(bool stored);
    void restart_history();
    bool unsaved_changes() const;
    void refresh_unsaved_mark();
    bool discard_changes_ok();
    void note_edit();
    bool edit_key(int event);
    bool undo_edit();
    bool redo_edit();
    void end_compare();
    void set_compare(bool on);
    void place_compare();

private:
    // The selected slot's row as the pedal holds it (after an edit was discarded).
    void show_stored_row();
    bool step_history(bool forward);
    void show_edit_state(const EditState& s);
    void preview_between(const EditState& from, const EditState& to);
    void show_sequences_of(const EditState& s, bool preview);
    void switch_compare(bool on);
    bool overlay_shown() const;
    void preview_mapping(Engine edited);

    Korvane& w_;
    PedalSession& s_;
};

} // namespace kv
