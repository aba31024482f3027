#include "config/KV_GloConfPanel.h"

#include <FL/fl_draw.H>

namespace kv {

KV_GloConfPanel::KV_GloConfPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    box(FL_EMBOSSED_BOX);
    end();
}

KV_GloConfPanel::~KV_GloConfPanel() = default;

void KV_GloConfPanel::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA_BOLD, 16);
    fl_color(FL_WHITE);
    fl_draw("-  GLOBAL SETTINGS  -", x(), y() + 20, w(), 20, FL_ALIGN_CENTER);
}

} // namespace kv
