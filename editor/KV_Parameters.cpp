// The Dashboard's editing: what each control does to the block and the
// programs, loading and swapping, and the requests to the owner. Building
// the controls and drawing the captions are in KV_ParametersLayout.cpp.

#include "editor/KV_Parameters.h"
#include "widgets/Zoom.h"

#include "platform/Clock.h"
#include "platform/DataPaths.h"
#include "preset/ComboTemplates.h"
#include "preset/Scales.h"
#include "widgets/SafeChoice.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace kv {

namespace {

constexpr int kGapMs = 20;        // between consecutive requests
constexpr int kSwapGapMs = 50;    // between the two engines' programs after a swap

const Fl_Color kEngagedMenuText = fl_rgb_color(230, 93, 0);

PreviewRequest program_request(Engine e) { return e == Engine::X ? PreviewRequest::program_x : PreviewRequest::program_y; }
PreviewRequest sequence_request(Engine e) { return e == Engine::X ? PreviewRequest::sequence_x : PreviewRequest::sequence_y; }

} // namespace

const char* const KV_Parameters::kRotaryTips =
    "                           -  Rotary Speaker  -\n"
    "                              --------------------\n\n"
    "1.  Press 'CTRL' or 'Control' key to toggle the rotor speed.\n\n"
    "2.  Adjusting the Speed slider while holding the 'SHIFT' key down\n"
    "     will adjust the rotor speeds of both Horn and Drum in lockstep.\n\n"
    "3.  When Horn and Drum speed sliders are set to the same value,\n"
    "     the drum actually rotates at a slightly slower speed than the horn.\n\n"
    "4.  To toggle the rotor speed on the pedal itself hold footswitch A or B\n"
    "     for half a second, you may release the hold when the toggle status\n"
    "     appears on the screen.\n\n"
    "     Rotor speed can also be toggled via an external Aux switch or MIDI.";

// ---------------------------------------------------------------------------
// Requests

void KV_Parameters::request(PreviewRequest r)
{
    if (on_preview) on_preview(r);
}

void KV_Parameters::pause_ms(int ms) { clock_->sleep(ms / 1000.0); }

void KV_Parameters::repaint() { repaint_area(x(), y(), w(), h()); }

void KV_Parameters::repaint_area(int ax, int ay, int aw, int ah)
{
    // The panel has no background of its own: its captions sit on the
    // window's backdrop, which must be painted again under them.
    if (Fl_Window* win = window()) win->damage(FL_DAMAGE_ALL, ax, ay, aw, ah);
    else redraw();
}

// ---------------------------------------------------------------------------
// Showing the block

void KV_Parameters::set_knob_text(Engine e, Knob k, int value)
{
    knob_text(e, k)->value(std::to_string(value).c_str());
}

// Slider and text of each knob from the block.
void KV_Parameters::show_knobs(Engine e)
{
    const SpeedClass c = speed_class(current_algorithm(e));
    const int speed = params.speed(e);
    knob(e, Knob::Speed)->value(speed_raw_to_position(c, speed));
    set_knob_text(e, Knob::Speed, speed_text_value(c, speed));
    for (Knob k : {Knob::Depth, Knob::Tweak}) {
        const int raw = k == Knob::Depth ? params.depth(e) : params.tweak(e);
        knob(e, k)->value(raw_to_percent(raw));
        set_knob_text(e, k, percent_text_value(raw));
    }
}

void KV_Parameters::show_routing(uint8_t routing)
{
    cascade_button->value(routing == uint8_t(Routing::Cascade));
    mixture_button->value(routing == uint8_t(Routing::Mixture));
    split_button->value(routing == uint8_t(Routing::LrSplit));
}

void KV_Parameters::show_engaged(Engine e)
{
    algorithm_menu(e)->textcolor(params.engaged(e) ? kEngagedMenuText : FL_BLACK);
    algorithm_menu(e)->redraw();
}

void KV_Parameters::show_volume(int position)
{
    volume_bar->value(position);
    volume_text->value(kv::volume_text(position).c_str());
}

void KV_Parameters::set_base_labels(Engine e)
{
    const int id = current_algorithm(e);
    for (int k = 0; k < 3; ++k) knob_label(e, Knob(k))->label(kv::knob_label(id, Knob(k), 0));
    for (int sp = 0; sp < kSpCount; ++sp) sp_label(e, sp)->label(kv::sp_label(id, sp, 0));
}

void KV_Parameters::set_labels(Engine e)
{
    const int id = current_algorithm(e);
    const int sp1 = params.sp(e, 0);
    for (int k = 0; k < 3; ++k) knob_label(e, Knob(k))->label(kv::knob_label(id, Knob(k), sp1));
    for (int sp = 0; sp < kSpCount; ++sp) sp_label(e, sp)->label(kv::sp_label(id, sp, sp1));
}

void KV_Parameters::build_option_lists(Engine e)
{
    const int id = current_algorithm(e);
    for (int sp = 0; sp < kSpCount; ++sp) {
        Fl_Choice* list = sp_list(e, sp);
        list->clear();
        list->show();
        for (const std::string& text : option_texts(e, id, sp)) list->add(text.c_str(), 0, nullptr, nullptr, 0);
        list->value(0);
        if (sp_hidden(id, sp)) list->hide();
        option_count(e)[sp] = kv::option_count(id, sp);
    }
}

// ---------------------------------------------------------------------------
// Algorithms

void KV_Parameters::apply_combination(Engine e)
{
    const Combination c = combination_of(current_algorithm_x, current_algorithm_y);
    combination = int(c);
    if (c == Combination::Rotary) tips_button->show();
    else tips_button->hide();
    if (const auto forced = combination_routing(c)) {
        params.set_routing(*forced);
        if (c == Combination::Rotary && live) params.set_rotor_fast(e, false);
    } else {
        params.set_routing_bits(remembered_routing);
    }
    show_routing(params.routing());
}

void KV_Parameters::set_speed_scale(Engine e, bool was_tempo)
{
    Slider* s = knob(e, Knob::Speed);
    s->minimum(0);
    if (is_tempo_algorithm(current_algorithm(e))) {
        s->maximum(kSpeedRawMax);
        s->step(kTempoSliderStep);
        if (!was_tempo && live) {
            s->value(kTempoStartPosition);
            params.set_speed(e, tempo_position_to_raw(kTempoStartPosition));
            set_knob_text(e, Knob::Speed, tempo_bpm_at_position(kTempoStartPosition));
        }
    } else {
        s->maximum(kPercentMax);
        s->step(1);
        if (was_tempo && live) {
            s->value(kKnobMiddle);
            params.set_speed(e, rate_position_to_raw(kKnobMiddle));
            set_knob_text(e, Knob::Speed, int(kKnobMiddle));
        }
    }
}

void KV_Parameters::algorithm_picked(Engine e)
{
    // A position that is not an algorithm (the lists' titles and spacers
    // cannot be picked) gives the fallback algorithm.
    const AlgorithmId id = position_to_algorithm(algorithm_menu(e)->value());
    current_algorithm_ref(e) = id;
    params.set_algorithm(e, id);

    apply_combination(e);
    set_speed_scale(e, knob(e, Knob::Speed)->step() == kTempoSliderStep);

    if (tap_capable(id)) {
        params.set_tap_on(e, params.tap_divide(e) != kTapDisabled);
        tap_list(e)->activate();
    } else {
        params.set_tap_on(e, false);
        tap_list(e)->deactivate();
    }

    set_base_labels(e);
    build_option_lists(e);
    if (live) {
        for (int sp = 0; sp < kSpCount; ++sp) {
            const uint8_t code = default_option(id, sp);
            params.set_sp(e, sp, code);
            sp_list(e, sp)->value(std::clamp<int>(code, 0, option_count(e)[sp] - 1));
        }
    }
    // A fresh copy already matches the algorithm's default options.
    program(e) = library_.image(id);
    params.set_focus_y(false);

    if (live) {
        request(PreviewRequest::parameters);
        pause_ms(kGapMs);
        request(program_request(e));
        if (is_tempo_algorithm(id)) {
            pause_ms(kGapMs);
            request(sequence_request(e));
        }
    }
    repaint();
}

// ---------------------------------------------------------------------------
// Knobs

// Stores the knob at `position` and shows its number; returns the raw value.
uint16_t KV_Parameters::store_knob(Engine e, Knob k, double position)
{
    if (k == Knob::Speed) {
        const SpeedClass c = speed_class(current_algorithm(e));
        const uint16_t raw = speed_position_to_raw(c, position);
        params.set_speed(e, raw);
        set_knob_text(e, k, c == SpeedClass::Tempo ? tempo_bpm_at_position(position) : int(round_half_up(position)));
        return raw;
    }
    const uint8_t raw = percent_to_raw(position);
    if (k == Knob::Depth) params.set_depth(e, raw);
    else params.set_tweak(e, raw);
    set_knob_text(e, k, int(round_half_up(position)));
    return raw;
}

// HORN and DRUM: SLOW SPEED (the speed knob) and FAST SPEED (the depth knob)
// also choose the rotor speed; with Shift held in the rotary pair the other
// engine's knob follows.
void KV_Parameters::rotor_follows(Engine e, Knob k)
{
    if (k == Knob::Tweak || !is_rotary_algorithm(current_algorithm(e))) return;
    const uint8_t before = params.rotor;
    const bool fast = k == Knob::Depth;
    params.set_rotor_fast(e, fast);
    if (combination == int(Combination::Rotary) && link) {
        const Engine o = other(e);
        const double position = knob(e, k)->value();
        knob(o, k)->value(position);
        store_knob(o, k, position);
        params.set_rotor_fast(o, fast);
    }
    if (params.rotor != before) repaint();
}

void KV_Parameters::knob_moved(Engine e, Knob k)
{
    Slider* s = knob(e, k);
    store_knob(e, k, s->value());
    params.set_focus(e);
    if (k == Knob::Speed) params.clear_focus_bit1();
    rotor_follows(e, k);
    if (current_algorithm(e) == kAlgorithmParaEq && k != Knob::Tweak) repaint_area(s->x(), s->y(), s->w(), s->h());
    if (s->released) {
        s->released = false;
        if (live) request(PreviewRequest::parameters);
    }
}

void KV_Parameters::knob_typed(Engine e, Knob k)
{
    Fl_Int_Input* in = knob_text(e, k);
    Slider* s = knob(e, k);
    const char* typed = in->value() ? in->value() : "";
    if (k == Knob::Speed && is_tempo_algorithm(current_algorithm(e))) {
        const TypedTempo t = typed_tempo(typed);
        s->value(t.position);
        params.set_speed(e, t.raw);
        in->value(t.text.c_str());
    } else {
        const TypedInteger t = typed_clamped(typed, kPercentMin, kPercentMax);
        s->value(t.value);
        store_knob(e, k, t.value);
    }
    params.set_focus(e);
    if (k == Knob::Speed) params.clear_focus_bit1();
    rotor_follows(e, k);
    if (live) request(PreviewRequest::parameters);
}

// ---------------------------------------------------------------------------
// Lists and buttons

void KV_Parameters::sp_picked(Engine e, int sp)
{
    if (sp < 0 || sp >= kSpCount) return;
    const int id = current_algorithm(e);
    const int code = position_to_code(id, sp, std::max(0, sp_list(e, sp)->value()));
    params.set_sp(e, sp, uint8_t(code));
    last_sp_value = code;
    last_sp_index = sp;
    last_sp_engine = index_of(e);
    params.set_focus(e);
    patcher_.patch(sp, code, program(e), AlgorithmId(id));
    if (live) {
        request(PreviewRequest::parameters);
        pause_ms(kGapMs);
        if (sp == 0) {
            request(is_arp_algorithm(id) ? sequence_request(e) : program_request(e));
            // The tremolos (TRMOLO, HCTREM) also ask for the sequence.
            if (id == 0 || id == 1) {
                pause_ms(kGapMs);
                request(sequence_request(e));
            }
        } else {
            request(program_request(e));
        }
    }
    if (sp == 0) {
        set_labels(e);
        repaint();
    }
}

void KV_Parameters::set_option(Engine e, int sp, int position)
{
    if (sp < 0 || sp >= kSpCount) return;
    sp_list(e, sp)->value(std::clamp(position, 0, option_count(e)[sp] - 1));
    const bool was_live = live;
    live = false;
    sp_picked(e, sp);
    live = was_live;
}

void KV_Parameters::tap_picked(Engine e)
{
    const int position = std::clamp(tap_list(e)->value(), 0, kTapDivideCount - 1);
    params.set_tap_divide(e, uint8_t(position));
    params.set_tap_on(e, position != kTapDisabled);
    params.set_focus(e);
    if (live) request(PreviewRequest::parameters);
}

void KV_Parameters::engage_pressed(Engine e)
{
    params.set_engaged(e, engage_button(e)->value() != 0);
    show_engaged(e);
    params.set_focus(e);
    if (live) request(PreviewRequest::parameters);
    repaint();
}

void KV_Parameters::routing_pressed(Routing r)
{
    // Radio trio: pressing the button that is already on changes nothing,
    // not even the routing remembered for when a combination ends.
    if (params.routing() == uint8_t(r)) {
        show_routing(params.routing());
        return;
    }
    show_routing(uint8_t(r));
    params.set_routing(r);
    remembered_routing = params.routing_bits();
    if (live) request(PreviewRequest::parameters);
}

void KV_Parameters::pre_post_pressed(bool post)
{
    const bool changed = params.post() != post;
    pre_button->value(!post);
    post_button->value(post);
    params.set_post(post);
    if (changed && live) request(PreviewRequest::parameters);
}

void KV_Parameters::volume_moved()
{
    const int position = std::clamp(int(volume_bar->value()), kVolumeMin, kVolumeMax);
    params.volume = volume_code(position);
    volume_text->value(kv::volume_text(position).c_str());
    if (volume_bar->released) {
        volume_bar->released = false;
        std::printf("Vol = %d\n", params.volume);
        if (live) request(PreviewRequest::parameters);
    }
}

void KV_Parameters::volume_typed()
{
    const TypedVolume t = typed_volume(volume_text->value() ? volume_text->value() : "");
    show_volume(t.position);
    params.volume = t.code;
    std::printf("Vol = %d\n", params.volume);
    if (live) request(PreviewRequest::parameters);
}

// ---------------------------------------------------------------------------
// Loading and swapping

void KV_Parameters::load_parameters(const PresetParameters& block)
{
    live = false;
    params = block;
    remembered_routing = params.routing_bits();

    // The menu positions of bytes outside 0 to 37 are the fallback's.
    algorithm_menu_y->value(algorithm_to_position(params.algorithm_y));
    algorithm_menu_x->value(algorithm_to_position(params.algorithm_x));
    algorithm_picked(Engine::Y);
    algorithm_picked(Engine::X);

    tap_list_y->value(params.tap_divide_y());
    tap_list_x->value(params.tap_divide_x());

    params.volume = normalised_volume(params.volume);
    show_volume(volume_position(params.volume));

    show_knobs(Engine::Y);
    show_knobs(Engine::X);

    // The rotary pair keeps the routing the block chose; vinyl and junk keep
    // the routing they force.
    if (combination == int(Combination::Rotary)) params.set_routing_bits(remembered_routing);

    for (Engine e : {Engine::Y, Engine::X}) {
        const int id = current_algorithm(e);
        for (int sp = 0; sp < kSpCount; ++sp) {
            const int code = clamp_code(id, sp, params.sp(e, sp));
            params.set_sp(e, sp, uint8_t(code));
            sp_list(e, sp)->value(code_to_position(id, sp, code));
        }
    }
    // The lists' own callbacks patch the programs, write back the codes the
    // lists stand for and rename the labels that follow SP1.
    for (Engine e : {Engine::Y, Engine::X})
        for (int sp = 0; sp < kSpCount; ++sp) sp_picked(e, sp);

    pre_post_pressed(params.post());
    // A foreign block may carry the routing pattern no button names (3):
    // it becomes Cascade.
    const uint8_t routing = params.routing();
    routing_pressed(routing <= uint8_t(Routing::LrSplit) ? Routing(routing) : Routing::Cascade);
    for (Engine e : {Engine::Y, Engine::X}) {
        engage_button(e)->value(params.engaged(e));
        engage_pressed(e);
    }

    live = true;
    ++loads_;
    repaint();
}

void KV_Parameters::load_parameters(const uint8_t* bytes35)
{
    if (bytes35) load_parameters(parameters_from_bytes(bytes35));
}

void KV_Parameters::load_record(const PresetRecord& record)
{
    title = record.title;
    has_title = true;
    load_parameters(record.parameters);
}

void KV_Parameters::load_record(const uint8_t* bytes47)
{
    if (bytes47) load_record(record_from_bytes(bytes47));
}

void KV_Parameters::swap_engines()
{
    live = false;

    params.tap = uint8_t((params.tap << 4) | (params.tap >> 4));
    tap_list_y->value(params.tap_divide_y());
    tap_list_x->value(params.tap_divide_x());

    std::swap(current_algorithm_x, current_algorithm_y);
    algorithm_menu_y->value(algorithm_to_position(current_algorithm_y));
    algorithm_menu_x->value(algorithm_to_position(current_algorithm_x));
    algorithm_picked(Engine::Y);
    algorithm_picked(Engine::X);

    uint8_t* bytes = params.data();
    std::swap_ranges(bytes + 5, bytes + 9, bytes + 9);     // speed, depth, tweak
    show_knobs(Engine::Y);
    show_knobs(Engine::X);

    std::swap_ranges(bytes + 13, bytes + 16, bytes + 16);  // SP1 to SP3
    for (Engine e : {Engine::Y, Engine::X}) {
        const int id = current_algorithm(e);
        for (int sp = 0; sp < kSpCount; ++sp) {
            const int code = clamp_code(id, sp, params.sp(e, sp));
            params.set_sp(e, sp, uint8_t(code));
            sp_list(e, sp)->value(code_to_position(id, sp, code));
            patcher_.patch(sp, code, program(e), AlgorithmId(id));
        }
        set_labels(e);
    }

    const bool engaged_x = params.engaged_x();
    params.set_engaged_x(params.engaged_y());
    params.set_engaged_y(engaged_x);
    for (Engine e : {Engine::Y, Engine::X}) {
        engage_button(e)->value(params.engaged(e));
        engage_pressed(e);
    }

    std::swap_ranges(bytes + 19, bytes + 25, bytes + 25);  // expression levels

    live = true;
    request(PreviewRequest::parameters);
    params.set_focus_y(false);
    pause_ms(kGapMs);
    request(PreviewRequest::program_x);
    if (is_tempo_algorithm(current_algorithm_x)) {
        pause_ms(kGapMs);
        request(PreviewRequest::sequence_x);
    }
    pause_ms(kSwapGapMs);
    params.set_focus_y(true);
    request(PreviewRequest::program_y);
    if (is_tempo_algorithm(current_algorithm_y)) {
        pause_ms(kGapMs);
        request(PreviewRequest::sequence_y);
    }
    repaint();
}

bool KV_Parameters::apply_template(int item)
{
    const ComboTemplate* t = combo_template(item);
    if (!t) return false;
    combination = item;
    algorithm_menu_x->value(algorithm_to_position(t->algorithm_x));
    algorithm_menu_y->value(algorithm_to_position(t->algorithm_y));
    live = false;
    for (Engine e : {Engine::Y, Engine::X}) {
        engage_button(e)->value(1);
        engage_pressed(e);
    }
    live = true;
    algorithm_picked(Engine::X);
    algorithm_picked(Engine::Y);
    repaint();
    return true;
}

void KV_Parameters::set_template_controls_active(bool active)
{
    template_controls_active_ = active;
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(swap_button), static_cast<Fl_Widget*>(knob_y[0]),
                         static_cast<Fl_Widget*>(knob_x[0]), static_cast<Fl_Widget*>(knob_text_y[0]),
                         static_cast<Fl_Widget*>(knob_text_x[0])}) {
        if (active) w->activate();
        else w->deactivate();
    }
}

// ---------------------------------------------------------------------------
// Events

int KV_Parameters::handle(int event)
{
    if (event == FL_KEYBOARD) {
        const int key = Fl::event_key();
        if (key == FL_KP_Enter) return Fl_Group::handle(event);
        if (is_rotary_algorithm(current_algorithm_x) || is_rotary_algorithm(current_algorithm_y)) {
            if (key == FL_Shift_L) {
                link = true;
            } else if (key == FL_Control_L || key == FL_Control_R) {
                params.toggle_rotor_fast_both();
                request(PreviewRequest::parameters);
                repaint();
            }
        }
        return 1;
    }
    if (event == FL_KEYUP) {
        link = false;
        return 0;
    }
    return Fl_Group::handle(event);
}

void KV_Parameters::widget_cb(Fl_Widget* w, void* data) { static_cast<KV_Parameters*>(data)->dispatch(w); }

void KV_Parameters::dispatch(Fl_Widget* w)
{
    if (w == swap_button) return swap_engines();
    if (w == tips_button) {
        if (combination == int(Combination::Rotary) && show_tips) show_tips(kRotaryTips);
        return;
    }
    if (w == cascade_button) return routing_pressed(Routing::Cascade);
    if (w == mixture_button) return routing_pressed(Routing::Mixture);
    if (w == split_button) return routing_pressed(Routing::LrSplit);
    if (w == pre_button) return pre_post_pressed(false);
    if (w == post_button) return pre_post_pressed(true);
    if (w == volume_bar) return volume_moved();
    if (w == volume_text) return volume_typed();
    for (Engine e : {Engine::Y, Engine::X}) {
        if (w == algorithm_menu(e)) return algorithm_picked(e);
        if (w == tap_list(e)) return tap_picked(e);
        if (w == engage_button(e)) return engage_pressed(e);
        for (int k = 0; k < 3; ++k) {
            if (w == knob(e, Knob(k))) return knob_moved(e, Knob(k));
            if (w == knob_text(e, Knob(k))) return knob_typed(e, Knob(k));
        }
        for (int sp = 0; sp < kSpCount; ++sp)
            if (w == sp_list(e, sp)) return sp_picked(e, sp);
    }
}

} // namespace kv
