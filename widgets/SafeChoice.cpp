#include "widgets/SafeChoice.h"

#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>

#include <cstring>
#include <typeinfo>

namespace kv {

namespace {

Fl_Event_Dispatch previous_dispatch = nullptr;
bool installed = false;
bool pointer_lost = false;   // the pointer has left the items since it was last on one
int dropped = 0;

// The open pop-up, when one holds the grab.
bool menu_is_up()
{
    return Fl::grab() != nullptr && dynamic_cast<Fl_Menu_Window*>(Fl::grab()) != nullptr;
}

// One of the toolkit's own menu windows (its class is private to Fl_Menu.cxx;
// tooltips and menu titles are Fl_Menu_Windows too, but hold no items).
bool is_menu_window(Fl_Window* w)
{
    if (!w || !w->shown() || !w->visible() || !dynamic_cast<Fl_Menu_Window*>(w)) return false;
    return std::strstr(typeid(*w).name(), "menuwindow") != nullptr;
}

// True when the root position lies well inside an open menu window, where
// the toolkit always finds an item (borders and the last pixels are left
// out: being wrong there only drops a key).
bool over_an_item(int x_root, int y_root)
{
    constexpr int kMargin = 6;
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
        if (!is_menu_window(w)) continue;
        if (x_root >= w->x() + kMargin && x_root < w->x() + w->w() - kMargin && y_root >= w->y() + kMargin &&
            y_root < w->y() + w->h() - kMargin)
            return true;
    }
    return false;
}

bool steps_backward(int event)
{
    if (event != FL_KEYBOARD && event != FL_SHORTCUT) return false;
    const int key = Fl::event_key();
    return key == FL_Up || key == FL_BackSpace || (key == FL_Tab && Fl::event_shift());
}

int pass_on(int event, Fl_Window* window)
{
    return previous_dispatch ? previous_dispatch(event, window) : Fl::handle_(event, window);
}

int guarded_dispatch(int event, Fl_Window* window)
{
    if (!menu_is_up()) {
        pointer_lost = false;   // the next pop-up starts with the pointer on its own terms
        return pass_on(event, window);
    }
    switch (event) {
    case FL_MOVE:
    case FL_DRAG:
    case FL_PUSH:
    case FL_ENTER:
        pointer_lost = !over_an_item(Fl::event_x_root(), Fl::event_y_root());
        break;
    default:
        break;
    }
    // Only a pointer event outside the items turns "no item" on, and only one
    // over an item turns it off again: keys never do either reliably.
    if (steps_backward(event) && pointer_lost) {
        ++dropped;
        return 1;
    }
    return pass_on(event, window);
}

}  // namespace

void install_menu_guard()
{
    if (installed) return;
    installed = true;
    previous_dispatch = Fl::event_dispatch();
    Fl::event_dispatch(guarded_dispatch);
}

int menu_guard_dropped_keys() { return dropped; }

void SafeChoice::draw()
{
    if (zoom_factor() == 1.0 || Fl::scheme()) {
        Fl_Choice::draw();
        return;
    }
    const int dx = Fl::box_dx(FL_DOWN_BOX), dy = Fl::box_dy(FL_DOWN_BOX);
    const int H = h() - 2 * dy;
    const int W = std::min(zoomed(20), H);
    const int X = x() + w() - W - dx, Y = y() + dy;
    // The field: the text background, or the widget's colour lightened when
    // the text would not read on it; then the raised arrow box at its right.
    const bool text_reads = fl_contrast(textcolor(), FL_BACKGROUND2_COLOR) == textcolor();
    draw_box(FL_DOWN_BOX, text_reads ? FL_BACKGROUND2_COLOR : fl_lighter(color()));
    draw_box(FL_UP_BOX, X, Y, W, H, color());
    const int side = std::max(1, (W - 4) / 3);
    const int ax = X + (W - 2 * side - 1) / 2, ay = Y + (H - side - 1) / 2;
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_polygon(ax, ay, ax + 2 * side, ay, ax + side, ay + side);
    // The chosen item, clipped to the field.
    if (const Fl_Menu_Item* chosen = mvalue()) {
        Fl_Menu_Item item = *chosen;
        if (active_r()) item.activate();
        else item.deactivate();
        const int fw = w() - W - 2 * dx;
        // The item's text starts where it starts at 100 %, scaled: the
        // toolkit's fixed margin and the widths of leading spaces do not
        // grow with the font.
        int shift = 0;
        if (const char* text = item.label()) {
            int spaces = 0;
            while (text[spaces] == ' ') ++spaces;
            const int base_size = std::max(1, int(std::lround(textsize() / zoom_factor())));
            fl_font(textfont(), base_size);
            const double at_base = 3 + fl_width(text, spaces);
            fl_font(textfont(), textsize());
            const double now = 3 + fl_width(text, spaces);
            shift = int(std::lround(at_base * zoom_factor() - now));
        }
        fl_push_clip(x() + dx, Y, fw, H);
        fl_draw_shortcut = 2;   // underline the & letter, as the toolkit's menus do
        item.draw(x() + dx + shift, Y, fw - shift, H, this);
        fl_draw_shortcut = 0;
        fl_pop_clip();
    }
    draw_label();
}

}  // namespace kv
