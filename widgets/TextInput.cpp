#include "widgets/TextInput.h"

namespace kv {

TextInput::TextInput(int x, int y, int w, int h, const char* label)
    : Fl_Input(x, y, w, h, label)
{
}

TextInput::~TextInput() = default;

int TextInput::handle(int event)
{
    int result = Fl_Input::handle(event);
    switch (event) {
    case FL_RELEASE:
        // A click always starts a fresh name.
        value("");
        break;
    case FL_ENTER:
        color(box_color);
        textcolor(enter_textcolor);
        break;
    case FL_LEAVE:
        color(box_color);
        textcolor(leave_textcolor);
        break;
    case FL_FOCUS:
        textfont(focus_textfont);
        textsize(14);
        color(box_color);
        break;
    case FL_UNFOCUS:
        color(box_color);
        break;
    default:
        return result;
    }
    redraw();
    return 1;
}

} // namespace kv
