#include "library/KV_PresetPrompt.h"
#include "widgets/Zoom.h"

#include "widgets/TextInput.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

namespace kv {

KV_PresetPrompt::KV_PresetPrompt(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    name_input = new TextInput(x + 70, y + 47, 215, 25);
    name_input->color(FL_WHITE);
    name_input->textcolor(FL_BLUE);
    name_input->box_color = FL_WHITE;
    name_input->leave_textcolor = FL_BLUE;
    name_input->enter_textcolor = FL_BLACK;
    name_input->when(FL_WHEN_CHANGED);
    name_input->callback(name_cb, this);
    add_files_button = new Fl_Button(x + 102, y + 120, 150, 25, "Add preset from file(s)");
    add_files_button->labelsize(13);
    add_files_button->callback(add_files_cb, this);
    tips_button = new Fl_Button(x + 35, y + 175, 80, 25, "Tips");
    tips_button->labelsize(13);
    tips_button->callback(tips_cb, this);
    cancel_button = new Fl_Button(x + 135, y + 175, 80, 25, "Cancel");
    cancel_button->labelsize(13);
    cancel_button->callback(cancel_cb, this);
    save_button = new Fl_Toggle_Button(x + 235, y + 175, 80, 25, "Save");
    save_button->labelsize(13);
    save_button->callback(save_cb, this);
    end();
}

KV_PresetPrompt::~KV_PresetPrompt() = default;

void KV_PresetPrompt::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA_BOLD, zoomed_font(13));
    fl_color(FL_WHITE);
    fl_draw("Option 1 :", x() + zoomed(20), y() + zoomed(36));
    fl_draw("OR", x() + zoomed(160), y() + zoomed(102));
    fl_draw("Option 2 :", x() + zoomed(20), y() + zoomed(136));
    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_draw("Save current settings as preset.", x() + zoomed(93), y() + zoomed(36));
}

void KV_PresetPrompt::open()
{
    name_input->textsize(12);
    name_input->textfont(FL_HELVETICA_ITALIC);
    name_input->value(kNameHint);
    name_input->clear_changed();
    name_typed = false;
    file_index = -1;
    show();
    redraw();
}

void KV_PresetPrompt::report(Action a)
{
    if (on_action) on_action(a);
}

void KV_PresetPrompt::save_cb(Fl_Widget*, void* prompt)
{
    auto* p = static_cast<KV_PresetPrompt*>(prompt);
    p->report(p->name_typed ? Action::Save : Action::SaveUntyped);
    p->save_button->value(0);
}

void KV_PresetPrompt::add_files_cb(Fl_Widget*, void* prompt) { static_cast<KV_PresetPrompt*>(prompt)->report(Action::AddFiles); }

void KV_PresetPrompt::tips_cb(Fl_Widget*, void* prompt) { static_cast<KV_PresetPrompt*>(prompt)->report(Action::Tips); }

void KV_PresetPrompt::cancel_cb(Fl_Widget*, void* prompt)
{
    auto* p = static_cast<KV_PresetPrompt*>(prompt);
    p->file_index = -1;
    p->report(Action::Cancel);
}

void KV_PresetPrompt::name_cb(Fl_Widget*, void* prompt) { static_cast<KV_PresetPrompt*>(prompt)->name_typed = true; }

} // namespace kv
