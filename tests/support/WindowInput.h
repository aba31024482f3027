#pragma once
// Input for window tests as the toolkit delivers it: mouse presses and key
// strokes through Fl::handle on a window, and picks on choice lists.

#include "widgets/ValueSlider.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Window.H>

namespace kv::test {

// A left press at (x, y) in `window`, optionally dragged to `release_x`, then
// released; the window is drawn after.
inline void press(Fl_Window* window, int x, int y, int release_x = -1)
{
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + 1;
    Fl::e_state = FL_BUTTON1;
    Fl::e_is_click = 0;
    Fl::handle(FL_PUSH, window);
    if (release_x >= 0) {
        Fl::e_x = Fl::e_x_root = release_x;
        Fl::handle(FL_DRAG, window);
    }
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, window);
    Fl::flush();
}

// A left click in the middle of a widget of `window`.
inline void click(Fl_Window* window, Fl_Widget* target)
{
    press(window, target->x() + target->w() / 2, target->y() + target->h() / 2);
}

// Drags a slider's knob past its far right or far left end.
inline void drag_to_end(Fl_Window* window, ValueSlider* s, bool right)
{
    press(window, s->x() + s->w() / 2, s->y() + s->h() / 2, right ? s->x() + s->w() + 40 : s->x() - 40);
}

// Picks an item of a choice list as the toolkit does.
inline void pick(Fl_Choice* c, int index)
{
    c->value(index);
    c->do_callback();
}

// A key pressed and released with no modifier; Escape carries its text.
inline void key(Fl_Window* window, int keysym)
{
    Fl::e_keysym = keysym;
    Fl::e_state = 0;
    static char escape[] = "\033";
    static char none[] = "";
    Fl::e_text = keysym == FL_Escape ? escape : none;
    Fl::e_length = keysym == FL_Escape ? 1 : 0;
    Fl::handle(FL_KEYBOARD, window);
    Fl::e_keysym = keysym;
    Fl::handle(FL_KEYUP, window);
}

}  // namespace kv::test
