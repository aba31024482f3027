#include "app/ConnectionController.h"

#include "app/Desktop.h"
#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "app/KV_TextBoard.h"
#include "app/Resources.h"
#include "app/WindowReporter.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/OfflinePresets.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/Connect.h"
#include "widgets/Palette.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstdio>
#include <string>

namespace kv {

std::optional<ops::ConnectOutcome> ConnectionController::connect(bool interactive)
{
    bool try_simulated = false;
    const std::optional<ops::ConnectOutcome> found = connect_once(interactive, try_simulated);
    // The not-found dialog's second button, once the exchange has ended.
    if (try_simulated) return try_simulated_pedal(true);
    return found;
}

std::optional<ops::ConnectOutcome> ConnectionController::connect_once(bool interactive, bool& try_simulated)
{
    if (w_.session_.busy > 0) return std::nullopt;
    Korvane::Exchange exchange(w_);
    w_.session_.online = false;
    w_.session_.pedal.serial_number.clear();
    w_.session_.pedal_in_use.clear();

    const ops::ConnectResult r = ops::connect(*w_.session_.link, *w_.session_.reporter, interactive,
                                              w_.session_.work_image(), w_.session_.access_hint, kTrySimulatedText);
    w_.session_.pedal.serial_number = r.pedal.serial_number;
    refresh_window_title(w_, false);
    switch (r.outcome) {
    case ops::ConnectOutcome::NotFound:
        if (interactive) {
            w_.write_button->deactivate();
            w_.transport_panel->deactivate();
        }
        break;
    case ops::ConnectOutcome::UsbProblem:
        w_.transport_panel->activate();
        break;
    case ops::ConnectOutcome::UpdateMode:
        w_.session_.pedal.firmware_version = r.pedal.firmware_version;
        w_.session_.pedal.pedal_mode = r.pedal.pedal_mode;
        show_update_mode(!interactive);
        break;
    case ops::ConnectOutcome::TooOld:
        w_.session_.pedal.firmware_version = r.pedal.firmware_version;
        w_.session_.pedal.pedal_mode = r.pedal.pedal_mode;
        return r.outcome;
    case ops::ConnectOutcome::ReadFailed:
    case ops::ConnectOutcome::Online:
        w_.session_.pedal.firmware_version = r.pedal.firmware_version;
        w_.session_.pedal.pedal_mode = r.pedal.pedal_mode;
        w_.transport_panel->activate();
        leave_update_mode();
        w_.show_everything_read(r.read);
        break;
    }

    if (!r.online()) {
        // What the slots hold is no longer known: nothing counts as unsaved.
        w_.session_.history.forget_stored();
        w_.session_.compare_ready = false;
        w_.place_compare();
        w_.refresh_unsaved_mark();
    }
    w_.text_board->scroll_to_status_lines();
    if (interactive) {
        w_.usb->progress->value(0);
        w_.usb->progress->selection_color(kLevelColor);
        w_.usb->redraw();
        if (!w_.dashboard->visible()) {
            w_.tabs->value(w_.dashboard);
            w_.tab_changed();
        }
    } else {
        w_.preset_panel->load_list(presets_list_path(w_.session_.presets_folder));
        std::string shown;
        for (const std::string& problem : w_.preset_panel->load_problems) {
            std::fprintf(stderr, "korvane: %s\n", problem.c_str());
            if (!shown.empty()) shown += "\n";
            shown += problem;
        }
        // Said in a dialog too: a list that did not load is not rewritten
        // (saving and removing presets are refused until it loads).
        if (!shown.empty()) {
            const std::string& locked = w_.preset_panel->library.list_problem();
            dialogs().alert(std::string(locked.empty() ? "Some offline presets could not be read:\n"
                                                       : "The list of offline presets could not be read. Saving "
                                                         "and removing offline presets is refused until it loads, "
                                                         "so that no entry of it is lost:\n") +
                            shown);
        }
    }
    w_.place_demo_button();
    w_.redraw();
    try_simulated = r.offer_taken;
    return r.outcome;
}

std::optional<ops::ConnectOutcome> ConnectionController::try_simulated_pedal(bool interactive)
{
    if (w_.session_.busy > 0) return std::nullopt;
    if (!demo_) demo_ = std::make_unique<ops::DemoPedal>();
    const bool was_running = demo_->running();
    if (!was_running) w_.status("  Starting a simulated pedal ...");
    ops::DemoPedal::StartResult started;
    // Counted as an exchange: the controls wait while it comes up.
    ++w_.session_.busy;
    started = demo_->start(*w_.session_.clock, [] { Fl::check(); });
    --w_.session_.busy;
    if (!started.ok()) {
        const std::string text = ops::DemoPedal::failure_text(started);
        w_.status("  The simulated pedal could not be started.", "  > " + text.substr(0, text.find('\n')));
        // Asked for, so said in a dialog even at start-up (--demo); there
        // the program then starts as it would have without it.
        dialogs().alert(text);
        return interactive ? std::optional(ops::ConnectOutcome::NotFound) : connect(false);
    }
    if (!was_running) w_.status("  Simulated pedal started (" + started.detail + ").");
    return connect(interactive);
}

bool ConnectionController::pedal_simulated()
{
    return demo_ && w_.session_.pedal.serial_number == ops::DemoPedal::kSerial && demo_->running();
}

void ConnectionController::end_simulated_pedal()
{
    if (demo_) demo_->stop();
}

void ConnectionController::show_update_mode(bool at_start)
{
    w_.end_compare();
    w_.dashboard->deactivate();
    w_.preset_panel->deactivate();
    w_.transport_panel->deactivate();
    w_.preset_selector->deactivate();
    w_.write_button->deactivate();
    w_.update_panel->set_installed_version(w_.firmware_major(), w_.firmware_minor(), w_.firmware_patch());
    w_.update_panel->ready_buttons();
    w_.update_panel->show();
    w_.place_compare();
    if (at_start) {
        w_.templates_button->deactivate();
        w_.connect_button->deactivate();
        w_.menu_button->deactivate();
        w_.quit_button->deactivate();
        w_.redraw();
        dialogs().alert(Korvane::midi_cables_text());
        w_.redraw();
    }
}

void ConnectionController::leave_update_mode()
{
    if (!w_.update_panel->visible()) return;
    // The pedal was in update mode at the last look and has since been
    // restarted normally: the editor is back.
    w_.update_panel->hide();
    w_.dashboard->activate();
    w_.preset_panel->activate();
    w_.preset_selector->activate();
    w_.templates_button->activate();
    w_.connect_button->activate();
    w_.menu_button->activate();
    w_.quit_button->activate();
    w_.place_compare();
}

} // namespace kv
