// The main window's behaviour: construction, input held back during an
// exchange, the status board, the connect sequence's entry points, the
// window's own callbacks and the locks that operations put on controls.
// The widgets are built and drawn in KorvaneLayout.cpp, the main menu is in
// MainMenu.cpp, moving about the window in Navigation.cpp, its texts in
// WindowTexts.cpp; each area's actions are in its controller.

// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Korvane.h"

#include "app/ArpController.h"
#include "app/ConnectionController.h"
#include "app/Desktop.h"
#include "app/DesktopSystem.h"
#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/LibraryController.h"
#include "app/MaintenanceController.h"
#include "app/OfflineController.h"
#include "app/PresetsController.h"
#include "app/Resources.h"
#include "app/SettingsController.h"
#include "app/WindowReporter.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "link/SerialDriver.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/AutoBackup.h"
#include "platform/DataPaths.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Display.H>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace kv {

namespace {

// The undo shortcuts must reach the window before the focused widget: the
// Dashboard takes every key press while it has the focus. The hook sees each
// event first (chaining to whatever dispatch was installed before it, such as
// the menu guard) and hands the main window's events to it.
Fl_Event_Dispatch earlier_dispatch = nullptr;

int main_window_dispatch(int event, Fl_Window* window)
{
    Korvane* k = window ? dynamic_cast<Korvane*>(window->top_window()) : nullptr;
    if (k && k->edit_key(event)) return 1;
    const int taken = earlier_dispatch ? earlier_dispatch(event, window) : Fl::handle_(event, window);
    // A title typed, a switch or a slider let go: the mark follows.
    if (k && (event == FL_RELEASE || event == FL_KEYUP || event == FL_UNFOCUS)) k->refresh_unsaved_mark();
    return taken;
}

void install_main_window_dispatch()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    earlier_dispatch = Fl::event_dispatch();
    Fl::event_dispatch(main_window_dispatch);
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

Korvane::Korvane(int width, int height, const char* title) : Korvane(width, height, title, KorvaneSetup{}) {}

Korvane::Korvane(int width, int height, const char* title, const KorvaneSetup& setup)
    : Fl_Double_Window(width, height, title)
{
    build(setup);
}

void Korvane::build(const KorvaneSetup& setup)
{
    if (setup.driver) {
        session_.driver = setup.driver;
    } else {
        session_.own_driver = std::make_unique<SerialDriver>();
        session_.driver = session_.own_driver.get();
    }
    session_.clock = setup.clock ? setup.clock : &system_clock();
    exit_ = setup.exit;
    session_.access_hint = setup.access_hint;
    demo_at_start_ = setup.demo;
    settings_ = std::make_unique<SettingsController>(*this);
    maintenance_ = std::make_unique<MaintenanceController>(*this);
    offline_ = std::make_unique<OfflineController>(*this);
    arp_ = std::make_unique<ArpController>(*this);
    connection_ = std::make_unique<ConnectionController>(*this);
    presets_ = std::make_unique<PresetsController>(*this, session_);
    session_.read_selected_slot = [this] { presets_->read_selected_slot(); };
    session_.run_slot_action = [this](KV_TransportPanel::SlotEvent event, KV_TransportPanel::SlotAction slots,
                                      bool asked) { presets_->run_slot_action(event, slots, asked); };
    callback(close_cb, this);

    use_layout_fonts();

    // The window's group takes the children from here on; the data folder.
    begin();
    session_.presets_folder = presets_folder();
    // What killed runs left behind there goes first.
    ops::remove_leftovers(session_.presets_folder, std::time(nullptr));

    // Artwork; a missing file gives an empty image and nothing is said.
    load_artwork();

    // The widgets, the selector and its tables.
    build_widgets();
    // The USB steps are for those who ask for them.
    if (!setup.verbose) usb->set_console([](const std::string&) {});

    // The global record starts from the pedal's factory map.
    fill_default_globals();

    install_main_window_dispatch();

    // Show the window, at the zoom this screen wants; start() looks for the pedal.
    end();
    set_desktop_identity(*this);
    set_dialog_owner(this);
    set_tooltips(*this);
    const ZoomChoice zoom = start_zoom(w(), h());
    if (zoom.factor != 1.0) zoom_window(*this, zoom.factor, false);
    allow_user_sizing(*this);
    std::printf("Window zoom %s (%s).\n", zoom_text(zoom.factor).c_str(), zoom.source.c_str());
    show();
    resize(x(), y(), w(), h());
}

void Korvane::fill_default_globals()
{
    session_.globals = GlobalsRecord::startup();
}

// ---------------------------------------------------------------------------
// Input

void Korvane::resize(int x, int y, int w, int h)
{
    const bool sized = w != this->w() || h != this->h();
    Fl_Double_Window::resize(x, y, w, h);
    if (sized && shown()) fit_zoom_to_window(*this);
}

int Korvane::handle(int event)
{
    if (session_.busy > 0) {
        switch (event) {
        case FL_PUSH:
            // Quit still ends the program at once.
            if (quit_button && Fl::event_inside(quit_button)) break;
            return 1;
        case FL_SHORTCUT:
        case FL_KEYBOARD:
        case FL_MOUSEWHEEL:
        case FL_DND_ENTER:
        case FL_DND_DRAG:
        case FL_DND_RELEASE:
        case FL_PASTE:
            return 1;
        default:
            break;
        }
    }
    return Fl_Double_Window::handle(event);
}

// ---------------------------------------------------------------------------
// Status board

void Korvane::status(const std::string& text) { text_board->write_status(text); }

void Korvane::status(const std::string& first, const std::string& second) { text_board->write_status(first, second); }

int Korvane::status_lines() const { return text_board ? text_board->status_lines() : 0; }

// ---------------------------------------------------------------------------
// The connect sequence

std::string Korvane::firmware_text() const { return pedal_info().firmware_text(); }

bool Korvane::firmware_supported(uint8_t version_byte) { return ops::PedalInfo::supported(version_byte); }

ops::PedalInfo Korvane::pedal_info() const { return session_.pedal; }

void Korvane::end_process(int code)
{
    // The simulated pedal does not outlive the program.
    if (connection_) connection_->end_simulated_pedal();
    if (exit_) {
        exit_(code);
        return;
    }
    std::fflush(stdout);
    std::exit(code);
}


Korvane::Exchange::Exchange(Korvane& w) : w_(w), hold_(*w.session_.link) { ++w_.session_.busy; }

bool Korvane::connect(bool interactive)
{
    const std::optional<ops::ConnectOutcome> found = connection_->connect(interactive);
    // A pedal whose firmware is too old cannot be edited: the Connect
    // button ends the program (the alert has said so); at the start the
    // caller of start() decides.
    if (found == ops::ConnectOutcome::TooOld && interactive) end_process(0);
    last_connect_ = found;
    return found == ops::ConnectOutcome::Online;
}

Korvane::StartResult Korvane::start()
{
    // Drawn now: the pause before Read All takes no events.
    paint_before_waiting(*this);
    if (demo_at_start_) last_connect_ = connection_->try_simulated_pedal(false);
    else connect(false);
    return last_connect_ == ops::ConnectOutcome::TooOld ? StartResult::EndProgram : StartResult::Running;
}

bool Korvane::pedal_simulated() const { return connection_ && connection_->pedal_simulated(); }

void Korvane::try_simulated_pedal()
{
    if (exchange_running() || !discard_changes_ok()) return;
    const std::optional<ops::ConnectOutcome> found = connection_->try_simulated_pedal(true);
    if (found) last_connect_ = found;
}

void Korvane::place_demo_button()
{
    if (!demo_button) return;
    const bool found = !session_.pedal.serial_number.empty() || !session_.pedal_in_use.empty();
    if (found) demo_button->hide();
    else demo_button->show();
}

bool Korvane::read_everything()
{
    Exchange exchange(*this);
    const ops::EverythingRead r = ops::read_everything(*session_.link, *session_.reporter, session_.work_image());
    show_everything_read(r);
    return r.ok();
}

// ---------------------------------------------------------------------------
// Callbacks

void Korvane::connect_cb(Fl_Widget*, void* data)
{
    auto* w = static_cast<Korvane*>(data);
    if (w->exchange_running()) return;
    if (!w->discard_changes_ok()) return;
    w->connect(true);
}

bool Korvane::refuse_leaving()
{
    if (!writing_to_pedal()) return false;
    status(kWaitForWriteText);
    return true;
}

void Korvane::quit_cb(Fl_Widget*, void* data)
{
    auto* w = static_cast<Korvane*>(data);
    if (w->refuse_leaving()) return;
    if (!w->discard_changes_ok()) return;
    w->end_process(0);
}

// The close box only hides the window, so that the event loop ends. Escape
// reaches here too: it closes what lies on top and never ends the program.
void Korvane::close_cb(Fl_Widget*, void* data)
{
    auto* w = static_cast<Korvane*>(data);
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
        w->escape_pressed();
        return;
    }
    if (w->refuse_leaving()) return;
    // An unsaved edit is asked about first, as Quit does.
    if (!w->discard_changes_ok()) return;
    w->hide();
}

void Korvane::write_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->presets_->on_write(); }

void Korvane::selector_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->preset_selected(); }

void Korvane::tabs_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->tab_changed(); }

void Korvane::infographic_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->infographic_toggled(); }

void Korvane::templates_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->templates_toggled(); }

// ---------------------------------------------------------------------------
// Locking controls while an operation runs

Korvane::Locked Korvane::lock_main_controls()
{
    Locked locked;
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(dashboard), static_cast<Fl_Widget*>(connect_button),
                         static_cast<Fl_Widget*>(menu_button), static_cast<Fl_Widget*>(quit_button)}) {
        locked.emplace_back(w, w->active() != 0);
        w->deactivate();
    }
    return locked;
}

Korvane::Locked Korvane::lock_under(const Fl_Widget* panel, Fl_Group* group)
{
    Locked locked;
    const auto overlaps = [panel](const Fl_Widget* w) {
        return w->x() < panel->x() + panel->w() && panel->x() < w->x() + w->w() && w->y() < panel->y() + panel->h() &&
               panel->y() < w->y() + w->h();
    };
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* c = group->child(i);
        if (c == panel || !c->visible() || !c->active() || !overlaps(c) || dynamic_cast<Fl_Box*>(c)) continue;
        Fl_Group* inner = c->as_group();
        if (inner && inner->children() > 0 && !dynamic_cast<Fl_Text_Display*>(c)) {
            for (const auto& l : lock_under(panel, inner)) locked.push_back(l);
            continue;
        }
        locked.emplace_back(c, true);
        c->deactivate();
    }
    return locked;
}

void Korvane::unlock(const Locked& locked)
{
    // Each control gets back its own state: one that another control
    // locked (the help picture, a panel) stays locked.
    for (const auto& [w, was_active] : locked)
        if (was_active) w->activate();
}


// ---------------------------------------------------------------------------
// Backup, restore and maintenance (app/MaintenanceController.h)

void Korvane::backup_presets() { maintenance_->backup_presets(); }

void Korvane::restore_presets() { maintenance_->restore_presets(); }

void Korvane::update_library() { maintenance_->update_library(); }

void Korvane::factory_reset() { maintenance_->factory_reset(); }

bool Korvane::safety_backup(const std::string& what, const std::vector<std::string>& never_remove)
{
    return maintenance_->safety_backup(what, never_remove);
}

void Korvane::firmware_menu_backup() { maintenance_->firmware_menu_backup(); }


// ---------------------------------------------------------------------------
// Pedal configuration

GlobalsRecord Korvane::globals_record() const
{
    return session_.globals;
}

void Korvane::open_global_settings() { settings_->open_global_settings(); }

void Korvane::open_midi_settings() { settings_->open_midi_settings(); }

// ---------------------------------------------------------------------------
// The presets on the pedal and the edit (app/PresetsController.h)

void Korvane::preset_selected() { presets_->preset_selected(); }

void Korvane::show_everything_read(const ops::EverythingRead& r) { presets_->show_everything_read(r); }

ops::EditedPreset Korvane::edited_preset() const { return presets_->edited_preset(); }

EditState Korvane::edit_state() const { return presets_->edit_state(); }

void Korvane::restart_history() { presets_->restart_history(); }

bool Korvane::unsaved_changes() const { return presets_->unsaved_changes(); }

void Korvane::refresh_unsaved_mark()
{
    if (presets_) presets_->refresh_unsaved_mark();
}

bool Korvane::discard_changes_ok() { return presets_->discard_changes_ok(); }

void Korvane::note_edit() { presets_->note_edit(); }

bool Korvane::edit_key(int event) { return presets_->edit_key(event); }

bool Korvane::undo_edit() { return presets_->undo_edit(); }

bool Korvane::redo_edit() { return presets_->redo_edit(); }

void Korvane::end_compare() { presets_->end_compare(); }

void Korvane::set_compare(bool on) { presets_->set_compare(on); }

void Korvane::place_compare() { presets_->place_compare(); }

void Korvane::on_transport_panel(const KV_TransportPanel::SlotRequest& request)
{
    // A slot dragged onto another, or slots exported, are the Library's.
    using Event = KV_TransportPanel::SlotEvent;
    switch (request.event) {
    case Event::slot_drop: library_controller_->slot_dropped(request.slots.from, request.slots.to); return;
    case Event::slot_export: library_controller_->export_slots(request.slots.from, request.slots.to); return;
    default: presets_->on_transport_panel(request); return;
    }
}

void Korvane::show_sequences(const ops::EngineSequences& sequences) { arp_->show_sequences(sequences); }

void Korvane::prepare_arp_editor() { arp_->prepare_arp_editor(); }

void Korvane::arp_follow_parameters() { arp_->arp_follow_parameters(); }

ops::ArpTarget Korvane::arp_target(Engine e, bool for_save) const { return arp_->arp_target(e, for_save); }

} // namespace kv
