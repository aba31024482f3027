#include "editor/KV_ExpressionEditor.h"
#include "widgets/Zoom.h"

#include "preset/Scales.h"
#include "widgets/Palette.h"
#include "widgets/ValueSlider.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/fl_draw.H>

namespace kv {

namespace {

constexpr const char* kKnobNames[3] = {"SPEED", "DEPTH", "TWEAK"};
constexpr int kMapRow[3] = {135, 202, 269};     // check buttons
constexpr int kHeelRow[3] = {118, 185, 252};    // heel sliders; toe 25 lower
constexpr int kSpeedRow[3] = {377, 421, 465};   // Slow/Fast pairs
constexpr Fl_Color kRuleLight = 0x9a9a9a00;

const char* const kHelp =
    "   Expression Control\n   ~~~~~~~~~~~~~~~\n\n - Up to 6 parameter knobs (3 for X, 3 for Y) may be mapped to "
    "expression control or ramping function.\n\n - You can individually set the 'Toe' and 'Heel' values for each "
    "knob.\n\n - You can also map/unmap the knobs, and adjust the Toe/Heel values on the pedal itself :\n\n     1. "
    "Turn the knob you want to map to the expression/ramping until you reach the desired 'Toe' value.\n     2. Press "
    "and hold that same knob, after 2 seconds the screen will display the expression setting.\n     3. While still "
    "holding down the knob, turn it until you reach the desired 'Heel' value.\n     4. Release the knob. The knob is "
    "now mapped to the expression/ramping, along with the desired\n         Toe and Heel values.\n\n     Note : To "
    "unmap a knob from the expression/ramping set Heel value = Toe value";

const char* const kSpeedFirst =
    "When using Horn or Drum algorithm you can only map\neither the Depth knob or the Speed knob, not both.\n\nIf you "
    "choose to proceed the Depth knob which\nhas already been mapped will be unmapped.";
const char* const kDepthFirst =
    "When using Horn or Drum algorithm you can only map\neither the Depth knob or the Speed knob, not both.\n\nIf you "
    "choose to proceed the Speed knob which\nhas already been mapped will be unmapped.";

// DSP-Y on the left half, DSP-X on the right.
int column(Engine e) { return e == Engine::Y ? 0 : 350; }

} // namespace

const char* KV_ExpressionEditor::help_text() { return kHelp; }

KV_ExpressionEditor::KV_ExpressionEditor(int x, int y, int w, int h, const char* label) : TabPage(x, y, w, h, label)
{
    size_t n = 0;
    auto bind = [&](Fl_Widget* widget, Engine e, Knob k, Part part) {
        controls_[n] = Control{this, e, k, part};
        widget->callback(control_cb, &controls_[n]);
        ++n;
    };
    for (Engine e : {Engine::Y, Engine::X}) {
        const int cx = x + column(e);
        for (int ki = 0; ki < 3; ++ki) {
            const Knob k = Knob(ki);
            // The caption, left of the box, stays clear of the page's edge
            // and of the divider between the engines.
            auto* map = new Fl_Check_Button(cx + 65, y + kMapRow[ki], 20, 25, kKnobNames[ki]);
            map->align(FL_ALIGN_LEFT);
            map->labelsize(12);
            map->labelcolor(FL_WHITE);
            map->selection_color(FL_RED);
            map_buttons_[idx(e)][idx(k)] = map;
            bind(map, e, k, Part::Map);

            for (bool toe : {false, true}) {
                auto* s = new ValueSlider(cx + 135, y + kHeelRow[ki] + (toe ? 25 : 0), 180, 18);
                s->type(FL_HOR_FILL_SLIDER);
                s->bounds(0, 100);
                s->step(1);
                s->textsize(11);
                s->selection_color(kLevelColor);
                (toe ? toe_ : heel_)[idx(e)][idx(k)] = s;
                bind(s, e, k, toe ? Part::Toe : Part::Heel);
            }

            auto* slow = new Fl_Light_Button(cx + 135, y + kSpeedRow[ki], 75, 25, "   Slow");
            auto* fast = new Fl_Light_Button(cx + 210, y + kSpeedRow[ki], 75, 25, "   Fast");
            for (Fl_Light_Button* b : {slow, fast}) {
                b->labelsize(13);
                b->selection_color(kAccentColor);
            }
            slow_[idx(e)][idx(k)] = slow;
            fast_[idx(e)][idx(k)] = fast;
            bind(slow, e, k, Part::Slow);
            bind(fast, e, k, Part::Fast);
        }
    }
    help_button = new Fl_Button(x + 640, y + 15, 20, 20, "?");
    help_button->callback(help_cb, this);
    end();

    // Until the first load: SPEED mapped on both engines, ramps slow, heel
    // 0 and toe 100 everywhere. Filled like a load, so nothing is sent.
    const ExpressionMapping start = ExpressionMapping::initial();
    load(start.levels, start.mapping_flags, start.speed_flags);
    loaded_ = false;
    block_ = default_parameters();
}

KV_ExpressionEditor::~KV_ExpressionEditor() = default;

void KV_ExpressionEditor::load(const std::array<uint8_t, kExpressionLevels>& levels, uint8_t mapping_flags,
                               uint8_t speed_flags)
{
    notify_ = false;
    mapping_.levels = levels;
    mapping_.mapping_flags = uint8_t(mapping_flags & 0xFC);
    mapping_.speed_flags = speed_flags;
    for (Engine e : {Engine::X, Engine::Y})
        for (int ki = 0; ki < 3; ++ki) {
            const Knob k = Knob(ki);
            heel_[idx(e)][idx(k)]->value(expression_raw_to_level(mapping_.level(e, k, false)));
            toe_[idx(e)][idx(k)]->value(expression_raw_to_level(mapping_.level(e, k, true)));
        }
    // DSP-X's buttons take bits 4, 3, 2, then DSP-Y's 7, 6, 5; each runs its
    // own handler, which enables or disables its sliders.
    const ExpressionMapping loaded = mapping_;
    for (Engine e : {Engine::X, Engine::Y})
        for (int ki = 0; ki < 3; ++ki) {
            const Knob k = Knob(ki);
            map_buttons_[idx(e)][idx(k)]->value(loaded.mapped(e, k) ? 1 : 0);
            map_changed(e, k);
        }
    for (Engine e : {Engine::X, Engine::Y})
        for (int ki = 0; ki < 3; ++ki) speed_clicked(e, Knob(ki), loaded.fast(e, Knob(ki)));
    notify_ = true;
    loaded_ = true;
    redraw();
}

void KV_ExpressionEditor::load_mapping(const PresetParameters& p)
{
    block_ = p;
    set_algorithms(p.algorithm_x, p.algorithm_y);
    const ExpressionMapping m = ExpressionMapping::from_block(p);
    load(m.levels, m.mapping_flags, m.speed_flags);
}

void KV_ExpressionEditor::set_algorithms(AlgorithmId x, AlgorithmId y)
{
    algorithm_x_ = x;
    algorithm_y_ = y;
}

PresetParameters KV_ExpressionEditor::mapping() const
{
    PresetParameters p = block_;
    commit_mapping(p, mapping_, p.focus & 0x03);
    return p;
}

void KV_ExpressionEditor::set_sliders_active(Engine e, Knob k, bool active)
{
    for (ValueSlider* s : {heel_[idx(e)][idx(k)], toe_[idx(e)][idx(k)]}) {
        if (active) s->activate();
        else s->deactivate();
    }
}

void KV_ExpressionEditor::map_changed(Engine e, Knob k)
{
    Fl_Check_Button* button = map_buttons_[idx(e)][idx(k)];
    if (!button->value()) {
        mapping_.set_mapped(e, k, false);
        set_sliders_active(e, k, false);
        notify(e);
        redraw();
        return;
    }
    const AlgorithmId algorithm = e == Engine::X ? algorithm_x_ : algorithm_y_;
    if (k != Knob::Tweak && speed_depth_exclusive(algorithm)) {
        const Knob other = k == Knob::Speed ? Knob::Depth : Knob::Speed;
        Fl_Check_Button* other_button = map_buttons_[idx(e)][idx(other)];
        // While loading, the block is shown as it is: no question.
        if (notify_ && other_button->value()) {
            const int answer = dialogs.ask(k == Knob::Speed ? kSpeedFirst : kDepthFirst, "Cancel", "Proceed");
            if (answer != 1) {
                button->value(0);
                redraw();
                return;
            }
            other_button->value(0);
            mapping_.set_mapped(e, other, false);
            set_sliders_active(e, other, false);
        }
    }
    mapping_.set_mapped(e, k, true);
    set_sliders_active(e, k, true);
    notify(e);
    redraw();
}

void KV_ExpressionEditor::level_changed(Engine e, Knob k, bool toe)
{
    ValueSlider* s = (toe ? toe_ : heel_)[idx(e)][idx(k)];
    mapping_.set_level(e, k, toe, expression_level_to_raw(s->value()));
    // Dragging only moves the level; the edit is committed on release.
    if (!s->released) return;
    s->released = false;
    notify(e);
}

void KV_ExpressionEditor::speed_clicked(Engine e, Knob k, bool fast)
{
    fast_[idx(e)][idx(k)]->value(fast ? 1 : 0);
    slow_[idx(e)][idx(k)]->value(fast ? 0 : 1);
    mapping_.set_fast(e, k, fast);
    notify(e);
}

void KV_ExpressionEditor::notify(Engine e)
{
    if (notify_ && on_edit) on_edit(e);
}

void KV_ExpressionEditor::control_cb(Fl_Widget*, void* data)
{
    const Control& c = *static_cast<Control*>(data);
    KV_ExpressionEditor& ed = *c.editor;
    switch (c.part) {
    case Part::Map: ed.map_changed(c.engine, c.knob); break;
    case Part::Heel: ed.level_changed(c.engine, c.knob, false); break;
    case Part::Toe: ed.level_changed(c.engine, c.knob, true); break;
    // Light buttons flip on every click; the pair puts the clicked one on.
    case Part::Slow: ed.speed_clicked(c.engine, c.knob, false); break;
    case Part::Fast: ed.speed_clicked(c.engine, c.knob, true); break;
    }
}

void KV_ExpressionEditor::help_cb(Fl_Widget*, void* data)
{
    static_cast<KV_ExpressionEditor*>(data)->dialogs.show_message(kHelp);
}

void KV_ExpressionEditor::draw()
{
    draw_page("EXPRESSION / RAMP PARAMETER (specified on per preset basis)");
    const int X = x();
    const int Y = y();

    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, zoomed_font(19));
    fl_draw("D S P - Y", X + zoomed(35), Y + zoomed(75));
    fl_draw("D S P - X", X + zoomed(580), Y + zoomed(75));
    fl_font(FL_HELVETICA, zoomed_font(14));
    fl_draw("Expression / Ramp Mapping", X + zoomed(265), Y + zoomed(85));
    fl_draw("Auto-Ramp Speed", X + zoomed(293), Y + zoomed(340));

    fl_color(kRuleLight);
    fl_rectf(X + zoomed(20), Y + zoomed(95), zoomed(660), zoomed(2));
    fl_rectf(X + zoomed(20), Y + zoomed(350), zoomed(660), zoomed(2));
    fl_rectf(X + zoomed(348), Y + zoomed(95), zoomed(2), zoomed(215));
    fl_rectf(X + zoomed(348), Y + zoomed(350), zoomed(2), zoomed(160));

    fl_font(FL_HELVETICA, zoomed_font(12));
    for (Engine e : {Engine::Y, Engine::X}) {
        for (int ki = 0; ki < 3; ++ki) {
            const Knob k = Knob(ki);
            const ValueSlider* heel = heel_[idx(e)][idx(k)];
            const ValueSlider* toe = toe_[idx(e)][idx(k)];
            fl_color(FL_WHITE);
            fl_draw("Heel", heel->x() - zoomed(40), heel->y() + zoomed(13));
            fl_draw("Toe", toe->x() - zoomed(40), toe->y() + zoomed(13));
            const Fl_Light_Button* slow = slow_[idx(e)][idx(k)];
            fl_draw(kKnobNames[ki], slow->x() - zoomed(64), slow->y() + zoomed(17));
            if (!map_buttons_[idx(e)][idx(k)]->value()) {
                fl_color(FL_RED);
                fl_font(FL_HELVETICA_BOLD, zoomed_font(12));
                fl_draw("UN-MAPPED", heel->x() + zoomed(77), heel->y() + zoomed(14));
                fl_font(FL_HELVETICA, zoomed_font(12));
            }
        }
    }
}

} // namespace kv
