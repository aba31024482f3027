#include "widgets/Input.h"

#include <FL/Fl.H>

namespace kv {

Input::Input(int x, int y, int w, int h, const char* label)
    : Fl_Input(x, y, w, h, label)
{
}

Input::~Input() = default;

int Input::handle(int event)
{
    int result = Fl_Input::handle(event);
    switch (event) {
    case FL_RELEASE:
        if (Fl::event_key() == FL_Button + 1) {
            color(idle_color);
            textcolor(idle_textcolor);
        }
        result = 1;
        break;
    case FL_ENTER:
    case FL_FOCUS:
        color(hover_color);
        textcolor(hover_textcolor);
        result = 1;
        break;
    case FL_LEAVE:
    case FL_UNFOCUS:
        if (selected) {
            color(kSelectedLeaveColor);
            textcolor(FL_WHITE);
        } else {
            color(idle_color);
            textcolor(idle_textcolor);
        }
        result = 1;
        break;
    default:
        break;
    }
    redraw();
    return result;
}

} // namespace kv
