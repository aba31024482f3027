#include "widgets/TabPage.h"
#include "widgets/Zoom.h"

#include "widgets/Palette.h"

#include <FL/fl_draw.H>

namespace kv {

TabPage::TabPage(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    box(FL_NO_BOX);
    color(kDarkColor);
}

void TabPage::draw_page(const char* heading)
{
    if (damage() & ~FL_DAMAGE_CHILD) fl_rectf(x(), y(), w(), h() - zoomed(kFooterHeight), color());
    Fl_Group::draw();
    fl_font(FL_HELVETICA, zoomed_font(17));
    fl_color(kRuleColor);
    fl_draw(heading, x() + zoomed(20), y() + zoomed(30), w() - zoomed(40), zoomed(20), FL_ALIGN_CENTER);
    fl_rectf(x() + zoomed(20), y() + zoomed(55), w() - zoomed(40), zoomed(2));
}

} // namespace kv
