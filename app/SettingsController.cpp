#include "app/SettingsController.h"

#include "app/Korvane.h"
#include "app/WindowReporter.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "app/KV_TextBoard.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "link/ui/KV_UsbController.h"
#include "ops/Settings.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace kv {

void SettingsController::on_glo_conf_panel(ConfAnswer answer)
{
    // Confirm is off after a failed read: what the panel holds may no longer
    // be what the pedal has.
    if (answer == ConfAnswer::confirm && w_.glo_conf_panel->confirm_allowed()) {
        GlobalsRecord record = w_.globals_record();
        record.apply(w_.glo_conf_panel->settings());
        send_globals(record);
    }
    close_config_panel(w_.glo_conf_panel);
}

void SettingsController::on_midi_conf_panel(ConfAnswer answer)
{
    if (answer == ConfAnswer::confirm && w_.midi_conf_panel->confirm_allowed()) {
        GlobalsRecord record = w_.globals_record();
        record.apply(w_.midi_conf_panel->settings());
        send_globals(record);
    }
    close_config_panel(w_.midi_conf_panel);
}

// The pedal's global record, read as one exchange of the window.
std::optional<GlobalsRecord> SettingsController::read_pedal_globals()
{
    Korvane::Exchange exchange(w_);
    return ops::read_globals(*w_.session_.link);
}

void SettingsController::open_global_settings()
{
    if (w_.session_.busy > 0 || w_.modal_panel_shown()) return;
    const std::optional<GlobalsRecord> read = read_pedal_globals();
    if (read) {
        // The AUX actions reach the editor's copy only with Confirm.
        std::copy(read->bytes.begin() + kAuxContacts, read->bytes.end(), w_.session_.globals.bytes.begin() + kAuxContacts);
        w_.glo_conf_panel->load(read->global_settings());
    }
    w_.glo_conf_panel->set_confirm_allowed(read.has_value());
    show_config_panel(w_.glo_conf_panel);
}

void SettingsController::open_midi_settings()
{
    if (w_.session_.busy > 0 || w_.modal_panel_shown()) return;
    const std::optional<GlobalsRecord> read = read_pedal_globals();
    if (read) {
        w_.session_.globals = *read;
        w_.midi_conf_panel->load(read->midi_settings());
    }
    w_.midi_conf_panel->set_confirm_allowed(read.has_value());
    show_config_panel(w_.midi_conf_panel);
}

void SettingsController::show_config_panel(Fl_Widget* panel)
{
    // Compare ends before the controls are locked, so that none of them is
    // unlocked under the panel when the edit comes back.
    w_.end_compare();
    // The template chooser and the help picture would lie over the panel.
    if (w_.templates_button->value()) {
        w_.templates_button->value(0);
        w_.templates_toggled();
    }
    if (w_.infographic_button->value()) {
        w_.infographic_button->value(0);
        w_.infographic_toggled();
    }
    config_locked_.clear();
    for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{w_.dashboard, w_.expression_editor, w_.arp_editor, w_.transport_panel,
                                                          w_.preset_panel, w_.preset_selector, w_.write_button, w_.templates_button,
                                                          w_.infographic_button, w_.connect_button, w_.menu_button}) {
        config_locked_.emplace_back(w, w->active() != 0);
        w->deactivate();
    }
    // Whatever else the panel lies over (the status board, Quit) waits too.
    for (const auto& locked : w_.lock_under(panel, &w_)) config_locked_.push_back(locked);
    w_.preset_panel->hide();
    w_.preset_selector->hide();
    w_.write_button->hide();
    w_.templates_button->hide();
    w_.usb->progress->hide();
    panel->show();
    w_.place_compare();
    w_.redraw();
}

void SettingsController::close_config_panel(Fl_Widget* panel)
{
    panel->hide();
    for (auto& [w, was_active] : config_locked_)
        if (was_active) w->activate();
    config_locked_.clear();
    if (w_.dashboard->visible()) {
        w_.preset_panel->show();
        w_.preset_selector->show();
        w_.write_button->show();
        w_.templates_button->show();
        w_.usb->progress->show();
    }
    w_.place_compare();
    w_.text_board->scroll_to_status_lines();
    w_.redraw();
}

void SettingsController::send_globals(const GlobalsRecord& record)
{
    // The editor's copy keeps what was tried, whether or not it went out.
    w_.session_.globals = record;
    Korvane::Exchange exchange(w_);
    Korvane::WriteGuard writing(w_);
    const bool quit_active = w_.quit_button->active() != 0;
    w_.quit_button->deactivate();
    ops::send_globals(*w_.session_.link, *w_.session_.reporter, record);
    if (quit_active) w_.quit_button->activate();
}

} // namespace kv
