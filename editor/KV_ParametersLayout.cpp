// The Dashboard's building and drawing: where every control stands, the
// start-up state and the captions painted over the window's backdrop. What
// each control does to the block, and the requests, are in KV_Parameters.cpp.

#include "editor/KV_Parameters.h"
#include "widgets/Zoom.h"

#include "platform/Clock.h"
#include "platform/DataPaths.h"
#include "preset/ComboTemplates.h"
#include "preset/Scales.h"
#include "widgets/SafeChoice.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace kv {

namespace {

// Where the window puts the panel; every position below is a window
// position, moved with the panel when it stands elsewhere.
constexpr int kHomeX = 375;
constexpr int kHomeY = 62;

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

} // namespace

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
        // The value box under the slider's right end, kept inside the page's frame.
        const int text_x = std::min(slider->x() + 123, x() + w() - 8 - 34);
        auto* text = new Fl_Int_Input(text_x, slider->y() + 15, 34, 20);
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
