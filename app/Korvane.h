#pragma once
// The program's one window (the main window). It builds every panel once
// and owns them for the life of the process, owns the pedal session that
// the panels' controllers share (app/Session.h: the link, the pedal's
// serial number, firmware version and mode, the global record, the image of
// all presets, the edit's history) and is the only place where panels meet:
// every panel announces what happened through its typed callbacks
// (on_preview, on_request, on_action, ...), which the window wires to the
// handler of the controller that owns the flow; that runs the pedal
// operation and loads the results back. Controllers never call each
// other; what one offers another goes through the window or the session.
//
// The constructor creates the data folder, loads the artwork, builds the
// panels and shows the window; it sends nothing to the pedal. start() then
// runs the start-up connect sequence and says whether the program goes on
// (a pedal whose firmware is too old ends it: the caller's decision).

#include "library/KV_TransportPanel.h"
#include "link/FtDriver.h"
#include "link/UsbLink.h"
#include "ops/Arp.h"
#include "ops/Backup.h"
#include "ops/Connect.h"
#include "ops/Texts.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "settings/GlobalsRecord.h"
#include "preset/EditHistory.h"
#include "app/Session.h"

#include <FL/Fl_Double_Window.H>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Fl_Box;
class Fl_Button;
class Fl_Choice;
class Fl_Group;
class Fl_Native_File_Chooser;
class Fl_PNG_Image;
class Fl_Tabs;
class Fl_Widget;
struct Fl_Menu_Item;

namespace kv {

class KV_ArpEditor;
class KV_ExpressionEditor;
class KV_GloConfPanel;
class KV_LibraryPanel;
class LibraryController;
class SettingsController;
class MaintenanceController;
class OfflineController;
class ArpController;
class ConnectionController;
class PresetsController;
class KV_MidiConfPanel;
class KV_Parameters;
class KV_PresetPanel;
class KV_PresetPrompt;
class KV_TemplatePanel;
class KV_TextBoard;
class KV_TransportPanel;
class KV_UpdatePanel;
class KV_UsbController;

class WindowReporter;
struct KorvaneTestAccess;

// The maker's pages and support address, as the dialogs name them.
constexpr const char* kDownloadPage = ops::kDownloadPage;
constexpr const char* kSupportEmail = ops::kSupportEmail;
constexpr const char* kWindowTitle = "Brakwell - Korvane 2.5.1";
constexpr int kWindowWidth = 1070;
constexpr int kWindowHeight = 650;
// Drawn beside "Save preset in pedal" while the edit differs from the slot.
constexpr const char* kUnsavedCaption = "*  edited, not saved";

// How the window reaches the pedal, tells time and ends the process (Quit,
// or Connect finding a firmware too old). The program passes nothing (the
// serial-port driver, the system clock and std::exit); tests pass an
// in-process driver, a manual clock and a hook that records the exit.
struct KorvaneSetup {
    FtDriver* driver = nullptr;                 // null: the program's own serial-port driver
    Clock* clock = nullptr;                     // null: system_clock()
    std::function<void(int code)> exit;         // null: std::exit
    // Asked for one more status line when no pedal could be opened (a pedal
    // that is there but may not be opened); null: none.
    std::string (*access_hint)() = nullptr;
    // The link's console lines (every USB step) on standard output; off,
    // they go nowhere (`korvane --verbose`, KORVANE_VERBOSE=1).
    bool verbose = false;
    // Start with a simulated pedal instead of looking for one (`korvane --demo`).
    bool demo = false;
};

class Korvane : public Fl_Double_Window {
public:
    Korvane(int width, int height, const char* title);
    Korvane(int width, int height, const char* title, const KorvaneSetup& setup);
    ~Korvane() override;
    Korvane(const Korvane&) = delete;
    Korvane& operator=(const Korvane&) = delete;

    void draw() override;
    // A size given by the user (or the window manager) sets the zoom.
    void resize(int x, int y, int w, int h) override;
    // Input that would start a pedal operation is held back while an exchange runs.
    int handle(int event) override;

    // --- the connect sequence ---
    // What the start-up connect sequence leaves the program to do.
    enum class StartResult {
        Running,      // the window goes on (online, offline or in update mode)
        EndProgram,   // the pedal's firmware is too old (the alert was shown): end with status 0
    };
    // Draws the window and runs the connect sequence, not interactive. The
    // constructor sends nothing; the program calls this once after it.
    StartResult start();
    // Finds the pedal and reads it: the Connect button runs it interactive,
    // start() not. Returns true when the pedal was read (online).
    bool connect(bool interactive);
    // Reads all presets into the window and the panels, then slot 0 into the
    // Dashboard. False when Read All failed (already reported).
    bool read_everything();

    // --- hand-offs to the Arp Editor page ---
    // After the Dashboard's block changed (its `parameters` preview): an
    // engine running the Arpeggiator relabels its snap grid for the scale in
    // secondary parameter 2.
    void arp_follow_parameters();
    // Sequences the pedal sent for the Dashboard's preset (a preset read, the
    // Dashboard's sequence choice): each engine's panel shows its own.
    void show_sequences(const ops::EngineSequences& sequences);

    // --- backup and restore (the main menu's entries) ---
    // Asks, then saves all presets of the pedal into the day's backup file in
    // the presets folder.
    void backup_presets();
    // Asks, lets the user choose a backup file and writes it into the pedal
    // with the editing controls inactive; then reads everything back (also
    // when the chooser was cancelled or the file refused).
    void restore_presets();
    // The message that the prompt's "Tips" shows.
    static std::string offline_tips_text();

    // --- navigation (the callbacks of the window's own widgets) ---
    void tab_changed();
    void infographic_toggled();
    void templates_toggled();
    void preset_selected();   // preset_selector picked an item

    // --- pedal configuration (the main menu's " > Global Settings" and
    // " > MIDI Settings") ---
    // Reads the global record from the pedal, loads the panel and shows it
    // over the editor with the other controls locked. A failed read opens
    // the panel as it was left, with Confirm off.
    void open_global_settings();
    void open_midi_settings();
    // The editor's copy of the global record.
    GlobalsRecord globals_record() const;

    // --- status board ---
    // One counted status line (text without the stamp, e.g. "  Ready.").
    void status(const std::string& text);
    // Two counted lines with one time stamp.
    void status(const std::string& first, const std::string& second);
    int status_lines() const;

    // True while a pedal exchange runs; controls that start one are held back.
    bool exchange_running() const { return session_.busy > 0; }
    // Every preset has been read from the pedal since the last connect began.
    bool online() const { return session_.online; }

    // Held by every operation that writes to the pedal (a store, a restore,
    // firmware pages, library blocks) for as long as it runs. Meanwhile Quit
    // and the close box are refused with a status line: leaving in the middle
    // would leave a slot or a block half written. A read may be abandoned.
    class WriteGuard {
    public:
        explicit WriteGuard(Korvane& w) : w_(w)
        {
            ++w_.session_.writing;
            w_.session_.written_since_backup = true;
        }
        ~WriteGuard()
        {
            --w_.session_.writing;
            w_.session_.written_since_backup = true;
        }
        WriteGuard(const WriteGuard&) = delete;
        WriteGuard& operator=(const WriteGuard&) = delete;

    private:
        Korvane& w_;
    };
    bool writing_to_pedal() const { return session_.writing > 0; }
    static constexpr const char* kWaitForWriteText = "  Please wait: the pedal is being written.";

    // --- state read by the panels' handlers and by tests ---
    int firmware_major() const { return session_.pedal.major(); }
    int firmware_minor() const { return session_.pedal.minor(); }
    int firmware_patch() const { return session_.pedal.patch(); }
    bool pedal_normal() const { return session_.pedal.normal(); }
    // "%d.%d.%d" of the version the pedal reported.
    std::string firmware_text() const;
    ops::PedalInfo pedal_info() const;
    // The connected pedal is the simulated one "Try with a simulated pedal"
    // started: the title and the device line say so.
    bool pedal_simulated() const;
    // " (simulated)" for that pedal, else nothing.
    std::string simulated_mark() const { return pedal_simulated() ? " (simulated)" : ""; }
    // "Try with a simulated pedal" (the header's button, the not-found dialog).
    void try_simulated_pedal();
    // True when a firmware version byte is one the program works with (2.3.0 and later).
    static bool firmware_supported(uint8_t version_byte);
    const std::string& presets_folder_path() const { return session_.presets_folder; }

    // The texts of the dialogs.
    static std::string usb_problem_text();
    static std::string not_found_text();
    static std::string too_old_text();
    static std::string midi_cables_text();

    // --- the edit's safety nets ---
    // The edited preset (block, title, switches, programs) differs from what
    // the selected slot holds on the pedal. False while that is unknown.
    bool unsaved_changes() const;
    // Asked before anything replaces the edit (another slot, an offline
    // preset, Connect, a restore, a factory reset, Quit): true when there is
    // nothing unsaved or the user chose "Discard" in "Discard the changes to
    // <title>?". Ends Compare first.
    bool discard_changes_ok();
    // The safety backup of the pedal's presets and global record before
    // `what` overwrites them (ops/AutoBackup.h); asks whether to go on when
    // it fails. True: go on.
    // `never_remove`: the backup being restored, which the pruning of old
    // safety backups must keep.
    bool safety_backup(const std::string& what, const std::vector<std::string>& never_remove = {});
    // Menu > Update Firmware: the last moment the pedal can be read before
    // its update. Backed up when a pedal was read and no backup of it from
    // this run already holds what it holds now (nothing written since).
    void firmware_menu_backup();
    // Ctrl+Z, Ctrl+Shift+Z / Ctrl+Y: one edit back or forward, shown in the
    // panels and played on the pedal with the previews the edit sent.
    bool undo_edit();
    bool redo_edit();
    const EditHistory& edit_history() const { return session_.history; }
    // Compare: the pedal plays the selected slot's stored preset and the
    // panels show it (nothing is stored); off again, the edit comes back,
    // on the pedal too.
    void set_compare(bool on);
    bool comparing() const { return session_.comparing; }
    // After an edit of any panel: a new undo step (unless nothing changed)
    // and the unsaved mark brought up to date.
    void note_edit();
    // The unsaved mark of the selected row and the caption beside WRITE.
    void refresh_unsaved_mark();
    // Keys the window takes before the focused widget: the undo shortcuts.
    // True when the event was one of them.
    bool edit_key(int event);

    // The preset selector's item text for slot s (0 to 31), before the toolkit splits it.
    static std::string selector_item_text(int slot);

    // --- the main menu (the Menu button) ---
    // One entry as the menu would offer it now: its text and whether it can
    // be picked (headings and separators never; the pedal entries only
    // while the preset list is active).
    struct MenuEntry {
        std::string text;
        bool active = false;
    };
    std::vector<MenuEntry> main_menu_entries() const;
    // Runs the entry with this text as picking it from the menu does; false
    // when there is none or it is inactive.
    bool pick_menu_entry(const std::string& text);
    // "  Korvane - version.2.5.1 ..." (" > About Korvane").
    static std::string about_text();

    // --- pedal maintenance (menu entries) ---
    void update_library();
    void factory_reset();

private:
    // Widgets and panels, owned by the window.
    Fl_Box* backdrop_box = nullptr;
    Fl_Box* header_box = nullptr;
    Fl_Box* side_box = nullptr;
    Fl_PNG_Image* app_logo = nullptr;
    Fl_PNG_Image* maker_logo = nullptr;
    Fl_PNG_Image* infographic_image = nullptr;
    Fl_PNG_Image* backdrop_image = nullptr;
    Fl_Tabs* tabs = nullptr;
    KV_Parameters* dashboard = nullptr;
    KV_PresetPanel* preset_panel = nullptr;
    KV_PresetPrompt* preset_prompt = nullptr;
    KV_TransportPanel* transport_panel = nullptr;
    KV_UsbController* usb = nullptr;
    KV_UpdatePanel* update_panel = nullptr;
    KV_GloConfPanel* glo_conf_panel = nullptr;
    KV_MidiConfPanel* midi_conf_panel = nullptr;
    KV_ExpressionEditor* expression_editor = nullptr;
    KV_ArpEditor* arp_editor = nullptr;
    KV_LibraryPanel* library_page = nullptr;   // the "Library" tab (app/LibraryController.h)
    Fl_Button* connect_button = nullptr;
    Fl_Button* demo_button = nullptr;   // "Try with a simulated pedal", while no pedal is found
    Fl_Button* menu_button = nullptr;
    Fl_Button* quit_button = nullptr;
    Fl_Button* write_button = nullptr;
    Fl_Button* compare_button = nullptr;
    Fl_Choice* preset_selector = nullptr;
    Fl_Button* infographic_button = nullptr;
    KV_TextBoard* text_board = nullptr;
    Fl_Button* templates_button = nullptr;
    KV_TemplatePanel* template_panel = nullptr;
    Fl_Native_File_Chooser* backup_chooser = nullptr;

    // The preset selector's items and the slots they stand for.
    int preset_of_item[39] = {};
    int item_of_preset[4][8] = {};

    // The controllers of the areas, each in its own file.
    friend class LibraryController;
    friend class SettingsController;
    friend class MaintenanceController;
    friend class OfflineController;
    friend class ArpController;
    friend class ConnectionController;
    friend class PresetsController;
    friend struct KorvaneTestAccess;
    // The desktop's side of the window (app/Desktop.h) reaches its controls.
    friend void zoom_window(Korvane& window, double factor, bool remember);
    friend void fit_zoom_to_window(Korvane& window);
    friend bool window_shortcut(Korvane& window, int event);
    friend void draw_keyboard_focus(Korvane& window);
    friend void set_tooltips(Korvane& window);
    friend std::vector<Fl_Widget*> tab_order(Korvane& window);
    std::unique_ptr<LibraryController> library_controller_;
    std::unique_ptr<SettingsController> settings_;
    std::unique_ptr<MaintenanceController> maintenance_;
    std::unique_ptr<OfflineController> offline_;
    std::unique_ptr<ArpController> arp_;
    std::unique_ptr<ConnectionController> connection_;
    std::unique_ptr<PresetsController> presets_;
    // Marks an exchange as running for its lifetime (nests).
    class Exchange {
    public:
        // The pedal's port stays open and locked for the whole operation.
        explicit Exchange(Korvane& w);
        ~Exchange() { --w_.session_.busy; }
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;

    private:
        Korvane& w_;
        UsbLink::Hold hold_;
    };

    void build(const KorvaneSetup& setup);
    void load_artwork();
    // The widgets, in the order they were always built (app/KorvaneLayout.cpp).
    void build_widgets();
    void build_backdrop();
    void build_pages();
    void build_bottom_controls();
    void build_settings_panels();
    void build_preset_controls();
    void build_link();
    static void use_layout_fonts();
    void fill_selector();
    void fill_tables();
    void fill_default_globals();
    void end_process(int code);
    // The simulated-pedal button shown while no pedal is found.
    void place_demo_button();
    // True while the update, global or MIDI panel is shown over the editor.
    bool modal_panel_shown() const;
    // What the connect sequence and reading everything found, shown.
    void show_everything_read(const ops::EverythingRead& r);
    // The Arp Editor page set up for the Dashboard's preset (tab selected,
    // preset read); inactive while the global or MIDI settings are open.
    void prepare_arp_editor();
    // Where the Arp Editor's shown sequence of an engine goes (app/ArpController.h).
    ops::ArpTarget arp_target(Engine e, bool for_save = false) const;
    // The main menu as it stands now, ending with its terminator.
    void fill_main_menu(std::vector<Fl_Menu_Item>& items);

    // The preset as the Dashboard holds it, titled as the selected slot.
    ops::EditedPreset edited_preset() const;
    // The Dashboard, Connect, Menu and Quit, locked while a preset is
    // written; unlock gives each the state it had before.
    using Locked = std::vector<std::pair<Fl_Widget*, bool>>;
    Locked lock_main_controls();
    void unlock(const Locked& locked);
    // Locks every control of `group` (and of the groups in it) that lies
    // under `panel`, so that nothing shown over by a panel takes clicks.
    Locked lock_under(const Fl_Widget* panel, Fl_Group* group);
    // Escape: closes the panel, prompt, chooser or picture on top, as its Cancel would.
    void escape_pressed();
    // The editor's state as a history step.
    EditState edit_state() const;
    // A preset that is not the slot's was loaded (an offline preset): a new
    // history, the slot's content still the reference for "unsaved".
    void restart_history();
    void end_compare();
    // Compare shown and usable only on the Dashboard with nothing over it,
    // and only while the selected slot's stored preset is known.
    void place_compare();

    // What Menu and the preset pages ask the window to do.
    void on_menu();
    void on_transport_panel(const KV_TransportPanel::SlotRequest& request);

    // The settings panels' and the expression editor's dialogs.
    void connect_panel_dialogs();
    // Dashboard controls under the template chooser while it is shown.
    std::vector<std::pair<Fl_Widget*, bool>> template_locked_;

    // Callbacks; each gets the window as user data.
    static void connect_cb(Fl_Widget*, void*);
    static void menu_cb(Fl_Widget*, void*);
    static void quit_cb(Fl_Widget*, void*);
    static void close_cb(Fl_Widget*, void*);
    // Quit or the close box while a write runs: says so and stays. True then.
    bool refuse_leaving();
    static void write_cb(Fl_Widget*, void*);
    static void selector_cb(Fl_Widget*, void*);
    static void tabs_cb(Fl_Widget*, void*);
    static void infographic_cb(Fl_Widget*, void*);
    static void templates_cb(Fl_Widget*, void*);

    PedalSession session_;
    std::function<void(int)> exit_;
    std::optional<ops::ConnectOutcome> last_connect_;   // what the last connect sequence found
    bool demo_at_start_ = false;                         // `korvane --demo`
};

} // namespace kv
