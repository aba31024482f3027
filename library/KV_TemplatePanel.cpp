#include "library/KV_TemplatePanel.h"
#include "widgets/Zoom.h"

#include "widgets/SafeChoice.h"

#include <FL/Fl_Choice.H>
#include <FL/fl_draw.H>

namespace kv {

KV_TemplatePanel::KV_TemplatePanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    template_choice = new SafeChoice(x + 79, y + 35, 205, 26);
    template_choice->labelfont(FL_HELVETICA_BOLD);
    template_choice->labelsize(11);
    for (const char* item : {"    -   select a template   -", " 1.  Rotary Speaker", " 2.  Lo-Fi Vinyl ", " 3.  Lo-Fi Junk "})
        template_choice->add(item, 0, nullptr, nullptr, 0);
    template_choice->value(0);
    template_choice->callback(choice_cb, this);
    end();
}

KV_TemplatePanel::~KV_TemplatePanel() = default;

void KV_TemplatePanel::reset()
{
    template_choice->value(0);
    template_index = -1;
}

void KV_TemplatePanel::choice_cb(Fl_Widget*, void* data)
{
    auto* panel = static_cast<KV_TemplatePanel*>(data);
    // value() is -1 when nothing is picked.
    panel->template_index = panel->template_choice->value();
    if (panel->on_pick) panel->on_pick(panel->template_index);
}

void KV_TemplatePanel::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA, zoomed_font(12));
    fl_color(fl_color_average(fl_rgb_color(0x99, 0x66, 0x00), FL_WHITE, 0.67f));
    fl_draw("< click the button again to exit without making changes >", x() + zoomed(28), y() + zoomed(20));
    fl_color(fl_rgb_color(0xC0, 0xC0, 0xC0));
    fl_draw("C.A.T are not presets. These are templates of a certain class", x() + zoomed(15), y() + zoomed(85));
    fl_draw("of algorithms built by combining two specific algorithms and", x() + zoomed(15), y() + zoomed(102));
    fl_draw("DSP routing.", x() + zoomed(15), y() + zoomed(119));
}

} // namespace kv
