#include "widgets/TabPage.h"

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
    if (damage() & ~FL_DAMAGE_CHILD) fl_rectf(x(), y(), w(), h() - kFooterHeight, color());
    Fl_Group::draw();
    fl_font(FL_HELVETICA, 17);
    fl_color(kRuleColor);
    fl_draw(heading, x() + 20, y() + 30, w() - 40, 20, FL_ALIGN_CENTER);
    fl_rectf(x() + 20, y() + 55, w() - 40, 2);
}

} // namespace kv
