#include "editor/KV_ExpressionEditor.h"

#include "widgets/Palette.h"

#include <FL/fl_draw.H>

#include <string>

namespace kv {

KV_ExpressionEditor::KV_ExpressionEditor(int x, int y, int w, int h, const char* label)
    : TabPage(x, y, w, h, label)
{
    end();
}

KV_ExpressionEditor::~KV_ExpressionEditor() = default;

void KV_ExpressionEditor::load_mapping(const PresetParameters& p)
{
    mapping_ = p;
    loaded_ = true;
    redraw();
}

void KV_ExpressionEditor::draw()
{
    draw_page("EXPRESSION & RAMP MAPPING");

    static const char* const knob_names[3] = {"SPEED", "DEPTH", "TWEAK"};
    // DSP-Y on the left half, DSP-X on the right half, as on the Dashboard.
    for (int side = 0; side < 2; ++side) {
        const Engine e = side == 0 ? Engine::Y : Engine::X;
        const int cx = x() + 40 + side * (w() / 2);
        fl_font(FL_HELVETICA_BOLD, 15);
        fl_color(kAccentColor);
        fl_draw(e == Engine::X ? "DSP-X" : "DSP-Y", cx, y() + 90);
        fl_font(FL_HELVETICA, 13);
        fl_color(kSoftTextColor);
        fl_draw("knob", cx, y() + 120);
        fl_draw("assigned", cx + 80, y() + 120);
        fl_draw("heel", cx + 160, y() + 120);
        fl_draw("toe", cx + 220, y() + 120);
        for (int k = 0; k < 3; ++k) {
            const int ly = y() + 150 + 28 * k;
            const Knob knob = static_cast<Knob>(k);
            fl_color(FL_WHITE);
            fl_draw(knob_names[k], cx, ly);
            if (!loaded_) {
                fl_draw("-", cx + 80, ly);
                continue;
            }
            fl_draw(mapping_.expression_assigned(e, knob) ? "yes" : "no", cx + 80, ly);
            const uint8_t* levels = mapping_.expression(e);
            fl_draw(std::to_string(levels[2 * k]).c_str(), cx + 160, ly);
            fl_draw(std::to_string(levels[2 * k + 1]).c_str(), cx + 220, ly);
        }
    }
}

} // namespace kv
