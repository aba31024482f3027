// Moving about the main window: the tabs, the help picture (INFOGRAPHIC),
// the template chooser and Escape, which closes what lies on top. Each
// shows and hides, activates and locks the controls its state allows.

#include "app/Korvane.h"

#include "app/LibraryController.h"
#include "app/OfflineController.h"
#include "app/SettingsController.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "widgets/Zoom.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>

namespace kv {

bool Korvane::modal_panel_shown() const
{
    return (update_panel && update_panel->visible()) || (glo_conf_panel && glo_conf_panel->visible()) ||
           (midi_conf_panel && midi_conf_panel->visible());
}

void Korvane::tab_changed()
{
    if (!dashboard->visible()) {
        set_labelsize(*dashboard, 13);
        preset_panel->hide();
        preset_selector->hide();
        write_button->hide();
        templates_button->hide();
        usb->progress->hide();
        infographic_button->value(0);
        if (!modal_panel_shown()) dashboard->activate();
        const bool config_open = glo_conf_panel->visible() || midi_conf_panel->visible();
        set_labelsize(*library_page, library_page->visible() ? 16 : 13);
        if (library_page->visible()) {
            set_labelsize(*expression_editor, 13);
            set_labelsize(*arp_editor, 13);
            library_controller_->opened();
        } else if (!expression_editor->visible()) {
            set_labelsize(*expression_editor, 13);
            set_labelsize(*arp_editor, 16);
            prepare_arp_editor();
        } else {
            set_labelsize(*expression_editor, 16);
            set_labelsize(*arp_editor, 13);
            expression_editor->load_mapping(dashboard->params);
            if (config_open) expression_editor->deactivate();
        }
    } else {
        set_labelsize(*dashboard, 16);
        set_labelsize(*expression_editor, 13);
        set_labelsize(*arp_editor, 13);
        set_labelsize(*library_page, 13);
        if (!glo_conf_panel->visible() && !midi_conf_panel->visible()) {
            preset_selector->show();
            write_button->show();
            templates_button->show();
            preset_panel->show();
            usb->progress->show();
            if (!update_panel->visible()) {
                preset_selector->activate();
                // WRITE only stores into a pedal that has been read.
                if (session_.online) write_button->activate();
                templates_button->activate();
                preset_panel->activate();
            } else {
                // Update mode: the controls come back into view, but stay
                // as locked as the update left them.
                dashboard->deactivate();
            }
        } else {
            dashboard->deactivate();
        }
    }
    place_compare();
    redraw();
}

void Korvane::infographic_toggled()
{
    if (infographic_button->value()) {
        end_compare();
        dashboard->deactivate();
        if (!dashboard->visible()) {
            tabs->value(dashboard);
            tab_changed();
            infographic_button->value(1);
            dashboard->deactivate();
        }
    } else if (!modal_panel_shown()) {
        dashboard->activate();
    }
    place_compare();
    redraw();
}

void Korvane::templates_toggled()
{
    if (templates_button->value()) {
        end_compare();
        dashboard->set_template_controls_active(false);
        unlock(template_locked_);
        template_locked_ = lock_under(template_panel, dashboard);
        template_panel->show();
    } else {
        template_panel->hide();
        unlock(template_locked_);
        template_locked_.clear();
        dashboard->set_template_controls_active(true);
    }
    place_compare();
    redraw();
}

void Korvane::escape_pressed()
{
    if (session_.busy > 0) return;
    // As each one's Cancel: nothing is sent or kept.
    if (glo_conf_panel->visible()) {
        settings_->close_config_panel(glo_conf_panel);
    } else if (midi_conf_panel->visible()) {
        settings_->close_config_panel(midi_conf_panel);
    } else if (preset_prompt->visible()) {
        offline_->cancel_prompt();
    } else if (template_panel->visible()) {
        templates_button->value(0);
        templates_toggled();
    } else if (infographic_button->value()) {
        infographic_button->value(0);
        infographic_toggled();
    }
}

} // namespace kv
