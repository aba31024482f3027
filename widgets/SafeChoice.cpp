#include "widgets/SafeChoice.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Window.H>

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

}  // namespace kv
