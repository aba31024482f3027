#pragma once
// Single-line text field that shows the pointer and the keyboard focus by
// colour. Used for the preset names in the preset pages panel, which also
// marks the field of the selected slot with `selected`.

#include <FL/Fl_Input.H>

namespace kv {

class Input : public Fl_Input {
public:
    Input(int x, int y, int w, int h, const char* label = nullptr);
    ~Input() override;

    // Lets the toolkit handle the event, then sets the colours:
    //   left release          -> idle colours, 1
    //   other release         -> unchanged, 1
    //   enter / focus         -> hover colours, 1
    //   leave / unfocus       -> dark grey + white when selected, idle otherwise, 1
    //   anything else         -> unchanged, the toolkit's result
    // and always asks for a redraw.
    int handle(int event) override;

    // Dark grey a selected field shows once the pointer has left it.
    static constexpr Fl_Color kSelectedLeaveColor = 0x40404000;

    Fl_Color idle_color = FL_WHITE;
    Fl_Color hover_color = FL_RED;
    Fl_Color idle_textcolor = FL_BLACK;
    Fl_Color hover_textcolor = FL_WHITE;
    bool selected = false;
};

} // namespace kv
