// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Desktop.h"
#include "app/DesktopSystem.h"

#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "library/KV_TransportPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "maintenance/KV_UpdatePanel.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "widgets/Artwork.h"
#include "widgets/FocusMark.h"
#include "widgets/Input.h"
#include "widgets/Palette.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace kv {

namespace {

// What the window manager adds above the window (its title bar), allowed
// for when the window has to fit the screen.
constexpr int kFrameAllowance = 40;

} // namespace

ZoomChoice start_zoom(int base_w, int base_h)
{
    ZoomInputs in;
    in.korvane_zoom = get_env("KORVANE_ZOOM");
    in.remembered = read_remembered_zoom(user_settings_path());
    read_desktop_scale(in);
    int X = 0, Y = 0, W = 0, H = 0;
    Fl::screen_work_area(X, Y, W, H, 0);
    in.work_w = W;
    in.work_h = H;
    in.window_w = base_w;
    in.window_h = base_h;
    in.frame_h = kFrameAllowance;
    return choose_start_zoom(in);
}

namespace {

// The zoom applied to the content: the board's wrap margin, then the widget
// tree; with `keep_size` in the window as the user sized it (centred), else
// in a window of the content's size kept on its screen.
void zoom_content(Korvane& window, KV_TextBoard* board, double factor, bool keep_size)
{
    // The board's wrap margin goes first: lines wrapped for a wider board
    // would leave it a horizontal scrollbar.
    if (board) {
        const double width = board->w() / zoom_factor() * factor;
        board->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, int(std::lround(width - 20 * std::max(1.0, factor))));
    }
    if (keep_size) apply_zoom_within(window, factor);
    else apply_zoom(window, factor);
    // The board wraps its lines at its own width (as it was built: less 20 at
    // 100 %; never less than 20, or below 100 % the margin would pass its
    // frame and scrollbar and bring a horizontal scrollbar up).
    if (board) {
        board->scrollbar_width(zoomed(8));
        board->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, board->w() - std::max(20, zoomed(20)));
    }
    if (window.shown() && !keep_size) {
        // Kept on the screen it is on.
        int X = 0, Y = 0, W = 0, H = 0;
        Fl::screen_work_area(X, Y, W, H, window.x() + window.w() / 2, window.y() + window.h() / 2);
        const int nx = std::max(X, std::min(window.x(), X + W - window.w()));
        const int ny = std::max(Y, std::min(window.y(), Y + H - window.h()));
        if (nx != window.x() || ny != window.y()) window.position(nx, ny);
    }
    window.redraw();
}

void remember(double factor)
{
    const std::string failed = remember_zoom(user_settings_path(), factor);
    if (!failed.empty()) std::fprintf(stderr, "korvane: the zoom is not remembered: %s\n", failed.c_str());
}

} // namespace

void zoom_window(Korvane& window, double factor, bool remember_it)
{
    zoom_content(window, window.text_board, zoom_step(factor), false);
    if (remember_it) remember(zoom_step(factor));
}

void fit_zoom_to_window(Korvane& window)
{
    if (content_fills(window)) return;
    int base_w = 0, base_h = 0;
    built_size(window, base_w, base_h);
    const double factor = fit_zoom(kZoomMax, base_w, base_h, 0, window.w(), window.h());
    const bool changed = factor != zoom_factor();
    zoom_content(window, window.text_board, factor, true);
    if (changed) {
        std::printf("Window zoom %s (window sized to %dx%d).\n", zoom_text(factor).c_str(), window.w(), window.h());
        std::fflush(stdout);
        remember(factor);
    }
}

void show_as_dialog(Fl_Window& dialog, Fl_Window* owner)
{
    dialog.show();
    if (dialog.shown()) mark_as_dialog(dialog, owner);
}

void set_desktop_identity(Korvane& window)
{
    window.xclass("korvane");
    Fl_Window::default_xclass("korvane");   // its dialogs belong to it too
    // The three icon sizes the menu entry has.
    static std::vector<std::unique_ptr<Fl_PNG_Image>> icons;
    if (icons.empty()) {
        for (const char* name : {"korvane-48.png", "korvane-128.png", "korvane-256.png"}) {
            Fl_PNG_Image* img = load_png_artwork(image_path(name));
            if (img && !img->fail() && img->w() > 0) icons.emplace_back(img);
            else delete img;
        }
    }
    if (icons.empty()) return;
    std::vector<const Fl_RGB_Image*> list;
    for (const auto& i : icons) list.push_back(i.get());
    window.icons(list.data(), int(list.size()));
    Fl_Window::default_icons(list.data(), int(list.size()));
}

std::string window_title(const std::string& serial, bool unsaved)
{
    std::string t = unsaved ? "*" : "";
    t += kWindowTitle;
    if (!serial.empty()) t += " - " + serial;
    return t;
}

void refresh_window_title(Korvane& window, bool unsaved)
{
    // The pedal's serial is outside text: the title bar shows it as it is
    // (the toolkit's label symbols do not apply to a window's title).
    const std::string serial = window.pedal_info().serial_number;
    const std::string t = window_title(serial.empty() ? serial : serial + window.simulated_mark(), unsaved);
    if (!window.label() || t != window.label()) window.copy_label(t.c_str());
}

namespace {

// Widgets that can hold the focus, in a container, depth first. Groups are
// entered, not focused (tabs excepted: their labels take the focus), and a
// text display or a scroll's own scrollbars are left out.
void focusable_in(Fl_Widget* w, std::vector<Fl_Widget*>& out)
{
    if (!w || !w->visible() || !w->active()) return;
    if (dynamic_cast<Fl_Tabs*>(w)) {
        out.push_back(w);
        if (Fl_Widget* page = static_cast<Fl_Tabs*>(w)->value()) focusable_in(page, out);
        return;
    }
    if (dynamic_cast<Fl_Text_Display*>(w)) return;
    if (Fl_Group* g = w->as_group()) {
        auto* scroll = dynamic_cast<Fl_Scroll*>(w);
        for (int i = 0; i < g->children(); ++i) {
            Fl_Widget* c = g->child(i);
            if (scroll && (c == &scroll->scrollbar || c == &scroll->hscrollbar)) continue;
            focusable_in(c, out);
        }
        return;
    }
    if (w->visible_focus() && !dynamic_cast<Fl_Box*>(w)) out.push_back(w);
}

// Reading order: rows from the top (widgets less than 20 pixels apart at
// 100 % share a row), each row from the left.
void reading_order(std::vector<Fl_Widget*>& v)
{
    std::stable_sort(v.begin(), v.end(), [](Fl_Widget* a, Fl_Widget* b) { return a->y() < b->y(); });
    const int band = zoomed(20);
    for (size_t start = 0; start < v.size();) {
        size_t end = start + 1;
        while (end < v.size() && v[end]->y() - v[start]->y() < band) ++end;
        std::stable_sort(v.begin() + long(start), v.begin() + long(end),
                         [](Fl_Widget* a, Fl_Widget* b) { return a->x() < b->x(); });
        start = end;
    }
}

} // namespace

// The window's Tab order: the preset list, the tab labels, the shown page
// (with the templates button over it) in reading order, then the Save
// controls under it, Connect, Menu, Quit and INFOGRAPHIC. While a panel is
// open over the editor, the focus goes round that panel alone.
std::vector<Fl_Widget*> tab_order(Korvane& k)
{
    std::vector<Fl_Widget*> order;
    for (Fl_Widget* panel : {static_cast<Fl_Widget*>(k.update_panel), static_cast<Fl_Widget*>(k.glo_conf_panel),
                             static_cast<Fl_Widget*>(k.midi_conf_panel), static_cast<Fl_Widget*>(k.preset_prompt)}) {
        if (panel && panel->visible()) {
            focusable_in(panel, order);
            reading_order(order);
            return order;
        }
    }
    // The simulated pedal's button in the header, while no pedal is found.
    focusable_in(k.demo_button, order);
    // The preset list: the selected row (Up and Down go to the others).
    if (KV_TransportPanel* list = k.transport_panel; list && list->visible() && list->active()) {
        const auto& row = list->slots[size_t(std::clamp(list->current_slot, 0, int(list->slots.size()) - 1))];
        for (Fl_Widget* w : {static_cast<Fl_Widget*>(row.bank_button), static_cast<Fl_Widget*>(row.name_field),
                             static_cast<Fl_Widget*>(row.s_switch), static_cast<Fl_Widget*>(row.b_switch)})
            focusable_in(w, order);
    }
    if (k.tabs && k.tabs->visible()) {
        if (k.tabs->active()) order.push_back(k.tabs);
        std::vector<Fl_Widget*> page;
        if (k.tabs->value()) focusable_in(k.tabs->value(), page);
        focusable_in(k.templates_button, page);
        if (k.template_panel && k.template_panel->visible()) focusable_in(static_cast<Fl_Widget*>(k.template_panel), page);
        reading_order(page);
        order.insert(order.end(), page.begin(), page.end());
    }
    std::vector<Fl_Widget*> save;
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(k.preset_selector), static_cast<Fl_Widget*>(k.write_button),
                         static_cast<Fl_Widget*>(k.compare_button), static_cast<Fl_Widget*>(k.preset_panel)})
        focusable_in(w, save);
    reading_order(save);
    order.insert(order.end(), save.begin(), save.end());
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(k.connect_button), static_cast<Fl_Widget*>(k.menu_button),
                         static_cast<Fl_Widget*>(k.quit_button), static_cast<Fl_Widget*>(k.infographic_button)})
        focusable_in(w, order);
    return order;
}

namespace {

// Tab and Shift+Tab along tab_order(); the first widget after the focus
// that takes it. True when the key was taken.
bool move_focus(Korvane& k, bool back)
{
    const std::vector<Fl_Widget*> order = tab_order(k);
    if (order.empty()) return false;
    const int n = int(order.size());
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (Fl::focus() == order[size_t(i)] || (Fl::focus() && Fl::focus()->inside(order[size_t(i)]) &&
                                                 !dynamic_cast<Fl_Tabs*>(order[size_t(i)])))
            at = i;
    for (int step = 1; step <= n; ++step) {
        const int i = at < 0 ? (back ? n - step : step - 1) : ((at + (back ? -step : step)) % n + n) % n;
        Fl_Widget* w = order[size_t(i)];
        set_keyboard_focus(true);
        // The tabs themselves: a group's take_focus() would hand the focus
        // on to the first control of the page, skipping those above it.
        const bool taken = dynamic_cast<Fl_Tabs*>(w) ? (Fl::focus(w), Fl::focus() == w) : w->take_focus() != 0;
        if (taken) {
            // In a scrolled list, the focus is brought into view.
            for (Fl_Widget* p = w->parent(); p; p = p->parent()) {
                auto* scroll = dynamic_cast<Fl_Scroll*>(p);
                if (!scroll) continue;
                if (w->y() < scroll->y())
                    scroll->scroll_to(scroll->xposition(), std::max(0, scroll->yposition() - (scroll->y() - w->y())));
                else if (w->y() + w->h() > scroll->y() + scroll->h())
                    scroll->scroll_to(scroll->xposition(),
                                      scroll->yposition() + (w->y() + w->h() - scroll->y() - scroll->h()));
                break;
            }
            // The old and the new owner of the focus show it.
            k.redraw();
            return true;
        }
    }
    return false;
}

} // namespace

void draw_keyboard_focus(Korvane& k)
{
    Fl_Widget* f = Fl::focus();
    if (!keyboard_focus() || !f || f->top_window() != &k || !f->visible_r() || !Fl::visible_focus()) return;
    int X = f->x(), Y = f->y(), W = f->w(), H = f->h();
    if (auto* tabs = dynamic_cast<Fl_Tabs*>(f)) {
        // The selected tab's label: the part of the label strip it answers for.
        Fl_Widget* page = tabs->value();
        if (!page) return;
        H = page->y() - tabs->y();
        const int mid = tabs->y() + H / 2;
        int left = -1, right = -1;
        for (int x = tabs->x(); x < tabs->x() + tabs->w(); ++x) {
            if (tabs->which(x, mid) != page) continue;
            if (left < 0) left = x;
            right = x;
        }
        if (left < 0 || H <= 0) return;
        X = left;
        W = right - left + 1;
    }
    fl_color(kAccentColor);
    const int t = std::max(1, zoomed(2));
    fl_rectf(X, Y, W, t);
    fl_rectf(X, Y + H - t, W, t);
    fl_rectf(X, Y, t, H);
    fl_rectf(X + W - t, Y, t, H);
}

bool window_shortcut(Korvane& window, int event)
{
    if (event == FL_PUSH && keyboard_focus()) {
        // The mouse took over: the frame goes.
        set_keyboard_focus(false);
        window.redraw();
    }
    if (event != FL_KEYBOARD && event != FL_SHORTCUT) return false;
    const int key = Fl::event_key();
    const bool ctrl = (Fl::event_state() & FL_CTRL) != 0;
    const bool alt = (Fl::event_state() & (FL_ALT | FL_META)) != 0;
    if (alt) return false;

    // Focus moves only on the key press itself, and not while a pop-up menu
    // or a dialog has the keyboard.
    if (event == FL_KEYBOARD && !ctrl && !Fl::grab() && !Fl::modal()) {
        if (key == FL_Tab) return move_focus(window, (Fl::event_state() & FL_SHIFT) != 0);
        if ((key == FL_Up || key == FL_Down) && !(Fl::event_state() & FL_SHIFT) && Fl::focus() &&
            window.transport_panel && Fl::focus()->inside(static_cast<Fl_Widget*>(window.transport_panel))) {
            if (!window.exchange_running()) window.transport_panel->step_selection(key == FL_Up ? -1 : 1);
            return true;
        }
    }

    // A control that can be pressed now: shown, active and not held back.
    auto press = [&](Fl_Button* b, bool toggle) {
        if (!b || !b->visible_r() || !b->active_r() || window.exchange_running()) return true;
        if (toggle) b->value(!b->value());
        b->do_callback();
        return true;
    };

    if (!ctrl && key == FL_F + 10) return press(window.menu_button, false);
    if (!ctrl) return false;

    // Ctrl+Plus also arrives as Ctrl+= or Ctrl+Shift+= on most layouts.
    const char* text = Fl::event_text();
    const bool plus = key == '+' || key == '=' || key == FL_KP + '+' || (text && text[0] == '+');
    const bool minus = key == '-' || key == FL_KP + '-';
    const bool zero = key == '0' || key == FL_KP + '0';
    if (plus || minus || zero) {
        if (window.exchange_running()) return true;
        const double now = zoom_factor();
        double next = zero ? 1.0 : plus ? zoom_in(now) : zoom_out(now);
        if (plus) {
            // Never larger than the screen the window is on can show whole.
            int X = 0, Y = 0, W = 0, H = 0;
            Fl::screen_work_area(X, Y, W, H, window.x() + window.w() / 2, window.y() + window.h() / 2);
            const int base_w = int(std::lround(window.w() / now)), base_h = int(std::lround(window.h() / now));
            next = std::max(now, std::min(next, fit_zoom(kZoomMax, base_w, base_h, kFrameAllowance, W, H)));
        }
        if (next != now) {
            zoom_window(window, next, true);
            window.status("  Window zoom " + zoom_text(next) + ".");
        } else if (plus) {
            window.status("  Window zoom stays at " + zoom_text(now) + ": a larger window would not fit this screen.");
        } else if (minus) {
            window.status("  Window zoom stays at " + zoom_text(now) + ": the smallest there is.");
        }
        return true;
    }
    // Letters are taken with or without Shift; a text field keeps the rest.
    switch (key) {
    case 's': return press(window.write_button, false);
    case 'r': return press(window.connect_button, false);
    case 'd': return press(window.compare_button, true);
    // Quit as the button does: asks first about an unsaved edit.
    case 'q': return press(window.quit_button, false);
    default: return false;
    }
}

void read_toolkit_options()
{
    const std::optional<std::string> home = get_env("HOME");
    if (!home || home->empty() || file_exists(*home + "/.fltk/fltk.org/fltk.prefs")) {
        Fl::option(Fl::OPTION_SHOW_TOOLTIPS);
        return;
    }
    // Read through a home that cannot hold a folder (not even for root):
    // the toolkit finds no file there and cannot make one. It keeps what it
    // read for the rest of the run.
    set_env("HOME", "/proc/self/no-home");
    Fl::option(Fl::OPTION_SHOW_TOOLTIPS);
    set_env("HOME", *home);
}

std::string system_text()
{
    const int api = Fl::api_version();
    char toolkit[32];
    std::snprintf(toolkit, sizeof toolkit, "FLTK %d.%d.%d", api / 10000, api / 100 % 100, api % 100);
    return "  Made for :  " + made_for_text() + "\n"
           "  This computer :  " + this_computer_text() + ", " + toolkit + "\n"
           "  Pedal :  " + pedal_access_text() + "\n";
}

std::string keyboard_text()
{
    return "Keyboard\n\n"
           "Tab, Shift+Tab :  the next or previous control\n"
           "Space :  presses the focused button\n"
           "Up, Down in the preset list :  the previous or next slot\n"
           "Left, Right, Up, Down on a knob :  moves it\n\n"
           "Ctrl+S :  WRITE the edit into the selected slot\n"
           "Ctrl+D :  Compare with the preset stored in the slot\n"
           "Ctrl+Z :  undo     Ctrl+Y or Ctrl+Shift+Z :  redo\n"
           "Ctrl+R :  Connect     F10 :  Menu     Ctrl+Q :  Quit\n\n"
           "Ctrl+Plus, Ctrl+Minus :  zoom in, zoom out\n"
           "Ctrl+0 :  zoom 100 %";
}

} // namespace kv
