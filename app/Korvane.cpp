// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Korvane.h"

#include "app/Dialogs.h"
#include "app/FirstPaint.h"
#include "app/LibraryController.h"
#include "app/SettingsController.h"
#include "app/MaintenanceController.h"
#include "app/OfflineController.h"
#include "app/ArpController.h"
#include "app/ConnectionController.h"
#include "library/KV_LibraryPanel.h"
#include "app/WindowReporter.h"
#include "app/KV_TextBoard.h"
#include "widgets/Artwork.h"
#include "app/Resources.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/BackupFile.h"
#include "library/core/OfflinePresets.h"
#include "link/SerialDriver.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "ops/Settings.h"
#include "ops/AutoBackup.h"
#include "ops/Slots.h"
#include "ops/Texts.h"
#include "ops/Transfers.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "preset/AlgorithmLibrary.h"
#include "settings/ExpressionMapping.h"
#include "widgets/Palette.h"
#include "widgets/SafeChoice.h"
#include "widgets/TextInput.h"
#include "widgets/Zoom.h"
#include "app/Desktop.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Shared_Image.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>

namespace kv {

namespace {

constexpr Fl_Color kTabLabelColor = 0xc0c0c000;
constexpr Fl_Color kCaptionColor = 0x33333300;

// Panel colour: a toolkit colour darkened twice towards black.
Fl_Color darkened(Fl_Color c)
{
    return fl_color_average(fl_color_average(c, FL_BLACK, 0.67f), FL_BLACK, 0.67f);
}

// The window was laid out for Arial's metrics. The toolkit's default sans
// face on Linux is much wider, so headings run into their neighbours; ask
// fontconfig for Arial, which gives Arial itself or a metric-compatible face
// (Liberation Sans, Nimbus Sans), and falls back to the default sans face.
void use_layout_fonts()
{
    static bool done = false;
    if (done) return;
    done = true;
    Fl::set_font(FL_HELVETICA, " Arial");
    Fl::set_font(FL_HELVETICA_BOLD, "BArial");
    Fl::set_font(FL_HELVETICA_ITALIC, "IArial");
    Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PArial");
}

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
// Texts

std::string Korvane::usb_problem_text() { return ops::usb_problem_text(); }

std::string Korvane::not_found_text() { return ops::not_found_text(); }

std::string Korvane::too_old_text() { return ops::too_old_text(); }

std::string Korvane::midi_cables_text() { return ops::midi_cables_text(); }

std::string Korvane::selector_item_text(int slot)
{
    if (slot < 0 || slot > 31) return {};
    const int page = slot / 8 + 1;
    const int bank = slot / 2 + 1;
    const char patch = slot % 2 == 0 ? 'A' : 'B';
    // Slot 17 has always read with two spaces before "Patch"; users know the list by it.
    const char* dash = slot == 17 ? " -  Patch " : " - Patch ";
    char b[96];
    std::snprintf(b, sizeof b, "       P a g e  %d/  Page %d : Bank %d%s%c", page, page, bank, dash, patch);
    return b;
}

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
        driver_ = setup.driver;
    } else {
        own_driver_ = std::make_unique<SerialDriver>();
        driver_ = own_driver_.get();
    }
    clock_ = setup.clock ? setup.clock : &system_clock();
    exit_ = setup.exit;
    access_hint_ = setup.access_hint;
    settings_ = std::make_unique<SettingsController>(*this);
    maintenance_ = std::make_unique<MaintenanceController>(*this);
    offline_ = std::make_unique<OfflineController>(*this);
    arp_ = std::make_unique<ArpController>(*this);
    connection_ = std::make_unique<ConnectionController>(*this);
    callback(close_cb, this);

    use_layout_fonts();

    // 1. The window's group takes the children from here on; the data folder.
    begin();
    presets_folder_ = presets_folder();
    // What killed runs left behind there goes first.
    ops::remove_leftovers(presets_folder_, std::time(nullptr));

    // 2. Artwork; a missing file gives an empty image and nothing is said.
    load_artwork();

    // 3 to 7. The widgets, the selector and its tables.
    build_widgets();

    // 8. The global record starts from the pedal's factory map.
    fill_default_globals();

    install_main_window_dispatch();

    // 9. Show the window, at the zoom this screen wants, and look for the pedal.
    end();
    set_desktop_identity(*this);
    set_tooltips(*this);
    const ZoomChoice zoom = start_zoom(w(), h());
    if (zoom.factor != 1.0) zoom_window(*this, zoom.factor, false);
    std::printf("Window zoom %s (%s).\n", zoom_text(zoom.factor).c_str(), zoom.source.c_str());
    show();
    resize(x(), y(), w(), h());
    if (setup.connect_at_start) {
        // Drawn now: the pause before Read All takes no events.
        paint_before_waiting(*this);
        connect(false);
    }
}

void Korvane::load_artwork()
{
    fl_register_images();
    app_logo = load_png_artwork(image_path("appLogo_(149x37).png"));
    maker_logo = load_png_artwork(image_path("brakwellLogo.png"));
    infographic_image = load_png_artwork(image_path("Infographic_[1044x541].png"));
    backdrop_image = load_png_artwork(image_path("backdrop_[700x592].png"));
}

static bool image_usable(Fl_Image* img) { return img && img->w() > 0 && img->h() > 0 && !img->fail(); }

void Korvane::build_widgets()
{
    const int W = w();
    const int H = h();

    backdrop_box = new Fl_Box(370, 60, 700, 592);
    backdrop_box->box(FL_FLAT_BOX);
    // Light like the artwork, so that the dark captions drawn over it read
    // even when the backdrop picture is missing.
    backdrop_box->color(fl_rgb_color(176, 178, 180));
    if (image_usable(backdrop_image)) backdrop_box->image(backdrop_image);

    header_box = new Fl_Box(0, 0, W + 600, 63);
    header_box->box(FL_FLAT_BOX);
    header_box->color(kDarkColor);

    side_box = new Fl_Box(0, 64, 370, 587);
    side_box->box(FL_BORDER_BOX);
    side_box->color(kDarkColor);

    tabs = new Fl_Tabs(375, 16, W - 380, 650);
    tabs->box(FL_PLASTIC_DOWN_FRAME);
    tabs->labelcolor(kAccentColor);
    tabs->selection_color(kAccentColor);
    tabs->labelsize(14);
    tabs->callback(tabs_cb, this);
    {
        dashboard = new KV_Parameters(375, 62, W - 380, 484, " Dashboard ");
        dashboard->labelfont(0);
        dashboard->labelsize(16);
        dashboard->labelcolor(kTabLabelColor);
        dashboard->on_preview = [this](PreviewRequest r) { on_dashboard(r); };
        dashboard->set_clock(*clock_);
        dashboard->show_tips = [](const char* text) { dialogs().message(text); };

        expression_editor = new KV_ExpressionEditor(370, 63, W - 370, 590, " Expression ");
        expression_editor->labelfont(0);
        expression_editor->labelsize(13);
        expression_editor->labelcolor(kTabLabelColor);
        expression_editor->on_edit = [this](Engine e) { on_expression_editor(e); };
        expression_editor->hide();

        arp_editor = new KV_ArpEditor(370, 63, W - 370, 590, " Arp Editor ");
        arp_editor->labelfont(0);
        arp_editor->labelsize(13);
        arp_editor->labelcolor(kTabLabelColor);
        arp_editor->on_action = [this](ArpAction a) { arp_->on_arp_editor(a); };
        arp_editor->show_text = [](const std::string& text) { dialogs().message(text); };
        arp_editor->hide();

        library_page = new KV_LibraryPanel(370, 63, W - 370, 590, " Library ");
        library_page->labelfont(0);
        library_page->labelsize(13);
        library_page->labelcolor(kTabLabelColor);
        library_page->on_action = [this](KV_LibraryPanel::Action a) { library_controller_->on_page(a); };
        library_page->hide();
        library_controller_ = std::make_unique<LibraryController>(*this, *library_page);
    }
    tabs->end();
    tabs->value(dashboard);

    preset_panel = new KV_PresetPanel(775, 530, 280, 60);
    preset_panel->box(FL_PLASTIC_DOWN_BOX);
    preset_panel->color(darkened(45));
    preset_panel->on_action = [this](KV_PresetPanel::Action a) { offline_->on_preset_panel(a); };

    preset_prompt = new KV_PresetPrompt(551, H - 383, 340, 220);
    preset_prompt->box(FL_EMBOSSED_BOX);
    preset_prompt->color(darkened(39));
    preset_prompt->on_action = [this](KV_PresetPrompt::Action a) { offline_->on_preset_prompt(a); };
    preset_prompt->hide();

    text_board = new KV_TextBoard(375, H - 50, 515, 48);

    const int board_x = text_board->x();
    connect_button = new Fl_Button(board_x + 520, H - 48, 70, 25, "Connect");
    connect_button->labelfont(0);
    connect_button->labelsize(14);
    connect_button->tooltip("establish connection to pedal");
    connect_button->callback(connect_cb, this);

    menu_button = new Fl_Button(connect_button->x() + connect_button->w(), H - 48, 50, 25, "Menu");
    menu_button->labelfont(0);
    menu_button->labelsize(14);
    menu_button->callback(menu_cb, this);

    quit_button = new Fl_Button(menu_button->x() + menu_button->w(), H - 48, 50, 25, "Quit");
    quit_button->labelfont(0);
    quit_button->labelsize(14);
    quit_button->tooltip("close program");
    quit_button->callback(quit_cb, this);

    update_panel = new KV_UpdatePanel(489, 95, 460, 400);
    update_panel->box(FL_EMBOSSED_BOX);
    update_panel->color(FL_WHITE);
    update_panel->on_request = [this](UpdateRequest r) { maintenance_->on_update_panel(r); };
    update_panel->hide();

    glo_conf_panel = new KV_GloConfPanel(442, 65, 562, 535);
    glo_conf_panel->box(FL_EMBOSSED_BOX);
    glo_conf_panel->color(darkened(39));
    glo_conf_panel->on_answer = [this](ConfAnswer a) { settings_->on_glo_conf_panel(a); };
    glo_conf_panel->hide();

    midi_conf_panel = new KV_MidiConfPanel(380, 64, 680, 583);
    midi_conf_panel->box(FL_EMBOSSED_BOX);
    midi_conf_panel->color(darkened(39));
    midi_conf_panel->on_answer = [this](ConfAnswer a) { settings_->on_midi_conf_panel(a); };
    midi_conf_panel->hide();

    transport_panel = new KV_TransportPanel(5, 135, 360, 470);
    transport_panel->on_request = [this](const KV_TransportPanel::SlotRequest& r) { on_transport_panel(r); };

    // A toolkit menu crashes on some keys once the pointer has left it: the
    // selector installs the guard that stops them (widgets/SafeChoice.h).
    preset_selector = new SafeChoice(385, 532, 200, 26);
    preset_selector->textsize(13);
    preset_selector->selection_color(FL_BLACK);
    preset_selector->callback(selector_cb, this);
    fill_selector();
    fill_tables();

    write_button = new Fl_Button(preset_selector->x() + 205, 530, 78, 28, "WRITE");
    write_button->labelfont(0);
    write_button->labelsize(14);
    write_button->color(kAccentColor);
    write_button->labelcolor(FL_BLACK);
    write_button->tooltip("store the displayed parameter settings to selected preset location");
    write_button->callback(write_cb, this);
    write_button->deactivate();

    compare_button = new Fl_Button(write_button->x() + write_button->w() + 5, 530, 80, 28, "Compare");
    compare_button->type(FL_TOGGLE_BUTTON);
    compare_button->labelfont(0);
    compare_button->labelsize(14);
    compare_button->tooltip("hear the preset as stored in the pedal; click again for your edit");
    compare_button->callback(compare_cb, this);
    compare_button->deactivate();

    // Another slot replaces the edit: asked first when it is unsaved.
    transport_panel->may_select = [this](int) { return discard_changes_ok(); };

    infographic_button = new Fl_Button(98, 615, 150, 26, "INFOGRAPHIC");
    infographic_button->type(FL_TOGGLE_BUTTON);
    infographic_button->labelfont(0);
    infographic_button->labelsize(14);
    infographic_button->callback(infographic_cb, this);

    templates_button = new Fl_Button(606, 67, 230, 26, "-  Combo Algorithm Templates  -");
    templates_button->type(FL_TOGGLE_BUTTON);
    templates_button->labelfont(0);
    templates_button->labelsize(12);
    templates_button->labelcolor(FL_BLACK);
    templates_button->callback(templates_cb, this);

    template_panel = new KV_TemplatePanel(542, 100, 360, 140);
    template_panel->box(FL_EMBOSSED_BOX);
    template_panel->color(darkened(39));
    template_panel->on_pick = [this](int item) { on_template_panel(item); };
    template_panel->hide();

    usb = new KV_UsbController(625, 445, 200, 24, *driver_, *clock_);
    reporter_ = std::make_unique<WindowReporter>(*text_board, *usb);
    // Another program has the pedal: said once per operation, on the board.
    usb->set_in_use_notice([this](const LinkResult& r) {
        reporter_->status("  " + in_use_text(r.holder_pid), "  > Close the other program, then try again.");
        pedal_in_use_ = r.holder_pid > 0 ? "Pedal in use (pid " + std::to_string(r.holder_pid) + ")." : "Pedal in use.";
    });

    backup_chooser = new Fl_Native_File_Chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    backup_chooser->title("Browse Backup File (.bkp)");
    backup_chooser->filter("*.bkp");
    // The presets folder, without its closing slash.
    backup_chooser->directory(presets_folder_.substr(0, presets_folder_.size() - 1).c_str());

    connect_panel_dialogs();
}

void Korvane::fill_selector()
{
    for (int s = 0; s < 32; ++s) {
        const std::string text = selector_item_text(s);
        preset_selector->add(text.c_str());
    }
    preset_selector->value(1);
}

void Korvane::fill_tables()
{
    for (auto& v : preset_of_item) v = 0;
    for (int page = 0; page < 4; ++page)
        for (int k = 0; k < 8; ++k) {
            item_of_preset[page][k] = 10 * page + k + 1;
            preset_of_item[10 * page + k + 1] = 8 * page + k;
        }
}

void Korvane::fill_default_globals()
{
    globals[0] = globals[1] = globals[2] = 0;
    globals[3] = 96;
    globals[4] = 0;
    for (int k = 0; k <= 28; ++k) globals[5 + k] = uint8_t(14 + k);
}

Korvane::~Korvane()
{
    reset_zoom();
    // The images are not widgets: detach them before anything draws again.
    if (backdrop_box) backdrop_box->image(nullptr);
    delete app_logo;
    app_logo = nullptr;
    delete maker_logo;
    maker_logo = nullptr;

    // The panels, in the order they have always been taken down; the window's
    // group then deletes the remaining children.
    auto drop = [this](auto*& widget) {
        if (!widget) return;
        if (widget->parent()) widget->parent()->remove(widget);
        delete widget;
        widget = nullptr;
    };
    drop(backdrop_box);
    drop(preset_panel);
    drop(preset_prompt);
    drop(transport_panel);
    drop(glo_conf_panel);
    drop(midi_conf_panel);
    drop(connect_button);
    drop(menu_button);
    drop(quit_button);
    drop(usb);
    drop(preset_selector);
    drop(write_button);
    drop(templates_button);
    drop(dashboard);
    drop(expression_editor);
    drop(arp_editor);
    drop(tabs);
    drop(update_panel);
    drop(text_board);

    // The process ends soon after the window goes; the chooser and the two
    // large images are freed with it all the same.
    delete backup_chooser;
    backup_chooser = nullptr;
    delete infographic_image;
    infographic_image = nullptr;
    delete backdrop_image;
    backdrop_image = nullptr;
}

// ---------------------------------------------------------------------------
// Drawing

void Korvane::draw()
{
    Fl_Double_Window::draw();

    // The link's progress indicator lies outside the link's own group, so a
    // repaint of only its part of the window (a dialog closed over it) skips
    // the group and leaves the backdrop over the indicator. Paint it here
    // then; the link is the topmost child, so nothing else is covered.
    if (usb && usb->visible() && !fl_not_clipped(usb->x(), usb->y(), usb->w(), usb->h())) {
        Fl_Progress* p = usb->progress;
        if (p) draw_child(*p);
    }

    fl_font(FL_HELVETICA, zoomed_font(9));
    fl_color(FL_WHITE);
    fl_draw("TM", zoomed(872), zoomed(23));

    if (image_usable(app_logo)) zoomed_image(app_logo)->draw(zoomed(720), zoomed(12), zoomed(150), zoomed(39));
    if (image_usable(maker_logo)) zoomed_image(maker_logo)->draw(zoomed(952), zoomed(16), zoomed(130), zoomed(50));

    if (infographic_button && infographic_button->value() && image_usable(infographic_image))
        zoomed_image(infographic_image)->draw(zoomed(43), zoomed(68), zoomed(1044), zoomed(542));

    if (dashboard && dashboard->visible() && !modal_panel_shown()) {
        fl_font(FL_HELVETICA_BOLD, zoomed_font(14));
        fl_color(kCaptionColor);
        fl_draw("Save preset in pedal", zoomed(385), zoomed(520));
        fl_draw("Save preset in computer", zoomed(880), zoomed(520));
        if (unsaved_shown_) {
            fl_font(FL_HELVETICA_BOLD, zoomed_font(12));
            fl_color(fl_rgb_color(160, 0, 0));
            fl_draw(kUnsavedCaption, zoomed(545), zoomed(520));
        }
    }

    fl_font(FL_HELVETICA_BOLD, zoomed_font(12));
    fl_color(FL_WHITE);
    draw_spaced("PRESET               AUTO      BYPASS", zoomed(161), zoomed(83), 12);
    draw_spaced("BANK-                   TITLES                STOMP   ON", zoomed(70), zoomed(103), 12);
    draw_spaced("PC#        PATCH                                                MODE      PC (MIDI)", zoomed(20), zoomed(123), 12);
    fl_draw("Device Info :", zoomed(15), zoomed(20));

    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_draw("(12 char max)", zoomed(145), zoomed(123));

    fl_font(FL_HELVETICA, zoomed_font(18));
    fl_color(fl_color_average(fl_color_average(0x99660000, FL_WHITE, 0.67f), FL_WHITE, 0.67f));
    if (!serial_number.empty()) {
        std::string line = std::string("Serial No. ") + serial_number;
        fl_draw(line.c_str(), zoomed(15), zoomed(45));
    } else {
        fl_draw(pedal_in_use_.empty() ? "Pedal not found." : pedal_in_use_.c_str(), zoomed(15), zoomed(45));
    }

    // The maker's notice, unless the MIDI panel lies over its place.
    if (!(midi_conf_panel && midi_conf_panel->visible())) {
        fl_font(FL_HELVETICA, zoomed_font(12));
        fl_color(kCaptionColor);
        fl_draw("\xC2\xA9 2026 Brakwell Audio", w() - zoomed(175), zoomed(632), zoomed(165), zoomed(14),
                FL_ALIGN_RIGHT);
    }
}

int Korvane::handle(int event)
{
    if (busy_ > 0) {
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

bool Korvane::modal_panel_shown() const
{
    return (update_panel && update_panel->visible()) || (glo_conf_panel && glo_conf_panel->visible()) ||
           (midi_conf_panel && midi_conf_panel->visible());
}

// ---------------------------------------------------------------------------
// Navigation

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
                if (online_) write_button->activate();
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

void Korvane::preset_selected()
{
    const int item = preset_selector->value();
    if (item < 0 || item >= int(sizeof preset_of_item / sizeof preset_of_item[0])) return;
    transport_panel->select_slot(preset_of_item[item]);
    redraw();
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

ops::PedalInfo Korvane::pedal_info() const
{
    ops::PedalInfo p;
    p.serial_number = serial_number;
    p.firmware_version = firmware_version;
    p.pedal_mode = pedal_mode;
    return p;
}

void Korvane::end_process(int code)
{
    if (exit_) {
        exit_(code);
        return;
    }
    std::fflush(stdout);
    std::exit(code);
}


Korvane::Exchange::Exchange(Korvane& w) : w_(w), hold_(*w.usb) { ++w_.busy_; }

bool Korvane::connect(bool interactive) { return connection_->connect(interactive); }

bool Korvane::read_everything()
{
    Exchange exchange(*this);
    const ops::EverythingRead r = ops::read_everything(*usb, *reporter_, work_image());
    show_everything_read(r);
    return r.ok();
}

void Korvane::show_everything_read(const ops::EverythingRead& r)
{
    if (r.outcome == ops::ReadOutcome::ReadAllFailed) return;   // the slots keep what they showed

    // Names and switches, slot 31 down to 0.
    for (int s = 31; s >= 0; --s) {
        transport_panel->set_slot_name(s, image_title(work_buffer, s));
        transport_panel->set_switches_from_flags(s, work_buffer[slot_parameters_offset(s)]);
    }
    if (r.outcome == ops::ReadOutcome::PedalGone) {
        // The pedal went away after Read All: offline, nothing to store into.
        write_button->deactivate();
        return;
    }

    // Slot 0 selected. Selecting shows the name of the slot selected
    // before; slot 0's own name is put back at once.
    preset_selector->value(item_of_preset[0][0]);
    transport_panel->select_slot(0);
    transport_panel->set_slot_name(0, r.slot0.title);
    dashboard->load_record(r.slot0);
    transport_panel->set_switches_from_flags(0, r.slot0.parameters.flags);

    write_button->activate();
    online_ = true;
    show_sequences(r.sequences);
    prepare_arp_editor();
    start_history(true);
}

void Korvane::show_sequences(const ops::EngineSequences& sequences)
{
    const PresetParameters& p = dashboard->params;
    for (Engine e : {Engine::X, Engine::Y}) {
        const auto& seq = sequences[size_t(index_of(e))];
        if (!seq) continue;   // not an arp algorithm, or not read: the page keeps what it showed
        const AlgorithmId id = p.algorithm(e);
        if (!is_arp_algorithm(id)) continue;   // a sequence asked for by a tempo algorithm
        const uint8_t selector = e == Engine::X ? p.sp1_x : p.sp1_y;
        arp_editor->show_sequence(id, code_to_position(id, 0, selector), e, *seq);
    }
}

void Korvane::prepare_arp_editor()
{
    arp_editor->prepare(dashboard->params);
    if (glo_conf_panel->visible() || midi_conf_panel->visible()) arp_editor->deactivate();
}

void Korvane::arp_follow_parameters()
{
    const PresetParameters& p = dashboard->params;
    if (p.algorithm_x == kAlgorithmArpeggiator) arp_editor->set_scale(Engine::X, p.sp2_x);
    if (p.algorithm_y == kAlgorithmArpeggiator) arp_editor->set_scale(Engine::Y, p.sp2_y);
}

ops::ArpTarget Korvane::arp_target(Engine e, bool for_save) const
{
    const PresetParameters& p = dashboard->params;
    ops::ArpTarget t;
    t.engine = e;
    t.algorithm = arp_editor->core(e).algorithm();
    const int picked = for_save ? arp_editor->picked_sequence(e) : -1;
    t.selector = picked >= 0 ? uint8_t(arp_selector(picked)) : (e == Engine::X ? p.sp1_x : p.sp1_y);
    return t;
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

void Korvane::menu_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->on_menu(); }

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

void Korvane::escape_pressed()
{
    if (busy_ > 0) return;
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

void Korvane::write_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->on_write(); }

void Korvane::selector_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->preset_selected(); }

void Korvane::tabs_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->tab_changed(); }

void Korvane::infographic_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->infographic_toggled(); }

void Korvane::templates_cb(Fl_Widget*, void* data) { static_cast<Korvane*>(data)->templates_toggled(); }

// ---------------------------------------------------------------------------
// The main menu

namespace {

constexpr const char* kSoftwarePage = "https://www.brakwell.com/downloads/korvane";
constexpr const char* kContactPage = "https://www.brakwell.com/contact";
constexpr const char* kWarrantyPage = "https://www.brakwell.com/warranty";
constexpr const char* kMakerSite = "www.brakwell.com";

// The information entries: 0 does nothing (headings), then About and the
// three web pages.
void menu_info_cb(Fl_Widget* w, void* data)
{
    const auto code = reinterpret_cast<intptr_t>(data);
    if (!w || code == 0) return;
    switch (code) {
    case 1: dialogs().message(Korvane::about_text()); break;
    case 2: dialogs().open_page(kSoftwarePage); break;
    case 3: dialogs().open_page(kContactPage); break;
    case 4: dialogs().open_page(kWarrantyPage); break;
    case 5: dialogs().message(keyboard_text()); break;
    default: break;
    }
}

void menu_serial_cb(Fl_Widget*, void* data)
{
    const auto* serial = static_cast<const std::string*>(data);
    dialogs().message("Your pedal's serial number is : " + (serial ? *serial : std::string()) + " \n");
}

Korvane* menu_window(void* data) { return static_cast<Korvane*>(data); }

void menu_firmware_cb(Fl_Widget*, void* data)
{
    menu_window(data)->firmware_menu_backup();
    dialogs().message(ops::firmware_instructions_text());
}
void menu_factory_cb(Fl_Widget*, void* data) { menu_window(data)->factory_reset(); }
void menu_library_cb(Fl_Widget*, void* data) { menu_window(data)->update_library(); }
void menu_backup_cb(Fl_Widget*, void* data) { menu_window(data)->backup_presets(); }
void menu_restore_cb(Fl_Widget*, void* data) { menu_window(data)->restore_presets(); }
void menu_global_cb(Fl_Widget*, void* data) { menu_window(data)->open_global_settings(); }
void menu_midi_cb(Fl_Widget*, void* data) { menu_window(data)->open_midi_settings(); }

Fl_Menu_Item menu_item(const char* text, Fl_Callback* cb, void* data, int flags, Fl_Font font = FL_HELVETICA,
                       Fl_Fontsize size = 13)
{
    Fl_Menu_Item m{};
    m.text = text;
    m.shortcut_ = 0;
    m.callback_ = cb;
    m.user_data_ = data;
    m.flags = flags;
    m.labeltype_ = FL_NORMAL_LABEL;
    m.labelfont_ = font;
    m.labelsize_ = size > 0 ? zoomed_font(size) : size;
    m.labelcolor_ = FL_BLACK;
    return m;
}

} // namespace

std::string Korvane::about_text()
{
    return std::string("  Korvane - version.2.5.1\n") +
           "  Editor and librarian for the Brakwell Tessivar.\n"
           "  \xC2\xA9 2026 Brakwell Audio. All rights reserved.\n\n" + system_text() +
           "\n  Support : " + kSupportEmail + "\n" + "  Web : " + kMakerSite + "\n";
}

void Korvane::fill_main_menu(std::vector<Fl_Menu_Item>& items)
{
    // The pedal entries follow the preset list: greyed after Connect found
    // no pedal, and in update mode.
    const int pedal = transport_panel->active() ? 0 : FL_MENU_INACTIVE;
    const int heading = FL_MENU_INACTIVE;
    const int separator = FL_MENU_INACTIVE | FL_MENU_DIVIDER;
    auto code = [](intptr_t c) { return reinterpret_cast<void*>(c); };
    items = {
        menu_item("         S O F T W A R E ", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > About Korvane", menu_info_cb, code(1), 0),
        menu_item(" > Check for updates", menu_info_cb, code(2), 0),
        menu_item(" > Report a problem", menu_info_cb, code(3), 0),
        menu_item(" > Register your pedal", menu_info_cb, code(4), 0),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        menu_item("                   P E D A L", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > Serial Number", menu_serial_cb, &serial_number, pedal),
        menu_item(" > Update Firmware", menu_firmware_cb, this, pedal),
        menu_item(" > Factory Reset", menu_factory_cb, this, pedal),
        menu_item(" > Update Library", menu_library_cb, this, pedal),
        menu_item(" > Backup", menu_backup_cb, this, pedal),
        menu_item(" > Restore", menu_restore_cb, this, pedal),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        menu_item("            CONFIG | EDIT", menu_info_cb, code(0), heading, FL_HELVETICA_BOLD_ITALIC),
        menu_item(" > Global Settings", menu_global_cb, this, pedal),
        menu_item(" > MIDI Settings", menu_midi_cb, this, pedal),
        menu_item("", nullptr, nullptr, separator, FL_HELVETICA, 0),
        // Next to Quit, so that the entries above keep their places for
        // those who pick them by keys.
        menu_item(" > Keyboard", menu_info_cb, code(5), 0),
        menu_item(" > Quit", quit_cb, this, 0),
        Fl_Menu_Item{},
    };
}

std::vector<Korvane::MenuEntry> Korvane::main_menu_entries() const
{
    std::vector<Fl_Menu_Item> items;
    const_cast<Korvane*>(this)->fill_main_menu(items);
    std::vector<MenuEntry> out;
    for (const auto& m : items)
        if (m.text) out.push_back({m.text, m.active() != 0});
    return out;
}

bool Korvane::pick_menu_entry(const std::string& text)
{
    std::vector<Fl_Menu_Item> items;
    fill_main_menu(items);
    for (const auto& m : items) {
        if (!m.text || text != m.text) continue;
        if (!m.active() || !m.callback()) return false;
        m.do_callback(menu_button, m.user_data());
        return true;
    }
    return false;
}

void Korvane::on_menu()
{
    if (busy_ > 0) return;
    // Built afresh, so that the pedal entries show the state of now. The
    // pop-up needs the same guard against the toolkit's menu fault as the
    // preset selector (installed once for the process).
    install_menu_guard();
    std::vector<Fl_Menu_Item> items;
    fill_main_menu(items);
    const Fl_Menu_Item* picked = items.front().popup(Fl::event_x(), Fl::event_y(), nullptr, nullptr, nullptr);
    if (picked && picked->callback()) picked->do_callback(menu_button, picked->user_data());
}



// ---------------------------------------------------------------------------
// What each panel's callback asks for

ops::EditedPreset Korvane::edited_preset() const
{
    ops::EditedPreset p;
    p.parameters = dashboard->params;
    p.title = transport_panel->edit_name;
    p.program_x = dashboard->program_x;
    p.program_y = dashboard->program_y;
    return p;
}

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

void Korvane::on_write()
{
    if (busy_ > 0) return;
    Exchange exchange(*this);
    WriteGuard writing(*this);
    // The edited preset cannot change while it is written.
    const Locked locked = lock_main_controls();
    const ops::StoreResult stored = ops::write_slot(*usb, *reporter_, transport_panel->current_slot, edited_preset());
    unlock(locked);
    if (stored.ok()) {
        // The slot now holds the edit.
        history_.mark_stored(edit_state());
        compare_ready_ = true;
        place_compare();
        refresh_unsaved_mark();
    }
    redraw();
}

void Korvane::on_dashboard(PreviewRequest request)
{
    using enum PreviewRequest;
    // Only a pedal that has been found hears the edits.
    if (transport_panel->active() && busy_ == 0) {
        Exchange exchange(*this);
        const ops::PreviewResult r = ops::preview_edit(*usb, *reporter_, request, edited_preset());
        if (r.sequence && (request == sequence_x || request == sequence_y)) {
            ops::EngineSequences seqs;
            seqs[request == sequence_x ? 0 : 1] = r.sequence;
            show_sequences(seqs);
        }
    }
    // The Arpeggiator's grid is labelled with the scale the block now holds.
    if (request == parameters) arp_follow_parameters();
    // An edited preset is no longer the offline one picked.
    if (dashboard->live) preset_panel->clear_selection();
    // A sequence fetched for the edit is part of its step.
    if ((request == sequence_x || request == sequence_y) && !comparing_ &&
        !control_pending_)
        history_.amend(edit_state());
    else
        note_edit();
    redraw();
}

void Korvane::on_transport_panel(const KV_TransportPanel::SlotRequest& request)
{
    using Event = KV_TransportPanel::SlotEvent;
    switch (request.event) {
    case Event::stomp_toggled:
    case Event::bypass_toggled:
        // The switch goes into the edited preset; WRITE stores it.
        if (comparing_) set_compare(false);
        dashboard->params.flags = transport_panel->apply_toggle(request.event, dashboard->params.flags);
        note_edit();
        return;
    case Event::slot_copy:
    case Event::slot_swap:
        run_slot_action(request.event, request.slots);
        return;
    case Event::slot_drop:
        library_controller_->slot_dropped(request.slots.from, request.slots.to);
        return;
    case Event::slot_export:
        library_controller_->export_slots(request.slots.from, request.slots.to);
        return;
    case Event::slot_selected:
        read_selected_slot();
        return;
    }
}

void Korvane::read_selected_slot()
{
    if (busy_ > 0) return;
    Exchange exchange(*this);
    const int slot = transport_panel->current_slot;
    if (!slot_valid(slot)) return;
    preset_selector->value(item_of_preset[slot / 8][slot % 8]);
    const ops::SlotRead r = ops::read_slot(*usb, *reporter_, slot);
    if (r.ok) {
        dashboard->load_record(r.record);
        expression_editor->load_mapping(dashboard->params);
        transport_panel->set_slot_name(slot, r.record.title);
        transport_panel->set_switches_from_flags(slot, r.record.parameters.flags);
        show_sequences(r.sequences);
        prepare_arp_editor();
        preset_panel->clear_selection();
        start_history(true);
    }
    redraw();
}

// ---------------------------------------------------------------------------
// Unsaved changes, undo and Compare

EditState Korvane::edit_state() const
{
    EditState s;
    s.parameters = dashboard->params;
    s.title = transport_panel->edit_name;
    s.program_x = dashboard->program_x;
    s.program_y = dashboard->program_y;
    for (Engine e : {Engine::X, Engine::Y}) s.sequences[size_t(index_of(e))] = arp_editor->core(e).record().bytes;
    return s;
}

void Korvane::show_sequences_of(const EditState& s, bool preview)
{
    for (Engine e : {Engine::X, Engine::Y}) {
        KV_ArpCore& panel = arp_editor->core(e);
        const auto& want = s.sequences[size_t(index_of(e))];
        if (panel.record().bytes == want) continue;
        panel.load(ArpSequence::from_bytes(want.data(), want.size()));
        panel.redraw();
        // The pedal plays what the panel shows, as after a level edit there.
        if (preview && online_ && transport_panel->active() && is_arp_algorithm(dashboard->params.algorithm(e))) {
            Exchange exchange(*this);
            ops::preview_sequence(*usb, *reporter_, arp_target(e), panel.record());
        }
    }
}

void Korvane::start_history(bool stored)
{
    control_pending_ = false;
    const EditState now = edit_state();
    history_.start(now, stored ? std::optional<EditState>(now) : std::nullopt);
    compare_ready_ = stored && online_;
    place_compare();
    refresh_unsaved_mark();
}

void Korvane::restart_history()
{
    control_pending_ = false;
    history_.start(edit_state(), history_.stored());
    refresh_unsaved_mark();
}

bool Korvane::safety_backup(const std::string& what, const std::vector<std::string>& never_remove)
{
    const ops::GuardResult g = ops::guard_with_backup(*usb, *reporter_, ops::auto_backup_folder(presets_folder_),
                                                      what, ops::OnBackupFailure::Ask, never_remove);
    if (g.backup.ok) {
        backed_up_serial_ = serial_number;
        written_since_backup_ = false;
    }
    return g.proceed;
}

void Korvane::firmware_menu_backup()
{
    if (!online_ || serial_number.empty()) return;
    // Opening the entry again (and again) must not push older backups out.
    if (backed_up_serial_ == serial_number && !written_since_backup_) return;
    safety_backup("updating the firmware");
}

bool Korvane::firmware_backup_ok()
{
    // A pedal in update mode cannot be read: the backup is the one taken
    // from this pedal earlier (Menu > Update Firmware, or any other).
    if (!serial_number.empty() && backed_up_serial_ == serial_number) return true;
    return dialogs().choice(ops::backup_failed_question("updating the firmware",
                                                        "the pedal waits in update mode, where its presets cannot "
                                                        "be read (choose Menu > Update Firmware before starting it "
                                                        "in update mode to back them up)."),
                            "Cancel", "Continue", nullptr) == 1;
}

bool Korvane::unsaved_changes() const { return history_.unsaved(comparing_ ? compare_edit_ : edit_state()); }

void Korvane::refresh_unsaved_mark()
{
    if (!transport_panel || !dashboard) return;
    const bool unsaved = unsaved_changes();
    if (unsaved != unsaved_shown_) {
        unsaved_shown_ = unsaved;
        damage(FL_DAMAGE_ALL);   // the caption beside "Save preset in pedal"
    }
    transport_panel->set_unsaved_mark(unsaved);
    refresh_window_title(*this, unsaved);
}

bool Korvane::discard_changes_ok()
{
    if (comparing_) end_compare();
    if (!unsaved_changes() || auditioning_) return true;
    std::string title = title_text(transport_panel->edit_name);
    while (!title.empty() && title.front() == ' ') title.erase(title.begin());
    if (title.empty()) title = "Preset " + std::to_string(transport_panel->current_slot + 1);
    return dialogs().choice("Discard the changes to " + title + "?", "Cancel", "Discard", nullptr) == 1;
}

void Korvane::note_edit()
{
    if (comparing_) return;
    // The Control key that toggles the rotors is also the undo shortcut's:
    // its toggle becomes a step only once the key is let go without a Z or Y.
    if (Fl::event() == FL_KEYBOARD && (Fl::event_key() == FL_Control_L || Fl::event_key() == FL_Control_R)) {
        control_pending_ = true;
        refresh_unsaved_mark();
        return;
    }
    control_pending_ = false;
    history_.record(edit_state());
    refresh_unsaved_mark();
}

bool Korvane::edit_key(int event)
{
    if (window_shortcut(*this, event)) return true;
    if (event == FL_KEYUP && control_pending_ &&
        (Fl::event_key() == FL_Control_L || Fl::event_key() == FL_Control_R)) {
        control_pending_ = false;
        history_.record(edit_state());
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
    if (busy_ == 0 && !modal_panel_shown() && !comparing_) step_history(forward);
    return true;
}

bool Korvane::undo_edit() { return busy_ == 0 && !comparing_ && step_history(false); }

bool Korvane::redo_edit() { return busy_ == 0 && !comparing_ && step_history(true); }

bool Korvane::step_history(bool forward)
{
    // What the pedal plays now: the editor's state, a pending rotor toggle included.
    const EditState now = edit_state();
    const bool pending = control_pending_;
    control_pending_ = false;
    const std::optional<EditState> target = forward ? history_.redo() : history_.undo();
    if (!target) {
        if (pending) history_.record(now);
        return false;
    }
    show_edit_state(*target);
    preview_between(now, *target);
    // The sequences shown then (a fetch above may have replaced them).
    show_sequences_of(*target, true);
    refresh_unsaved_mark();
    redraw();
    return true;
}

void Korvane::show_edit_state(const EditState& s)
{
    dashboard->load_parameters(s.parameters);
    // Exactly the step's bytes, also those loading would have repaired.
    dashboard->params = s.parameters;
    dashboard->title = s.title;
    dashboard->program_x = s.program_x;
    dashboard->program_y = s.program_y;
    const int slot = transport_panel->current_slot;
    transport_panel->set_slot_name(slot, s.title);
    transport_panel->set_switches_from_flags(slot, s.parameters.flags);
    expression_editor->load_mapping(dashboard->params);
    prepare_arp_editor();
    arp_follow_parameters();
    dashboard->redraw();
}

void Korvane::preview_between(const EditState& from, const EditState& to)
{
    // Only a pedal that has been found hears the edits.
    if (!transport_panel->active() || !online_ || busy_ > 0) return;
    Exchange exchange(*this);
    bool first = true;
    using enum PreviewRequest;
    for (const PreviewRequest request : previews_between(from, to)) {
        // The pedal needs the same gap between transfers as after an edit.
        if (!first) usb->pause(0.02, false);
        first = false;
        const ops::PreviewResult r = ops::preview_edit(*usb, *reporter_, request, edited_preset());
        if (r.sequence && (request == sequence_x || request == sequence_y)) {
            ops::EngineSequences seqs;
            seqs[request == sequence_x ? 0 : 1] = r.sequence;
            show_sequences(seqs);
        }
    }
}

void Korvane::end_compare()
{
    if (!comparing_) return;
    switch_compare(false);
}

void Korvane::set_compare(bool on)
{
    if (on == comparing_ || busy_ > 0) {
        compare_button->value(comparing_ ? 1 : 0);
        return;
    }
    switch_compare(on);
}

void Korvane::switch_compare(bool on)
{
    const auto& stored = history_.stored();
    if (on && (!online_ || !stored)) {
        compare_button->value(0);
        return;
    }
    const int slot = transport_panel->current_slot;
    if (on) {
        compare_edit_ = edit_state();
        comparing_ = true;
        show_edit_state(*stored);
        // The stored preset is only listened to: nothing in it can be edited
        // or written, on the Dashboard or on the expression and arp pages
        // (an edit made there would be dropped when the edit comes back).
        dashboard->deactivate();
        expression_editor->deactivate();
        arp_editor->deactivate();
        write_button->deactivate();
        status("  Compare: Preset " + std::to_string(slot + 1) + " as stored in your pedal.");
    } else {
        comparing_ = false;
        show_edit_state(compare_edit_);
        dashboard->activate();
        if (!modal_panel_shown()) {
            expression_editor->activate();
            arp_editor->activate();
        }
        write_button->activate();
        status("  Compare off: your edit is played again.");
    }
    compare_button->value(comparing_ ? 1 : 0);
    {
        Exchange exchange(*this);
        const ops::EngineSequences seqs = ops::preview_offline(*usb, edited_preset());
        show_sequences(seqs);
    }
    if (!on) show_sequences_of(compare_edit_, true);
    text_board->scroll_to_status_lines();
    refresh_unsaved_mark();
    redraw();
}

bool Korvane::overlay_shown() const
{
    return modal_panel_shown() || (template_panel && template_panel->visible()) ||
           (infographic_button && infographic_button->value()) || (preset_prompt && preset_prompt->visible());
}

void Korvane::place_compare()
{
    if (!compare_button) return;
    // Compare belongs to the Dashboard: on another page or under a panel it
    // would lie over that page's or panel's own controls.
    const bool shown = tabs->value() == dashboard && !overlay_shown();
    if (!shown && comparing_ && busy_ == 0) switch_compare(false);
    if (shown) compare_button->show();
    else compare_button->hide();
    if (shown && compare_ready_) compare_button->activate();
    else compare_button->deactivate();
}

void Korvane::compare_cb(Fl_Widget* w, void* data)
{
    auto* k = static_cast<Korvane*>(data);
    k->set_compare(static_cast<Fl_Button*>(w)->value() != 0);
}

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

void Korvane::run_slot_action(KV_TransportPanel::SlotEvent event, KV_TransportPanel::SlotAction slots, bool asked)
{
    if (busy_ > 0 || !online_) return;
    const auto [from, to] = slots;
    if (!slot_valid(from) || !slot_valid(to) || from == to) return;
    const bool swap = event == KV_TransportPanel::SlotEvent::slot_swap;
    const std::string question =
        swap ? "Swap " + slot_and_title(from, transport_panel->slot_name(from)) + " and " +
                   slot_and_title(to, transport_panel->slot_name(to)) + "?"
             : "Copy " + slot_and_title(from, transport_panel->slot_name(from)) + " over " +
                   slot_and_title(to, transport_panel->slot_name(to)) + "?\n\nWhat Preset " + std::to_string(to + 1) +
                   " holds now is overwritten.";
    const int selected = transport_panel->current_slot;
    const bool selected_changes = selected == to || (swap && selected == from);
    if (!asked && dialogs().choice(question, "Cancel", swap ? "Swap" : "Copy", nullptr) != 1) return;
    // The selected slot is read again afterwards, which replaces the edit.
    if (selected_changes && !discard_changes_ok()) return;
    if (!program_library().usable()) {
        dialogs().alert("The algorithm library (" + data_path(AlgorithmLibrary::kFileName) +
                        ") could not be read: presets cannot be copied or swapped without it.");
        return;
    }

    const PresetTitle kept_name = transport_panel->edit_name;
    ops::SlotMoveResult r;
    {
        Exchange exchange(*this);
        WriteGuard writing(*this);
        Locked locked = lock_main_controls();
        locked.emplace_back(transport_panel, transport_panel->active() != 0);
        transport_panel->deactivate();
        const ops::ProgramBuilder build = ops::library_program_builder(program_library());
        r = swap ? ops::swap_slots(*usb, *reporter_, from, to, build, ops::auto_backup_folder(presets_folder_),
                                   ops::OnBackupFailure::Ask)
                 : ops::copy_slot(*usb, *reporter_, from, to, build);
        unlock(locked);
    }
    // The rows show what the slots hold now (as far as it is known).
    auto show_slot = [&](int slot, const PresetRecord& record) {
        set_image_record(work_buffer, slot, record);
        transport_panel->set_slot_name(slot, record.title);
        transport_panel->set_switches_from_flags(slot, record.parameters.flags);
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
    transport_panel->edit_name = kept_name;
    if (selected_changes && r.slots_changed > 0) read_selected_slot();
    redraw();
}

// ---------------------------------------------------------------------------
// Offline presets

std::string Korvane::offline_tips_text()
{
    return "  You can add Offline Presets (saved in your computer) in 2 different ways : \n\n"
           "1. Type in the desired preset name and click 'Save'.\n"
           "    --------------------------------------------------------------\n"
           "    The currently displayed parameter setting is saved as an offline preset in your computer.\n\n"
           "    Tips : For every preset saved, an individual 'preset file' is created in this directory:\n\n"
           "             " + home_drive() + "/Brakwell/Korvane/presets\n\n"
           "             You can share your favorite presets with other Tessivar users by sharing\n"
           "             with them these preset files.\n\n"
           "2. Add Preset from file(s).\n"
           "    ----------------------------\n"
           "    Load presets from existing preset file(s) These files maybe preset files you got from\n"
           "    other Tessivar users.\n\n"
           "IMPORTANT !\n"
           "----------------\n"
           "- Do not manually delete, move, or rename the files in the preset folder.\n"
           "- Use the 'delete' functionality provided to remove unwanted presets.";
}

// ---------------------------------------------------------------------------
// Backup, restore and maintenance (app/MaintenanceController.h)

void Korvane::backup_presets() { maintenance_->backup_presets(); }

void Korvane::restore_presets() { maintenance_->restore_presets(); }

void Korvane::update_library() { maintenance_->update_library(); }

void Korvane::factory_reset() { maintenance_->factory_reset(); }


void Korvane::on_template_panel(int item)
{
    // A template picks both engines' algorithms (each previewed as picking
    // it by hand would be), then the chooser closes.
    template_panel->reset();
    template_panel->hide();
    templates_button->value(0);
    unlock(template_locked_);
    template_locked_.clear();
    dashboard->set_template_controls_active(true);
    place_compare();
    dashboard->apply_template(item);
    redraw();
}

void Korvane::on_expression_editor(Engine edited)
{
    preview_mapping(edited);
    note_edit();
}

// ---------------------------------------------------------------------------
// Pedal configuration

void Korvane::connect_panel_dialogs()
{
    DialogHooks hooks;
    hooks.alert = [](const std::string& t) { dialogs().alert(t); };
    hooks.message = [](const std::string& t) { dialogs().message(t); };
    hooks.choice = [](const std::string& t, const char* b0, const char* b1) {
        return dialogs().choice(t, b0, b1, nullptr);
    };
    glo_conf_panel->dialogs = hooks;
    midi_conf_panel->dialogs = hooks;
    expression_editor->dialogs = hooks;
}

GlobalsRecord Korvane::globals_record() const
{
    GlobalsRecord r;
    std::memcpy(r.bytes.data(), globals, sizeof globals);
    return r;
}

void Korvane::open_global_settings() { settings_->open_global_settings(); }

void Korvane::open_midi_settings() { settings_->open_midi_settings(); }

void Korvane::preview_mapping(Engine edited)
{
    commit_mapping(dashboard->params, expression_editor->working(), edited == Engine::X ? kChangeX : kChangeY);
    // Offline (the preset list inactive) the block keeps the edit and nothing is sent.
    if (transport_panel->active() && busy_ == 0) {
        Exchange exchange(*this);
        ops::preview_parameters(*usb, *reporter_, dashboard->params);
    }
    redraw();
}

} // namespace kv
