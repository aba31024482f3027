#include "library/KV_PresetPrompt.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

namespace kv {

KV_PresetPrompt::KV_PresetPrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    name_input = new Fl_Input(x + 70, y + 47, 215, 25);
    name_input->color(FL_WHITE);
    name_input->textcolor(FL_BLUE);
    add_files_button = new Fl_Button(x + 102, y + 120, 150, 25, "Add preset from file(s)");
    add_files_button->labelsize(13);
    tips_button = new Fl_Button(x + 35, y + 175, 80, 25, "Tips");
    tips_button->labelsize(13);
    cancel_button = new Fl_Button(x + 135, y + 175, 80, 25, "Cancel");
    cancel_button->labelsize(13);
    save_button = new Fl_Toggle_Button(x + 235, y + 175, 80, 25, "Save");
    save_button->labelsize(13);
    end();
}

KV_PresetPrompt::~KV_PresetPrompt() = default;

void KV_PresetPrompt::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(FL_WHITE);
    fl_draw("Option 1 :", x() + 20, y() + 36);
    fl_draw("OR", x() + 160, y() + 102);
    fl_draw("Option 2 :", x() + 20, y() + 136);
    fl_font(FL_HELVETICA, 13);
    fl_draw("Save current settings as preset.", x() + 93, y() + 36);
}

} // namespace kv
