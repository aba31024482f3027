#include "widgets/FocusMark.h"

#include "widgets/Palette.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace kv {

namespace {
bool g_keyboard_focus = false;
}

void set_keyboard_focus(bool on) { g_keyboard_focus = on; }

bool keyboard_focus() { return g_keyboard_focus; }

void draw_focus_mark(Fl_Widget& w)
{
    if (!g_keyboard_focus || Fl::focus() != &w || !Fl::visible_focus() || !w.visible_focus()) return;
    fl_color(kAccentColor);
    const int t = std::max(1, zoomed(2));
    fl_rectf(w.x(), w.y(), w.w(), t);
    fl_rectf(w.x(), w.y() + w.h() - t, w.w(), t);
    fl_rectf(w.x(), w.y(), t, w.h());
    fl_rectf(w.x() + w.w() - t, w.y(), t, w.h());
}

void repaint_focus_area(Fl_Widget& w)
{
    if (Fl_Window* win = w.window()) win->damage(FL_DAMAGE_ALL, w.x(), w.y(), w.w(), w.h());
    else w.redraw();
}

} // namespace kv
