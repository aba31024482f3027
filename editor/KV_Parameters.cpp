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

// Where the window puts the panel; every position below is a window
// position, moved with the panel when it stands elsewhere.
constexpr int kHomeX = 375;
constexpr int kHomeY = 62;

constexpr int kGapMs = 20;        // between consecutive requests
constexpr int kSwapGapMs = 50;    // between the two engines' programs after a swap

const Fl_Color kEngagedMenuText = fl_rgb_color(230, 93, 0);
const Fl_Color kRotorMark = fl_rgb_color(255, 102, 0);
const Fl_Color kCaption = fl_rgb_color(31, 31, 31);
const Fl_Color kCodeIdle = fl_rgb_color(64, 64, 64);
const Fl_Color kCodeCombined = fl_rgb_color(96, 96, 96);
const Fl_Color kParaEqCaption = fl_rgb_color(51, 51, 51);

struct EngineLayout {
    int menu_x, menu_y;
    int engage_dx;             // engage button right of the menu
    int tap_x, tap_y;
    int knob_x[3], knob_y[3];  // speed, depth, tweak
    int sp_x;
};
constexpr EngineLayout kLayoutY = {545, 243, 124, 391, 85, {390, 545, 390}, {155, 155, 250}, 390};
constexpr EngineLayout kLayoutX = {737, 243, 123, 914, 85, {756, 912, 912}, {155, 155, 250}, 902};
constexpr int kSpListY[3] = {335, 400, 465};
constexpr const EngineLayout& layout(Engine e) { return e == Engine::X ? kLayoutX : kLayoutY; }

Fl_PNG_Image* load_image(const char* file)
{
    auto* img = new Fl_PNG_Image(image_path(file).c_str());
    if (img->fail() || img->w() <= 0 || img->h() <= 0) {
        delete img;
        return nullptr;
    }
    return img;
}

PreviewRequest program_request(Engine e) { return e == Engine::X ? program_x : program_y; }
PreviewRequest sequence_request(Engine e) { return e == Engine::X ? sequence_x : sequence_y; }

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

KV_Parameters::KV_Parameters(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), clock_(&system_clock())
{
    box(FL_NO_BOX);
    show_tips = [](const char* text) { fl_message("%s", text); };
    banner_rotary_ = load_image(combination_banner(Combination::Rotary));
    banner_vinyl_ = load_image(combination_banner(Combination::Vinyl));
    banner_junk_ = load_image(combination_banner(Combination::Junk));
    tips_image_ = load_image("tips_Button_[38x38].png");
    library_ok = library_.load(data_path(AlgorithmLibrary::kFileName));

    build_controls(x - kHomeX, y - kHomeY);
    end();

    // Start-up state: the default block, DSP-Y on "Dimension" and DSP-X on
    // "Dynamic Tremolo", every list on its default, every knob in the middle.
    params = default_parameters();
    title = make_title("");
    live = false;
    algorithm_menu_y->value(kMenuStartPositionY);
    algorithm_menu_x->value(kMenuStartPositionX);
    algorithm_picked(Engine::Y);
    algorithm_picked(Engine::X);
    for (Engine e : {Engine::Y, Engine::X}) {
        tap_list(e)->value(params.tap_divide(e));
        for (int sp = 0; sp < kSpCount; ++sp)
            sp_list(e, sp)->value(std::clamp<int>(default_option(current_algorithm(e), sp), 0, option_count(e)[sp] - 1));
        for (int k = 0; k < 3; ++k) {
            knob(e, Knob(k))->value(kKnobMiddle);
            set_knob_text(e, Knob(k), int(kKnobMiddle));
        }
        engage_button(e)->value(1);
        show_engaged(e);
    }
    volume_bar->value(0);
    volume_text->value(" 0");
    remembered_routing = params.routing_bits();
    show_routing(params.routing());
    pre_button->value(1);
    post_button->value(0);
    params.set_focus_y(false);
    live = true;
}

KV_Parameters::~KV_Parameters()
{
    // The tips button shows tips_image_: the widgets go first.
    clear();
    delete banner_rotary_;
    delete banner_vinyl_;
    delete banner_junk_;
    delete tips_image_;
}

// ---------------------------------------------------------------------------
// Construction

void KV_Parameters::build_controls(int ox, int oy)
{
    build_engine(Engine::Y, ox, oy);
    build_engine(Engine::X, ox, oy);

    swap_button = new Fl_Button(670 + ox, 99 + oy, 100, 26, " <<  SWAP  >> ");
    swap_button->labelsize(12);
    swap_button->callback(widget_cb, this);

    tips_button = new Fl_Button(701 + ox, 293 + oy, 38, 38);
    tips_button->box(FL_NO_BOX);
    if (tips_image_) tips_button->image(tips_image_);
    else tips_button->label("?");
    tips_button->tooltip("rotary speaker tips");
    tips_button->callback(widget_cb, this);
    tips_button->hide();

    routing_box = new Fl_Box(565 + ox, 392 + oy, 312, 97);
    routing_box->box(FL_EMBOSSED_FRAME);

    const int rx[3] = {677, 752, 827};
    Fl_Check_Button** trio[3] = {&cascade_button, &mixture_button, &split_button};
    for (int i = 0; i < 3; ++i) {
        *trio[i] = new Fl_Check_Button(rx[i] + ox, routing_box->y() + 4, 20, 26);
        (*trio[i])->callback(widget_cb, this);
    }
    pre_button = new Fl_Check_Button(677 + ox, routing_box->y() + 49, 20, 26);
    pre_button->callback(widget_cb, this);
    post_button = new Fl_Check_Button(752 + ox, routing_box->y() + 49, 20, 26);
    post_button->callback(widget_cb, this);

    volume_bar = new Scrollbar(585 + ox, 336 + oy, 270, 20);
    volume_bar->type(FL_HORIZONTAL);
    volume_bar->bounds(kVolumeMin, kVolumeMax);
    volume_bar->step(1);
    volume_bar->linesize(1);
    volume_bar->slider_size(0.15);
    volume_bar->callback(widget_cb, this);

    volume_text = new Fl_Int_Input(volume_bar->x() + 230, volume_bar->y() + 23, 34, 20);
    volume_text->textsize(14);
    // Enter, or leaving the field, commits a changed text. Never "always":
    // the toolkit runs an input's callback when its page is hidden, and an
    // unchanged field must not send anything then.
    volume_text->when(FL_WHEN_ENTER_KEY | FL_WHEN_RELEASE);
    volume_text->callback(widget_cb, this);
}

void KV_Parameters::build_engine(Engine e, int ox, int oy)
{
    const EngineLayout& l = layout(e);

    // SafeChoice: no key can crash the toolkit's pop-up (widgets/SafeChoice.h).
    auto* menu = new SafeChoice(l.menu_x + ox, l.menu_y + oy, 160, 28);
    menu->textsize(13);
    // The three-argument add would split " Tap | Clk Disabled" at the bar:
    // items are always added one by one.
    for (const AlgorithmMenuItem& item : algorithm_menu_items(e))
        menu->add(item.text, 0, nullptr, nullptr, item.active ? 0 : FL_MENU_INACTIVE);
    menu->callback(widget_cb, this);
    (e == Engine::X ? algorithm_menu_x : algorithm_menu_y) = menu;

    auto* engage = new Fl_Check_Button(menu->x() + l.engage_dx, menu->y() + 28, 25, 27);
    engage->value(1);
    engage->tooltip("engage or bypass");
    engage->callback(widget_cb, this);
    (e == Engine::X ? engage_button_x : engage_button_y) = engage;

    auto* tap = new SafeChoice(l.tap_x + ox, l.tap_y + oy, 139, 26);
    tap->textsize(12);
    for (int i = 0; i < kTapDivideCount; ++i) tap->add(tap_divide_text(i), 0, nullptr, nullptr, 0);
    tap->callback(widget_cb, this);
    (e == Engine::X ? tap_list_x : tap_list_y) = tap;

    for (int k = 0; k < 3; ++k) {
        auto* slider = new Slider(FL_HOR_NICE_SLIDER, l.knob_x[k] + ox, l.knob_y[k] + oy, 140, 17);
        slider->bounds(0, 100);
        slider->step(1);
        slider->callback(widget_cb, this);
        auto* text = new Fl_Int_Input(slider->x() + 123, slider->y() + 15, 34, 20);
        text->textsize(14);
        text->when(FL_WHEN_ENTER_KEY | FL_WHEN_RELEASE);   // as volume_text
        text->callback(widget_cb, this);
        auto* label = new Fl_Box(slider->x() + 20, slider->y() + 23, 100, 20);
        label->labelsize(12);
        label->labelcolor(kCaption);
        label->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
        (e == Engine::X ? knob_x : knob_y)[k] = slider;
        (e == Engine::X ? knob_text_x : knob_text_y)[k] = text;
        (e == Engine::X ? knob_label_x : knob_label_y)[k] = label;
    }

    for (int sp = 0; sp < kSpCount; ++sp) {
        auto* list = new SafeChoice(l.sp_x + ox, kSpListY[sp] + oy, 150, 24);
        list->textsize(13);
        list->callback(widget_cb, this);
        auto* label = new Fl_Box(list->x(), list->y() - 21, 100, 20);
        label->labelsize(14);
        label->labelcolor(kCaption);
        label->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
        (e == Engine::X ? sp_x : sp_y)[sp] = list;
        (e == Engine::X ? sp_label_x : sp_label_y)[sp] = label;
    }
}

// ---------------------------------------------------------------------------
// Requests

void KV_Parameters::request(PreviewRequest r)
{
    preview_request = r;
    do_callback();
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
        request(parameters);
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
        if (live) request(parameters);
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
    if (live) request(parameters);
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
        request(parameters);
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
    if (live) request(parameters);
}

void KV_Parameters::engage_pressed(Engine e)
{
    params.set_engaged(e, engage_button(e)->value() != 0);
    show_engaged(e);
    params.set_focus(e);
    if (live) request(parameters);
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
    if (live) request(parameters);
}

void KV_Parameters::pre_post_pressed(bool post)
{
    const bool changed = params.post() != post;
    pre_button->value(!post);
    post_button->value(post);
    params.set_post(post);
    if (changed && live) request(parameters);
}

void KV_Parameters::volume_moved()
{
    const int position = std::clamp(int(volume_bar->value()), kVolumeMin, kVolumeMax);
    params.volume = volume_code(position);
    volume_text->value(kv::volume_text(position).c_str());
    if (volume_bar->released) {
        volume_bar->released = false;
        std::printf("Vol = %d\n", params.volume);
        if (live) request(parameters);
    }
}

void KV_Parameters::volume_typed()
{
    const TypedVolume t = typed_volume(volume_text->value() ? volume_text->value() : "");
    show_volume(t.position);
    params.volume = t.code;
    std::printf("Vol = %d\n", params.volume);
    if (live) request(parameters);
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
    request(parameters);
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
                request(parameters);
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

// ---------------------------------------------------------------------------
// Drawing

void KV_Parameters::draw_engine_marks(Engine e)
{
    const int id = current_algorithm(e);
    // Rotor speed: a bracket over the knob that sets the speed the rotor runs at.
    if (is_rotary_algorithm(id)) {
        const Slider* s = knob(e, params.rotor_fast(e) ? Knob::Depth : Knob::Speed);
        fl_color(kRotorMark);
        fl_rectf(s->x() - zoomed(8), s->y() - zoomed(10), s->w() + zoomed(14), zoomed(2));
        fl_rectf(s->x() - zoomed(8), s->y() - zoomed(10), zoomed(2), zoomed(15));
        fl_rectf(s->x() + s->w() + zoomed(6), s->y() - zoomed(10), zoomed(2), zoomed(15));
    }
    if (id == kAlgorithmParaEq) {
        fl_color(kParaEqCaption);
        fl_font(FL_HELVETICA, zoomed_font(11));
        const Slider* speed = knob(e, Knob::Speed);
        const Slider* depth = knob(e, Knob::Depth);
        // The centre mark stands on the slider itself; knob_moved repaints
        // it after the slider has drawn over it.
        for (const Slider* s : {speed, depth}) fl_rectf(s->x() + zoomed(69), s->y(), zoomed(2), s->h());
        fl_draw(kParaEqSpeedCaption, speed->x(), speed->y() - zoomed(4));
        fl_draw(kParaEqDepthCaption, depth->x(), depth->y() - zoomed(4));
    }
}

void KV_Parameters::draw()
{
    // Only a full repaint draws the captions: drawing them again over
    // themselves when just a child changed would thicken the text.
    const bool full = damage() & FL_DAMAGE_ALL;
    Fl_Group::draw();
    if (!full) return;

    fl_push_clip(x(), y(), w(), h());

    Fl_PNG_Image* banner = combination == 1 ? banner_rotary_ : combination == 2 ? banner_vinyl_
                           : combination == 3 ? banner_junk_ : nullptr;
    const bool combined = combination >= 1 && combination <= 3;
    if (banner) zoomed_image(banner)->draw(zoomed(546 - kHomeX) + x(), zoomed(215 - kHomeY) + y(), zoomed(350), zoomed(27));

    fl_font(FL_HELVETICA_BOLD, zoomed_font(16));
    fl_color(combined ? kCodeCombined : kCodeIdle);
    const int code_dx_x = combination == 1 ? 107 : combination == 2 ? 85 : combination == 3 ? 95 : 3;
    fl_draw(algorithm_code(current_algorithm_y), algorithm_menu_y->x() + zoomed(3), algorithm_menu_y->y() - zoomed(8));
    fl_draw(algorithm_code(current_algorithm_x), algorithm_menu_x->x() + zoomed(code_dx_x), algorithm_menu_x->y() - zoomed(8));

    draw_engine_marks(Engine::Y);
    draw_engine_marks(Engine::X);

    fl_font(FL_HELVETICA, zoomed_font(12));
    fl_color(kCaption);
    fl_draw(params.engaged_y() ? "E N G A G E D" : "B Y P A S S E D", zoomed(547 - kHomeX) + x(), zoomed(288 - kHomeY) + y());
    fl_draw(params.engaged_x() ? "E N G A G E D" : "B Y P A S S E D", zoomed((params.engaged_x() ? 739 : 740) - kHomeX) + x(), zoomed(288 - kHomeY) + y());

    fl_font(FL_HELVETICA, zoomed_font(30));
    draw_spaced("Y                        X", zoomed(607 - kHomeX) + x(), zoomed(125 - kHomeY) + y(), 30);

    fl_font(FL_HELVETICA_BOLD, zoomed_font(13));
    fl_draw("DSP", zoomed(577 - kHomeX) + x(), zoomed(416 - kHomeY) + y());
    fl_draw("Routing", zoomed(577 - kHomeX) + x(), zoomed(433 - kHomeY) + y());
    fl_draw("Pre/Post", zoomed(577 - kHomeX) + x(), zoomed(470 - kHomeY) + y());
    draw_spaced("Cascade       Mixture       LR-split", zoomed(654 - kHomeX) + x(), zoomed(434 - kHomeY) + y(), 13);
    draw_spaced("Pre            Post", zoomed(675 - kHomeX) + x(), zoomed(476 - kHomeY) + y(), 13);
    fl_draw("MASTER VOLUME", volume_bar->x(), volume_bar->y() + zoomed(37));
    // Right of the typed volume, which would hide it at bar x + 250.
    fl_draw("dB", volume_text->x() + volume_text->w() + zoomed(4), volume_bar->y() + zoomed(38));

    fl_pop_clip();
}

} // namespace kv
