#include "editor/KV_Parameters.h"

#include "preset/Catalogue.h"
#include "preset/Scales.h"
#include "widgets/Palette.h"

#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <string>

namespace kv {

namespace {
const Fl_Color kCardColor = fl_rgb_color(38, 38, 38);
const Fl_Color kCardEdge = fl_rgb_color(80, 80, 80);
const Fl_Color kLabel = fl_rgb_color(170, 170, 170);
const Fl_Color kValue = FL_WHITE;

const char* routing_name(uint8_t r)
{
    switch (r) {
    case 0: return "Cascade";
    case 1: return "Mixture";
    case 2: return "LR-split";
    default: return "?";
    }
}

std::string trim_left(const char* s)
{
    std::string t = s ? s : "";
    size_t i = t.find_first_not_of(' ');
    return i == std::string::npos ? std::string() : t.substr(i);
}
} // namespace

// Colours fade while the panel is inactive, as the toolkit's own widgets do.
static Fl_Color shown(const Fl_Widget* w, Fl_Color c) { return w->active_r() ? c : fl_inactive(c); }

KV_Parameters::KV_Parameters(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    box(FL_NO_BOX);
    end();
    params = default_parameters();
    title = make_title("");
}

KV_Parameters::~KV_Parameters() = default;

void KV_Parameters::load_parameters(const PresetParameters& block)
{
    const bool was_live = live;
    live = false;
    params = block;
    combination = static_cast<int>(combination_of(params.algorithm_x, params.algorithm_y));
    ++loads_;
    live = was_live;
    redraw();
}

void KV_Parameters::load_parameters(const uint8_t* bytes35) { load_parameters(parameters_from_bytes(bytes35)); }

void KV_Parameters::load_record(const PresetRecord& record)
{
    title = record.title;
    has_title = true;
    load_parameters(record.parameters);
}

void KV_Parameters::load_record(const uint8_t* bytes47) { load_record(record_from_bytes(bytes47)); }

void KV_Parameters::set_template_controls_active(bool active)
{
    template_controls_active_ = active;
    redraw();
}

void KV_Parameters::draw_engine(Engine e, int left, int top, int width, int height)
{
    fl_draw_box(FL_ROUNDED_BOX, left, top, width, height, shown(this, kCardColor));
    fl_color(shown(this, kCardEdge));
    fl_line_style(FL_SOLID, 1);
    fl_rect(left + 2, top + 2, width - 4, height - 4);
    fl_line_style(0);

    const int id_raw = params.algorithm(e);
    const bool valid = algorithm_valid(id_raw);
    const AlgorithmInfo& info = algorithm_info(id_raw);
    const int pad = 14;
    int ty = top + 26;

    fl_font(FL_HELVETICA_BOLD, 16);
    fl_color(shown(this, kAccentColor));
    fl_draw(e == Engine::X ? "DSP-X" : "DSP-Y", left + pad, ty);
    const bool engaged = params.engaged(e);
    fl_font(FL_HELVETICA_BOLD, 12);
    fl_color(shown(this, engaged ? kLevelColor : fl_rgb_color(200, 80, 60)));
    fl_draw(engaged ? "ENGAGED" : "BYPASSED", left + width - pad - 80, ty - 4, 80, 12, FL_ALIGN_RIGHT);

    ty += 34;
    fl_font(FL_HELVETICA_BOLD, 24);
    fl_color(shown(this, kValue));
    if (valid) {
        fl_draw(info.code, left + pad, ty);
        const int entry_x = left + pad + std::max(110, int(fl_width(info.code)) + 12);
        fl_font(FL_HELVETICA, 13);
        fl_color(shown(this, kLabel));
        std::string entry = trim_left(info.menu_entry);
        fl_draw(entry.c_str(), entry_x, ty - 3);
    } else {
        char unknown[48];
        std::snprintf(unknown, sizeof unknown, "unknown algorithm (%d)", id_raw);
        fl_font(FL_HELVETICA_BOLD, 16);
        fl_draw(unknown, left + pad, ty);
    }

    // Knobs.
    ty += 30;
    const int col2 = left + pad + 110;
    const int sp1 = params.sp(e, 0);
    const SpeedClass speed = speed_class(id_raw);
    for (int k = 0; k < 3; ++k) {
        const Knob knob = static_cast<Knob>(k);
        std::string value;
        // Where the knob stands, 0 to 100, for the bar.
        double pos = 0;
        if (knob == Knob::Speed) {
            value = std::to_string(speed_text_value(speed, params.speed(e)));
            if (speed == SpeedClass::Tempo) value += " BPM";
            pos = speed_raw_to_position(speed, params.speed(e)) / kSpeedRawMax * 100.0;
        } else {
            const int raw = knob == Knob::Depth ? params.depth(e) : params.tweak(e);
            value = std::to_string(percent_text_value(raw));
            pos = raw_to_percent(raw);
        }
        fl_font(FL_HELVETICA, 13);
        fl_color(shown(this, kLabel));
        fl_draw(valid ? knob_label(id_raw, knob, sp1) : "-", left + pad, ty);
        fl_font(FL_HELVETICA_BOLD, 14);
        fl_color(shown(this, kValue));
        fl_draw(value.c_str(), col2, ty);
        pos = std::clamp(pos, 0.0, 100.0);
        const int bar_x = col2 + 70, bar_w = width - (bar_x - left) - pad;
        fl_color(shown(this, fl_rgb_color(70, 70, 70)));
        fl_rectf(bar_x, ty - 9, bar_w, 6);
        fl_color(shown(this, kLevelColor));
        fl_rectf(bar_x, ty - 9, int(bar_w * pos / 100.0), 6);
        ty += 22;
    }

    // Secondary parameters.
    ty += 8;
    for (int s = 0; s < kSpCount; ++s) {
        if (valid && sp_hidden(id_raw, s)) continue;
        const int code = params.sp(e, s);
        std::string text = "-";
        if (valid) {
            auto texts = option_texts(e, id_raw, s);
            const int posn = code_to_position(id_raw, s, code);
            if (posn >= 0 && size_t(posn) < texts.size()) text = trim_left(texts[size_t(posn)].c_str());
        }
        fl_font(FL_HELVETICA, 13);
        fl_color(shown(this, kLabel));
        const std::string label = valid ? trim_left(sp_label(id_raw, s, sp1)) : std::string("-");
        fl_draw(label.c_str(), left + pad, ty);
        const int value_x = std::max(col2, left + pad + int(fl_width(label.c_str())) + 10);
        fl_font(FL_HELVETICA_BOLD, 13);
        fl_color(shown(this, kValue));
        fl_draw(text.c_str(), value_x, ty);
        ty += 20;
    }

    // Knobs handed to the expression pedal or ramp.
    std::string assigned;
    for (int k = 0; k < 3; ++k) {
        const Knob knob = static_cast<Knob>(k);
        if (!params.expression_assigned(e, knob)) continue;
        if (!assigned.empty()) assigned += ", ";
        assigned += valid ? knob_label(id_raw, knob, sp1) : "?";
    }
    if (assigned.empty()) assigned = "none";
    fl_color(shown(this, kCardEdge));
    fl_rectf(left + pad, top + height - 64, width - 2 * pad, 1);
    fl_font(FL_HELVETICA, 13);
    fl_color(shown(this, kLabel));
    fl_draw("Expression", left + pad, top + height - 38);
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(shown(this, kValue));
    fl_draw(assigned.c_str(), col2, top + height - 38);

    // Tap divide.
    fl_font(FL_HELVETICA, 13);
    fl_color(shown(this, kLabel));
    fl_draw("Tap divide", left + pad, top + height - 14);
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(shown(this, kValue));
    const char* tap = tap_capable(id_raw) ? tap_divide_text(params.tap_divide(e)) : "";
    std::string tap_text = trim_left(tap);
    if (tap_text.empty()) tap_text = "-";
    fl_draw(tap_text.c_str(), col2, top + height - 14);
}

void KV_Parameters::draw()
{
    Fl_Group::draw();
    fl_push_clip(x(), y(), w(), h());

    const int left = x() + 10;
    const int inner = w() - 20;
    int top = y() + 6;

    // Title strip, left of the templates button that lies over the top of the panel.
    fl_draw_box(FL_ROUNDED_BOX, left, top, 596 - left, 34, shown(this, kCardColor));
    fl_font(FL_HELVETICA, 13);
    fl_color(shown(this, kLabel));
    fl_draw("PRESET", left + 14, top + 22);
    if (has_title) {
        std::string t = title_text(title);
        if (t.empty()) t = "(untitled)";
        fl_font(FL_HELVETICA_BOLD, 18);
        fl_color(shown(this, kAccentColor));
        fl_draw(t.c_str(), left + 70, top + 24);
    } else {
        fl_font(FL_HELVETICA_ITALIC, 14);
        fl_color(shown(this, kLabel));
        fl_draw("not read yet", left + 70, top + 22);
    }
    if (combination > 0 && combination < 4) {
        static const char* const names[4] = {"", "Rotary Speaker", "Lo-Fi Vinyl", "Lo-Fi Junk"};
        fl_font(FL_HELVETICA_BOLD, 13);
        fl_color(shown(this, kAccentColor));
        fl_draw(names[combination], 846, top + 22);
    }

    // The two engines: DSP-Y on the left, DSP-X on the right.
    top += 44;
    const int gap = 12;
    const int card_w = (inner - gap) / 2;
    const int card_h = 300;
    draw_engine(Engine::Y, left, top, card_w, card_h);
    draw_engine(Engine::X, left + card_w + gap, top, card_w, card_h);

    // Routing, Pre/Post and volume.
    top += card_h + 10;
    fl_draw_box(FL_ROUNDED_BOX, left, top, inner, 44, shown(this, kCardColor));
    const int cols[3] = {left + 14, left + inner / 3 + 14, left + 2 * inner / 3 + 14};
    const char* labels[3] = {"Routing", "Pre / Post", "Master volume"};
    std::string values[3] = {routing_name(params.routing()), params.post() ? "Post" : "Pre",
                             volume_text(volume_position(params.volume)) + " dB"};
    for (int i = 0; i < 3; ++i) {
        fl_font(FL_HELVETICA, 13);
        fl_color(shown(this, kLabel));
        fl_draw(labels[i], cols[i], top + 27);
        fl_font(FL_HELVETICA_BOLD, 14);
        fl_color(shown(this, kValue));
        fl_draw(values[i].c_str(), cols[i] + (i == 2 ? 100 : 70), top + 27);
    }
    fl_pop_clip();
}

} // namespace kv
