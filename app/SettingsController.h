#pragma once
// The pedal's settings panels (the main menu's " > Global Settings" and
// " > MIDI Settings"): each opens over the editor with the global record
// read from the pedal and the other controls locked; Confirm sends the
// record with the panel's settings applied, Cancel (and Escape) closes it.

#include "config/KV_ConfPanel.h"
#include "settings/GlobalsRecord.h"

#include <optional>
#include <utility>
#include <vector>

class Fl_Widget;

namespace kv {

class Korvane;

class SettingsController {
public:
    explicit SettingsController(Korvane& window) : w_(window) {}

    // Reads the global record from the pedal, loads the panel and shows it.
    // A failed read opens the panel as it was left, with Confirm off.
    void open_global_settings();
    void open_midi_settings();
    // The panels' answers (on_answer): Confirm or Cancel was pressed.
    void on_glo_conf_panel(ConfAnswer answer);
    void on_midi_conf_panel(ConfAnswer answer);
    // Hides the panel and gives the locked controls back their state.
    void close_config_panel(Fl_Widget* panel);

private:
    std::optional<GlobalsRecord> read_pedal_globals();
    void show_config_panel(Fl_Widget* panel);
    void send_globals(const GlobalsRecord& record);

    Korvane& w_;
    // Controls locked while a panel is open, with whether each was active.
    std::vector<std::pair<Fl_Widget*, bool>> config_locked_;
};

} // namespace kv
