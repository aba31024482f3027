#include "config/KV_MidiConfPanel.h"

#include <FL/fl_draw.H>

namespace kv {

KV_MidiConfPanel::KV_MidiConfPanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    box(FL_EMBOSSED_BOX);
    end();
}

KV_MidiConfPanel::~KV_MidiConfPanel() = default;

void KV_MidiConfPanel::draw()
{
    Fl_Group::draw();
    fl_font(FL_HELVETICA_BOLD, 16);
    fl_color(FL_WHITE);
    fl_draw("-  MIDI CC MAPPING  -", x(), y() + 20, w(), 20, FL_ALIGN_CENTER);
}

} // namespace kv
