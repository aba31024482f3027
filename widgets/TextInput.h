#pragma once
// Single-line text field for typing a fresh name: a click empties it, and the
// text colour follows the pointer.

#include <FL/Fl_Input.H>

namespace kv {

class TextInput : public Fl_Input {
public:
    TextInput(int x, int y, int w, int h, const char* label = nullptr);
    ~TextInput() override;

    // Lets the toolkit handle the event, then:
    //   release (any button) -> text cleared, 1
    //   enter                -> box_color, enter_textcolor, 1
    //   leave                -> box_color, leave_textcolor, 1
    //   focus                -> focus_textfont, size 14, box_color, 1
    //   unfocus              -> box_color, 1
    //   anything else        -> the toolkit's result
    // A handled event is followed by a redraw.
    int handle(int event) override;

    Fl_Color box_color = 0x4444ff00;
    Fl_Color leave_textcolor = FL_WHITE;
    Fl_Color enter_textcolor = 0xcccc0000;
    Fl_Font focus_textfont = FL_HELVETICA;
};

} // namespace kv
