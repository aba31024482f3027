// The catalogue first: the X11 headers that the toolkit pulls in define None.
#include "preset/Catalogue.h"

#include "app/Desktop.h"

#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "widgets/Artwork.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/x.H>

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

std::optional<double> desktop_xft_dpi()
{
    fl_open_display();
    const char* resources = fl_display ? XResourceManagerString(fl_display) : nullptr;
    if (!resources) return std::nullopt;
    const std::string text(resources);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind("Xft.dpi:", 0) == 0) {
            const std::optional<double> dpi = parse_zoom(line.substr(8));
            if (dpi) return dpi;
        }
        start = end + 1;
    }
    return std::nullopt;
}

ZoomChoice start_zoom(int base_w, int base_h)
{
    fl_open_display();
    ZoomInputs in;
    in.korvane_zoom = get_env("KORVANE_ZOOM");
    in.remembered = read_remembered_zoom(user_settings_path());
    in.gdk_scale = get_env("GDK_SCALE");
    in.xft_dpi = desktop_xft_dpi();
    float h = 0, v = 0;
    Fl::screen_dpi(h, v, 0);
    if (h > 0) in.screen_dpi = double(h);
    int X = 0, Y = 0, W = 0, H = 0;
    Fl::screen_work_area(X, Y, W, H, 0);
    in.work_w = W;
    in.work_h = H;
    in.window_w = base_w;
    in.window_h = base_h;
    in.frame_h = kFrameAllowance;
    return choose_start_zoom(in);
}

void zoom_window(Korvane& window, double factor, bool remember)
{
    factor = zoom_step(factor);
    apply_zoom(window, factor);
    // The board wraps its lines at its own width (as it was built: less 20 at 100 %).
    if (KV_TextBoard* board = window.text_board) {
        board->scrollbar_width(zoomed(8));
        board->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, board->w() - zoomed(20));
    }
    if (window.shown()) {
        // Kept on the screen it is on.
        int X = 0, Y = 0, W = 0, H = 0;
        Fl::screen_work_area(X, Y, W, H, window.x() + window.w() / 2, window.y() + window.h() / 2);
        const int nx = std::max(X, std::min(window.x(), X + W - window.w()));
        const int ny = std::max(Y, std::min(window.y(), Y + H - window.h()));
        if (nx != window.x() || ny != window.y()) window.position(nx, ny);
    }
    window.redraw();
    if (remember) {
        const std::string failed = remember_zoom(user_settings_path(), factor);
        if (!failed.empty()) std::fprintf(stderr, "korvane: the zoom is not remembered: %s\n", failed.c_str());
    }
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
    const std::string t = window_title(window.serial_number, unsaved);
    if (!window.label() || t != window.label()) window.copy_label(t.c_str());
}

bool window_shortcut(Korvane& window, int event)
{
    if (event != FL_KEYBOARD && event != FL_SHORTCUT) return false;
    const int key = Fl::event_key();
    const bool ctrl = (Fl::event_state() & FL_CTRL) != 0;
    const bool alt = (Fl::event_state() & (FL_ALT | FL_META)) != 0;
    if (alt) return false;

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
        const double next = zero ? 1.0 : plus ? zoom_in(now) : zoom_out(now);
        if (next != now) zoom_window(window, next, true);
        return true;
    }
    // Letters are taken with or without Shift; a text field keeps the rest.
    switch (key) {
    case 's': return press(window.write_button, false);
    case 'r': return press(window.connect_button, false);
    case 'd': return press(window.compare_button, true);
    default: return false;
    }
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
           "Ctrl+R :  Connect     F10 :  Menu\n\n"
           "Ctrl+Plus, Ctrl+Minus :  zoom in, zoom out\n"
           "Ctrl+0 :  zoom 100 %";
}

} // namespace kv
