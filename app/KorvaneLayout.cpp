// The main window's widgets: where each sits, how it looks and whom it
// calls; its own drawing (captions, logos, the help picture) and its
// taking down. The main window's behaviour is in app/Korvane.cpp and the
// controllers.

// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Korvane.h"

#include "app/Desktop.h"
#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/ArpController.h"
#include "app/ConnectionController.h"
#include "app/LibraryController.h"
#include "app/MaintenanceController.h"
#include "app/OfflineController.h"
#include "app/PresetsController.h"
#include "app/SettingsController.h"
#include "app/Resources.h"
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
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/Texts.h"
#include "widgets/Artwork.h"
#include "widgets/Palette.h"
#include "widgets/SafeChoice.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Shared_Image.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <string>

namespace kv {

namespace {

constexpr Fl_Color kTabLabelColor = 0xc0c0c000;
constexpr Fl_Color kCaptionColor = 0x33333300;

// Panel colour: a toolkit colour darkened twice towards black.
Fl_Color darkened(Fl_Color c)
{
    return fl_color_average(fl_color_average(c, FL_BLACK, 0.67f), FL_BLACK, 0.67f);
}

bool image_usable(Fl_Image* img) { return img && img->w() > 0 && img->h() > 0 && !img->fail(); }

} // namespace

// The window was laid out for Arial's metrics. The toolkit's default sans
// face on Linux is much wider, so headings run into their neighbours; ask
// fontconfig for Arial, which gives Arial itself or a metric-compatible face
// (Liberation Sans, Nimbus Sans), and falls back to the default sans face.
void Korvane::use_layout_fonts()
{
    static bool done = false;
    if (done) return;
    done = true;
    Fl::set_font(FL_HELVETICA, " Arial");
    Fl::set_font(FL_HELVETICA_BOLD, "BArial");
    Fl::set_font(FL_HELVETICA_ITALIC, "IArial");
    Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PArial");
}

void Korvane::load_artwork()
{
    fl_register_images();
    app_logo = load_png_artwork(image_path("appLogo_(149x37).png"));
    maker_logo = load_png_artwork(image_path("brakwellLogo.png"));
    infographic_image = load_png_artwork(image_path("Infographic_[1044x541].png"));
    backdrop_image = load_png_artwork(image_path("backdrop_[700x592].png"));
}

void Korvane::build_widgets()
{
    build_backdrop();
    build_pages();
    build_bottom_controls();
    build_settings_panels();
    build_preset_controls();
    build_link();
    connect_panel_dialogs();
}

// The backdrop, the header band and the side band, drawn first.
void Korvane::build_backdrop()
{
    const int W = w();

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
}

// The tabs and their pages.
void Korvane::build_pages()
{
    const int W = w();
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
        dashboard->on_preview = [this](PreviewRequest r) { presets_->on_dashboard(r); };
        dashboard->set_clock(*session_.clock);
        dashboard->show_tips = [](const char* text) { dialogs().message(text); };

        expression_editor = new KV_ExpressionEditor(370, 63, W - 370, 590, " Expression ");
        expression_editor->labelfont(0);
        expression_editor->labelsize(13);
        expression_editor->labelcolor(kTabLabelColor);
        expression_editor->on_edit = [this](Engine e) { presets_->on_expression_editor(e); };
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
}

// The offline presets, the status board, Connect, Menu and Quit.
void Korvane::build_bottom_controls()
{
    const int H = h();
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
}

// The panels shown over the editor: firmware update, global and MIDI settings.
void Korvane::build_settings_panels()
{
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
}

// The preset pages, the selector, WRITE and Compare, the help picture's
// button and the template chooser.
void Korvane::build_preset_controls()
{
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
    compare_button->callback(
        [](Fl_Widget* b, void* k) { static_cast<Korvane*>(k)->set_compare(static_cast<Fl_Button*>(b)->value() != 0); },
        this);
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
    template_panel->on_pick = [this](int item) { presets_->on_template_panel(item); };
    template_panel->hide();
}

// The link with its progress indicator, the reporter and the backup chooser.
void Korvane::build_link()
{
    usb = new KV_UsbController(625, 445, 200, 24, *session_.driver, *session_.clock);
    session_.link = usb;
    session_.reporter = std::make_unique<WindowReporter>(*text_board, *session_.link);
    // Another program has the pedal: said once per operation, on the board.
    usb->set_in_use_notice([this](const LinkResult& r) {
        session_.reporter->status("  " + in_use_text(r.holder_pid), "  > Close the other program, then try again.");
        session_.pedal_in_use = r.holder_pid > 0 ? "Pedal in use (pid " + std::to_string(r.holder_pid) + ")." : "Pedal in use.";
    });

    backup_chooser = new Fl_Native_File_Chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    backup_chooser->title("Browse Backup File (.bkp)");
    backup_chooser->filter("*.bkp");
    // The presets folder, without its closing slash.
    backup_chooser->directory(session_.presets_folder.substr(0, session_.presets_folder.size() - 1).c_str());

    // Beside "Pedal not found.": a pedal to try everything with, until one is found.
    demo_button = new Fl_Button(180, 27, 180, 24, ConnectionController::kTrySimulatedText);
    demo_button->labelsize(12);
    demo_button->tooltip("start the simulated pedal that comes with Korvane (tessivar-sim) and connect to it");
    demo_button->callback([](Fl_Widget*, void* k) { static_cast<Korvane*>(k)->try_simulated_pedal(); }, this);
    demo_button->hide();
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

Korvane::~Korvane()
{
    set_dialog_owner(nullptr);
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
    delete demo_button;
    demo_button = nullptr;
    delete infographic_image;
    infographic_image = nullptr;
    delete backdrop_image;
    backdrop_image = nullptr;
}

namespace {

// Where the row of tab labels ends, as the toolkit lays it out: each label's
// width with ten pixels to spare, two between tabs.
int tabs_right_end(Fl_Tabs* tabs)
{
    if (!tabs) return 0;
    int end = tabs->x() + Fl::box_dx(tabs->box());
    for (int i = 0; i < tabs->children(); ++i) {
        int lw = 0, lh = 0;
        tabs->child(i)->measure_label(lw, lh);
        end += lw + 10 + 2;
    }
    return end;
}

} // namespace

void Korvane::draw()
{
    Fl_Double_Window::draw();

    // In a window sized larger than its content the content is centred; the
    // margins around it are dark, and what reaches past the content's edge
    // (the tabs' frame) is covered.
    {
        const int cx = zoomed_x(0), cy = zoomed_y(0);
        const int cr = zoomed_x(kWindowWidth), cb = zoomed_y(kWindowHeight);
        fl_color(kDarkColor);
        if (cy > 0) fl_rectf(0, 0, w(), cy);
        if (cb < h()) fl_rectf(0, cb, w(), h() - cb);
        if (cx > 0) fl_rectf(0, cy, cx, cb - cy);
        if (cr < w()) fl_rectf(cr, cy, w() - cr, cb - cy);
    }

    // The link's progress indicator lies outside the link's own group, so a
    // repaint of only its part of the window (a dialog closed over it) skips
    // the group and leaves the backdrop over the indicator. Paint it here
    // then; the link is the topmost child, so nothing else is covered.
    if (usb && usb->visible() && !fl_not_clipped(usb->x(), usb->y(), usb->w(), usb->h())) {
        Fl_Progress* p = usb->progress;
        if (p) draw_child(*p);
    }

    // The logo keeps clear of the tabs: their labels' widths do not scale
    // exactly with the zoom and are wider in a wider font than the layout's.
    const int logo_x = std::max(zoomed_x(720), tabs_right_end(tabs) + zoomed(8));
    fl_font(FL_HELVETICA, zoomed_font(9));
    fl_color(FL_WHITE);
    fl_draw("TM", logo_x + zoomed(152), zoomed_y(23));

    if (image_usable(app_logo)) zoomed_image(app_logo)->draw(logo_x, zoomed_y(12), zoomed(150), zoomed(39));
    if (image_usable(maker_logo)) zoomed_image(maker_logo)->draw(zoomed_x(952), zoomed_y(16), zoomed(130), zoomed(50));

    if (infographic_button && infographic_button->value() && image_usable(infographic_image))
        zoomed_image(infographic_image)->draw(zoomed_x(43), zoomed_y(68), zoomed(1044), zoomed(542));

    if (dashboard && dashboard->visible() && !modal_panel_shown()) {
        fl_font(FL_HELVETICA_BOLD, zoomed_font(14));
        fl_color(kCaptionColor);
        fl_draw("Save preset in pedal", zoomed_x(385), zoomed_y(520));
        // Kept inside the window with a wider font than the layout's.
        const char* computer = "Save preset in computer";
        fl_draw(computer, std::min(zoomed_x(880), zoomed_x(kWindowWidth - 8) - int(fl_width(computer) + 0.5)),
                zoomed_y(520));
        if (session_.unsaved_shown) {
            fl_font(FL_HELVETICA_BOLD, zoomed_font(12));
            fl_color(fl_rgb_color(160, 0, 0));
            fl_draw(kUnsavedCaption, zoomed_x(545), zoomed_y(520));
        }
    }

    fl_font(FL_HELVETICA_BOLD, zoomed_font(12));
    fl_color(FL_WHITE);
    // The slot list's column heads, each over its column whatever the font's
    // widths (with a wider font than the layout's, runs of spaces would push
    // "PC (MIDI)" into the pages).
    struct Head {
        const char* text;
        int x, y;
    };
    static constexpr Head heads[] = {
        {"PRESET", 161, 83}, {"AUTO", 254, 83},  {"BYPASS", 306, 83}, {"BANK-", 70, 103}, {"TITLES", 167, 103},
        {"STOMP", 255, 103}, {"ON", 306, 103},   {"PC#", 20, 123},    {"PATCH", 68, 123}, {"MODE", 254, 123},
        {"PC (MIDI)", 308, 123},
    };
    for (const Head& head : heads) fl_draw(head.text, zoomed_x(head.x), zoomed_y(head.y));
    fl_draw("Device Info :", zoomed_x(15), zoomed_y(20));

    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_draw("(12 char max)", zoomed_x(145), zoomed_y(123));

    fl_font(FL_HELVETICA, zoomed_font(18));
    fl_color(fl_color_average(fl_color_average(0x99660000, FL_WHITE, 0.67f), FL_WHITE, 0.67f));
    if (!session_.pedal.serial_number.empty()) {
        std::string line = std::string("Serial No. ") + session_.pedal.serial_number + simulated_mark();
        fl_draw(line.c_str(), zoomed_x(15), zoomed_y(45));
    } else {
        fl_draw(session_.pedal_in_use.empty() ? "Pedal not found." : session_.pedal_in_use.c_str(), zoomed_x(15), zoomed_y(45));
    }

    // The maker's notice, unless the MIDI panel lies over its place.
    if (!(midi_conf_panel && midi_conf_panel->visible())) {
        fl_font(FL_HELVETICA, zoomed_font(12));
        fl_color(kCaptionColor);
        fl_draw("\xC2\xA9 2026 Brakwell Audio", zoomed_x(kWindowWidth - 175), zoomed_y(632), zoomed(165), zoomed(14),
                FL_ALIGN_RIGHT);
    }

    draw_keyboard_focus(*this);
}

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

} // namespace kv
