#include "config/KV_ConfPanel.h"
#include "widgets/Zoom.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

namespace kv {

namespace {

constexpr Fl_Color kRefusedColor = 0xff606000;

} // namespace

KV_ConfPanel::KV_ConfPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {}

void KV_ConfPanel::add_answer_buttons(int confirm_x, int cancel_x, int y)
{
    confirm_button = new Fl_Toggle_Button(confirm_x, y, 120, 25, "Confirm");
    confirm_button->labelsize(14);
    confirm_button->callback(confirm_cb, this);
    cancel_button = new Fl_Button(cancel_x, y, 120, 25, "Cancel");
    cancel_button->labelsize(14);
    cancel_button->callback(cancel_cb, this);
}

void KV_ConfPanel::set_confirm_allowed(bool allowed)
{
    confirm_allowed_ = allowed;
    if (allowed) confirm_button->activate();
    else confirm_button->deactivate();
    redraw();
}

void KV_ConfPanel::answer(ConfAnswer a)
{
    // Confirm shows pressed while the owner sends.
    confirm_button->value(a == ConfAnswer::confirm ? 1 : 0);
    if (on_answer) on_answer(a);
    confirm_button->value(0);
}

void KV_ConfPanel::confirm_cb(Fl_Widget*, void* data) { static_cast<KV_ConfPanel*>(data)->answer(ConfAnswer::confirm); }

void KV_ConfPanel::cancel_cb(Fl_Widget*, void* data) { static_cast<KV_ConfPanel*>(data)->answer(ConfAnswer::cancel); }

void KV_ConfPanel::draw_refusal(int x, int y, int w, int h, Fl_Align align) const
{
    if (confirm_allowed_) return;
    fl_color(kRefusedColor);
    fl_font(FL_HELVETICA, zoomed_font(12));
    fl_draw("Settings could not be read from the pedal: Confirm is off.", x, y, w, h, align);
}

} // namespace kv
