// The Dashboard (parameter editor) driven through its real widgets: what each
// edit writes into the block and the programs, which previews it asks for and
// when, loading, swapping, the combinations, the keyboard, the templates.
// Set KV_SCREENSHOT_DIR to also write a picture of the whole window with each
// combination.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TemplatePanel.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "platform/DataPaths.h"
#include "preset/ComboTemplates.h"
#include "preset/ProgramImage.h"
#include "preset/Scales.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

namespace kv {
namespace {

// The requests by their names, as the Dashboard reports them.
using enum PreviewRequest;

constexpr int kTrmolo = 0, kChopper = 2, kDctrem = 3, kFormant = 8, kDimension = 10, kFlanger = 14,
              kEnvPhaser = 18, kArpFilter = 32;

const AlgorithmLibrary& library()
{
    static const AlgorithmLibrary lib(data_path(AlgorithmLibrary::kFileName));
    return lib;
}

bool same_bytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }
bool same(const PresetParameters& a, const PresetParameters& b) { return same_bytes(&a, &b, kPresetParametersSize); }
bool same(const DspProgram& a, const DspProgram& b) { return same_bytes(&a, &b, kDspProgramSize); }

// One request as the owner saw it.
struct Seen {
    PreviewRequest request;
    double at;                 // clock time
    PresetParameters params;   // the block at that moment
};

void pointer(int x, int y, int button)
{
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = x;
    Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + button;
    Fl::e_clicks = 0;
    Fl::e_is_click = 0;
}

int mouse(Fl_Widget* w, int event, int x, int y, int button = 1)
{
    pointer(x, y, button);
    Fl::e_state = (event == FL_RELEASE) ? 0 : (button == 1 ? FL_BUTTON1 : FL_BUTTON3);
    return w->handle(event);
}

int key(Fl_Widget* w, int event, int keysym)
{
    Fl::e_keysym = keysym;
    Fl::e_text = const_cast<char*>("");
    Fl::e_length = 0;
    return w->handle(event);
}

class Dashboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<Fl_Double_Window>(kWindowWidth, kWindowHeight, "dashboard");
        panel = new KV_Parameters(375, 62, 690, 484, " Dashboard ");
        win->end();
        panel->set_clock(clock);
        panel->on_preview = [this](PreviewRequest r) { seen.push_back({r, clock.now(), panel->params}); };
        panel->show_tips = [this](const char* text) { tips.push_back(text); };
        win->show();
        Fl::check();
    }
    void TearDown() override { win.reset(); }

    std::vector<PreviewRequest> requests() const
    {
        std::vector<PreviewRequest> out;
        for (const Seen& s : seen) out.push_back(s.request);
        return out;
    }
    // Picks an algorithm in an engine's menu as a click does.
    void pick(Engine e, int id)
    {
        Fl_Choice* menu = panel->algorithm_menu(e);
        menu->value(algorithm_to_position(id));
        menu->do_callback();
    }
    void pick_option(Engine e, int sp, int position)
    {
        panel->sp_list(e, sp)->value(position);
        panel->sp_list(e, sp)->do_callback();
    }
    void type(Fl_Int_Input* in, const char* text)
    {
        in->value(text);
        in->do_callback();
    }
    void press(Fl_Check_Button* b)
    {
        b->value(!b->value());   // the toolkit toggles a check button before its callback
        b->do_callback();
    }
    // A drag of a slider from one fraction of its width to another, released there.
    void drag(Slider* s, double from, double to, bool release = true)
    {
        const int y = s->y() + s->h() / 2;
        mouse(s, FL_PUSH, s->x() + int(from * s->w()), y);
        mouse(s, FL_DRAG, s->x() + int((from + to) / 2 * s->w()), y);
        mouse(s, FL_DRAG, s->x() + int(to * s->w()), y);
        if (release) mouse(s, FL_RELEASE, s->x() + int(to * s->w()), y);
    }

    ManualClock clock;
    std::unique_ptr<Fl_Double_Window> win;
    KV_Parameters* panel = nullptr;
    std::vector<Seen> seen;
    std::vector<std::string> tips;
};

using R = std::vector<PreviewRequest>;

// --- start-up and the menus the toolkit built ------------------------------------

TEST_F(Dashboard, StartsOnTheDefaultBlockWithTheMenusTheTablesDescribe)
{
    EXPECT_TRUE(same(panel->params, default_parameters()));
    EXPECT_TRUE(panel->library_ok);
    EXPECT_TRUE(same(panel->program_x, library().image(kDctrem)));
    EXPECT_TRUE(same(panel->program_y, library().image(kDimension)));
    EXPECT_TRUE(seen.empty());
    EXPECT_STREQ(panel->algorithm_menu_x->text(), "  Dynamic Tremolo ");
    EXPECT_STREQ(panel->algorithm_menu_y->text(), "  Dimension");
    EXPECT_FALSE(panel->tap_list_y->active());
    EXPECT_TRUE(panel->tap_list_x->active());
    EXPECT_STREQ(panel->knob_text_x[0]->value(), "50");
    EXPECT_STREQ(panel->volume_text->value(), " 0");
    EXPECT_TRUE(panel->cascade_button->value());
    EXPECT_TRUE(panel->pre_button->value());
    EXPECT_FALSE(panel->tips_button->visible());
    // DIME.C has no SP3: the list is hidden and its label a blank.
    EXPECT_FALSE(panel->sp_y[2]->visible());
    EXPECT_STREQ(panel->sp_label_y[2]->label(), " ");

    // Every algorithm sits at the position the tables give, in both menus as
    // the toolkit laid them out (submenu titles and end markers counted).
    for (Engine e : {Engine::X, Engine::Y}) {
        const Fl_Menu_Item* items = panel->algorithm_menu(e)->menu();
        ASSERT_GE(panel->algorithm_menu(e)->size(), kMenuPositionCount);
        for (int id = 0; id < kAlgorithmCount; ++id) {
            const Fl_Menu_Item& item = items[algorithm_to_position(id)];
            ASSERT_NE(item.label(), nullptr) << id;
            EXPECT_NE(std::string(item.label()).find(algorithm_info(id).menu_entry), std::string::npos)
                << id << " at " << algorithm_to_position(id) << ": " << item.label();
            EXPECT_TRUE(item.active()) << id;
            EXPECT_FALSE(item.submenu()) << id;
        }
    }
    // The tap list keeps " Tap | Clk Disabled" as one item.
    ASSERT_EQ(panel->tap_list_x->size() - 1, kTapDivideCount);
    EXPECT_STREQ(panel->tap_list_x->menu()[0].label(), " Tap | Clk Disabled");
}

// --- knobs ---------------------------------------------------------------------------

TEST_F(Dashboard, SliderDragWritesAtOnceButAsksForOnePreviewOnRelease)
{
    Slider* depth = panel->knob_x[1];
    drag(depth, 0.5, 0.9, false);
    const uint8_t dragged = panel->params.depth_x;
    EXPECT_GT(dragged, percent_to_raw(80));
    EXPECT_TRUE(seen.empty()) << "a drag sends nothing";
    EXPECT_EQ(std::string(panel->knob_text_x[1]->value()), std::to_string(int(round_half_up(depth->value()))));
    mouse(depth, FL_RELEASE, depth->x() + int(0.9 * depth->w()), depth->y() + 5);
    ASSERT_EQ(requests(), (R{parameters}));
    EXPECT_EQ(seen[0].params.depth_x, dragged);
    EXPECT_FALSE(seen[0].params.focus_y());
    EXPECT_FALSE(depth->released);

    // A right-button release commits nothing; a DSP-Y edit names DSP-Y.
    Slider* tweak_y = panel->knob_y[2];
    mouse(tweak_y, FL_RELEASE, tweak_y->x() + 10, tweak_y->y() + 5, 3);
    EXPECT_EQ(seen.size(), 1u);
    drag(tweak_y, 0.5, 0.1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[1].params.focus_y());
    EXPECT_LT(seen[1].params.tweak_y, percent_to_raw(20));

    // Nothing is asked for while the panel is not live.
    panel->live = false;
    drag(depth, 0.9, 0.2);
    panel->live = true;
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_LT(panel->params.depth_x, percent_to_raw(25));
}

TEST_F(Dashboard, RateAndTempoSwitchesMoveTheSpeedOnlyWhenTheScaleChanges)
{
    const double t0 = clock.now();
    pick(Engine::X, kChopper);   // rate -> tempo
    EXPECT_EQ(panel->params.speed_x_raw(), 682);
    EXPECT_STREQ(panel->knob_text_x[0]->value(), "180");
    ASSERT_EQ(requests(), (R{parameters, PreviewRequest::program_x, sequence_x}));
    EXPECT_DOUBLE_EQ(seen[0].at, t0);
    EXPECT_NEAR(seen[1].at - t0, 0.020, 1e-9);
    EXPECT_NEAR(seen[2].at - t0, 0.040, 1e-9);
    EXPECT_EQ(seen[0].params.algorithm_x, kChopper);
    EXPECT_TRUE(same(panel->program_x, library().image(kChopper)));
    EXPECT_EQ(panel->params.sp3_x, default_option(kChopper, 2));

    // Tempo to tempo keeps the speed the user set.
    type(panel->knob_text_x[0], "120");
    EXPECT_EQ(panel->params.speed_x_raw(), 1023);
    pick(Engine::X, kTrmolo);
    EXPECT_EQ(panel->params.speed_x_raw(), 1023);
    EXPECT_STREQ(panel->knob_text_x[0]->value(), "120");

    // Tempo -> rate puts it in the middle; rate -> rate keeps it.
    seen.clear();
    pick(Engine::X, kFormant);
    EXPECT_EQ(panel->params.speed_x_raw(), 1024);
    EXPECT_STREQ(panel->knob_text_x[0]->value(), "50");
    EXPECT_EQ(requests(), (R{parameters, PreviewRequest::program_x}));
    type(panel->knob_text_x[0], "10");
    pick(Engine::X, kFlanger);
    EXPECT_EQ(panel->params.speed_x_raw(), rate_position_to_raw(10));
}

TEST_F(Dashboard, TypedValuesAreClampedAndTheLimitIsShown)
{
    pick(Engine::Y, kArpFilter);
    seen.clear();
    Fl_Int_Input* bpm = panel->knob_text_y[0];
    type(bpm, "700");
    EXPECT_STREQ(bpm->value(), "600");
    EXPECT_LE(panel->params.speed_y_raw(), 205);
    type(bpm, "30");
    EXPECT_STREQ(bpm->value(), "60");
    EXPECT_EQ(panel->params.speed_y_raw(), 2047);
    type(bpm, "120");
    EXPECT_STREQ(bpm->value(), "120");
    EXPECT_EQ(panel->params.speed_y_raw(), 1023);
    EXPECT_NEAR(panel->knob_y[0]->value(), 1023.72, 0.01);

    type(panel->knob_text_x[1], "150");
    EXPECT_STREQ(panel->knob_text_x[1]->value(), "100");
    EXPECT_EQ(panel->params.depth_x, 255);
    type(panel->knob_text_x[2], "-5");
    EXPECT_STREQ(panel->knob_text_x[2]->value(), "0");
    EXPECT_EQ(panel->params.tweak_x, 0);
    type(panel->knob_text_x[2], "");
    EXPECT_STREQ(panel->knob_text_x[2]->value(), "0");
    type(panel->knob_text_x[0], "101");
    EXPECT_STREQ(panel->knob_text_x[0]->value(), "100");
    EXPECT_EQ(panel->params.speed_x_raw(), 2047);

    type(panel->volume_text, "9");
    EXPECT_STREQ(panel->volume_text->value(), "+3");
    EXPECT_EQ(panel->params.volume, 3);
    EXPECT_EQ(panel->volume_bar->value(), 3);
    type(panel->volume_text, "-7");
    EXPECT_STREQ(panel->volume_text->value(), "-3");
    EXPECT_EQ(panel->params.volume, 9);
    // Every typed value is one parameters preview.
    EXPECT_EQ(requests(), R(9, parameters));
    // Hiding the page (another tab chosen) runs the fields' callbacks in the
    // toolkit: unchanged fields send nothing.
    panel->hide();
    panel->show();
    Fl::check();
    EXPECT_EQ(seen.size(), 9u);
    // A speed edit clears focus bit 1; the block was loaded with it set.
    PresetParameters p = panel->params;
    p.focus |= bits::kFocusBit1;
    panel->load_parameters(p);
    type(panel->knob_text_y[1], "40");
    EXPECT_TRUE(panel->params.focus_bit1());
    type(panel->knob_text_y[0], "90");
    EXPECT_FALSE(panel->params.focus_bit1());
}

TEST_F(Dashboard, VolumeBarCommitsOnReleaseAndLoadingRepairsTheCode)
{
    Scrollbar* bar = panel->volume_bar;
    bar->value(-2);
    bar->do_callback();   // a drag step
    EXPECT_EQ(panel->params.volume, 8);
    EXPECT_STREQ(panel->volume_text->value(), "-2");
    EXPECT_TRUE(seen.empty());
    mouse(bar, FL_RELEASE, bar->x() + 40, bar->y() + 5);
    EXPECT_EQ(requests(), (R{parameters}));

    PresetParameters p = default_parameters();
    p.volume = 12;
    panel->load_parameters(p);
    EXPECT_EQ(panel->params.volume, 6);
    EXPECT_STREQ(panel->volume_text->value(), "+0");
    p.volume = 2;   // the bar's bounds do not clamp a loaded value
    panel->load_parameters(p);
    EXPECT_EQ(panel->params.volume, 2);
    EXPECT_STREQ(panel->volume_text->value(), "+4");
    EXPECT_EQ(seen.size(), 1u) << "loading sends nothing";
}

// --- options, tap, engage, routing ------------------------------------------------------

TEST_F(Dashboard, OptionsPatchTheProgramAndAskForWhatTheAlgorithmNeeds)
{
    pick(Engine::X, kTrmolo);
    seen.clear();
    pick_option(Engine::X, 0, 1);   // "Sine"
    EXPECT_EQ(panel->params.sp1_x, 2);
    EXPECT_EQ(panel->last_sp_value, 2);
    EXPECT_EQ(panel->last_sp_index, 0);
    EXPECT_EQ(panel->last_sp_engine, 0);
    EXPECT_EQ(requests(), (R{parameters, PreviewRequest::program_x, sequence_x}));
    EXPECT_TRUE(same(panel->program_x, engine_program(library(), panel->params, Engine::X)));
    pick_option(Engine::X, 0, 2);   // "Square"
    EXPECT_EQ(panel->params.sp1_x, 3);
    EXPECT_TRUE(same(panel->program_x, engine_program(library(), panel->params, Engine::X)));
    EXPECT_FALSE(same(panel->program_x, library().image(kTrmolo)));

    pick(Engine::Y, kArpFilter);
    seen.clear();
    pick_option(Engine::Y, 0, 3);   // "Sequence IV"
    EXPECT_EQ(panel->params.sp1_y, 6);
    EXPECT_EQ(requests(), (R{parameters, sequence_y}));
    EXPECT_TRUE(seen[0].params.focus_y());
    seen.clear();
    pick_option(Engine::Y, 1, 1);   // "50%": code 2
    EXPECT_EQ(panel->params.sp2_y, 2);
    EXPECT_EQ(requests(), (R{parameters, PreviewRequest::program_y}));
    EXPECT_TRUE(same(panel->program_y, engine_program(library(), panel->params, Engine::Y)));

    // Another page choosing an option: the list follows, nothing is asked for.
    pick(Engine::Y, kAlgorithmArpeggiator);
    pick(Engine::X, kTrmolo);
    seen.clear();
    panel->set_option(Engine::Y, 0, 3);
    EXPECT_EQ(panel->params.sp1_y, 6);
    EXPECT_STREQ(panel->sp_y[0]->text(), " Sequence IV");
    EXPECT_TRUE(panel->params.focus_y());
    panel->set_option(Engine::X, 2, 99);   // clamped: the last of 8
    EXPECT_EQ(panel->params.sp3_x, 7);
    EXPECT_TRUE(same(panel->program_x, engine_program(library(), panel->params, Engine::X)));
    panel->set_option(Engine::X, 3, 0);    // no such list
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(panel->live);

    // Labels that follow SP1, as the toolkit is given them.
    pick(Engine::X, kFormant);
    pick_option(Engine::X, 0, 7);
    EXPECT_STREQ(panel->knob_label_x[0]->label(), "MANUAL");
    pick_option(Engine::X, 0, 0);
    EXPECT_STREQ(panel->knob_label_x[0]->label(), "SPEED");
    pick(Engine::Y, kFlanger);
    EXPECT_STREQ(panel->sp_label_y[1]->label(), "Sweep Width");
    pick_option(Engine::Y, 0, 2);
    EXPECT_STREQ(panel->sp_label_y[1]->label(), "Sensitivity");
    pick(Engine::Y, kEnvPhaser);
    pick_option(Engine::Y, 0, 1);
    EXPECT_STREQ(panel->knob_label_y[0]->label(), "MANUAL");
}

TEST_F(Dashboard, TapEngageRoutingAndPrePostWriteTheirBits)
{
    panel->tap_list_x->value(0);
    panel->tap_list_x->do_callback();
    EXPECT_EQ(panel->params.tap_divide_x(), 0);
    EXPECT_FALSE(panel->params.tap_on_x());
    panel->tap_list_x->value(7);
    panel->tap_list_x->do_callback();
    EXPECT_EQ(panel->params.tap_divide_x(), 7);
    EXPECT_TRUE(panel->params.tap_on_x());
    // A rate algorithm that does not follow tap: the list goes inactive and
    // the tap bit off, the divide stays.
    pick(Engine::X, kDimension);
    EXPECT_FALSE(panel->tap_list_x->active());
    EXPECT_FALSE(panel->params.tap_on_x());
    EXPECT_EQ(panel->params.tap_divide_x(), 7);

    seen.clear();
    press(panel->engage_button_y);
    EXPECT_FALSE(panel->params.engaged_y());
    EXPECT_TRUE(panel->params.focus_y());
    EXPECT_EQ(panel->algorithm_menu_y->textcolor(), FL_BLACK);
    press(panel->engage_button_y);
    EXPECT_TRUE(panel->params.engaged_y());
    EXPECT_NE(panel->algorithm_menu_y->textcolor(), FL_BLACK);
    EXPECT_EQ(seen.size(), 2u);

    seen.clear();
    press(panel->split_button);
    EXPECT_EQ(panel->params.routing(), 2);
    EXPECT_EQ(panel->remembered_routing, 0x08);
    EXPECT_FALSE(panel->cascade_button->value());
    press(panel->split_button);   // already on: stays on, nothing sent
    EXPECT_TRUE(panel->split_button->value());
    EXPECT_EQ(panel->params.routing(), 2);
    press(panel->post_button);
    EXPECT_TRUE(panel->params.post());
    EXPECT_FALSE(panel->pre_button->value());
    press(panel->post_button);
    EXPECT_TRUE(panel->post_button->value());
    EXPECT_EQ(requests(), (R{parameters, parameters}));
}

// --- combinations --------------------------------------------------------------------

TEST_F(Dashboard, CombinationsForceRoutingAndEndingThemRestoresTheUsersChoice)
{
    press(panel->split_button);
    pick(Engine::X, kAlgorithmDrum);
    PresetParameters p = panel->params;
    p.rotor = bits::kRotorFastBoth;
    panel->load_parameters(p);   // DSP-X DRUM, both rotors fast, LR-split
    seen.clear();
    pick(Engine::Y, kAlgorithmHorn);
    EXPECT_EQ(panel->combination, 1);
    EXPECT_TRUE(panel->tips_button->visible());
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::Mixture));
    EXPECT_TRUE(panel->mixture_button->value());
    EXPECT_FALSE(panel->params.rotor_fast_y());
    EXPECT_TRUE(panel->params.rotor_fast_x());
    EXPECT_EQ(seen[0].params.routing(), uint8_t(Routing::Mixture));
    panel->tips_button->do_callback();
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips[0], KV_Parameters::kRotaryTips);

    pick(Engine::Y, kDimension);
    EXPECT_EQ(panel->combination, 0);
    EXPECT_FALSE(panel->tips_button->visible());
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::LrSplit));
    EXPECT_TRUE(panel->split_button->value());

    // Vinyl forms in one order only.
    pick(Engine::X, kAlgorithmPhonos);
    pick(Engine::Y, kAlgorithmRecord);
    EXPECT_EQ(panel->combination, 0);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::LrSplit));
    pick(Engine::X, kAlgorithmRecord);
    pick(Engine::Y, kAlgorithmPhonos);
    EXPECT_EQ(panel->combination, 2);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::Cascade));
    EXPECT_TRUE(panel->cascade_button->value());
    pick(Engine::X, kAlgorithmBitCrusher);
    EXPECT_EQ(panel->combination, 0);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::LrSplit));
    pick(Engine::Y, kAlgorithmJunkie);
    EXPECT_EQ(panel->combination, 3);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::Mixture));
}

// Clicking the routing button that is already on (the one a combination
// forced) changes nothing: when the combination ends, the routing the user
// chose comes back.
TEST_F(Dashboard, ARoutingButtonAlreadyOnLeavesTheRememberedRoutingAlone)
{
    const std::pair<Fl_Check_Button*, Routing> chosen[] = {
        {panel->cascade_button, Routing::Cascade}, {panel->split_button, Routing::LrSplit}};
    for (const auto& [button, routing] : chosen) {
        pick(Engine::Y, kDimension);
        pick(Engine::X, kAlgorithmBitCrusher);
        press(button);
        pick(Engine::X, kAlgorithmDrum);
        pick(Engine::Y, kAlgorithmHorn);   // the rotary pair forces Mixture
        ASSERT_EQ(panel->params.routing(), uint8_t(Routing::Mixture));
        seen.clear();
        press(panel->mixture_button);
        EXPECT_TRUE(seen.empty());   // nothing changed, nothing sent
        EXPECT_TRUE(panel->mixture_button->value());
        pick(Engine::Y, kDimension);
        EXPECT_EQ(panel->params.routing(), uint8_t(routing)) << int(routing);
    }
}

TEST_F(Dashboard, RotaryKeyboardAndShiftLinkedKnobs)
{
    // No rotary engine: Control changes nothing.
    EXPECT_EQ(key(panel, FL_KEYBOARD, FL_Control_L), 1);
    EXPECT_EQ(panel->params.rotor, 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(key(panel, FL_KEYBOARD, FL_KP_Enter), 0) << "keypad Enter goes on";

    pick(Engine::X, kAlgorithmHorn);
    pick(Engine::Y, kAlgorithmDrum);
    seen.clear();
    panel->live = false;
    key(panel, FL_KEYBOARD, FL_Control_R);
    EXPECT_EQ(panel->params.rotor, bits::kRotorFastBoth);
    EXPECT_EQ(requests(), (R{parameters})) << "the toggle is sent even when not live";
    panel->live = true;

    // Shift held: the other engine's knob follows, and both rotors go slow
    // with the SLOW SPEED knobs.
    key(panel, FL_KEYBOARD, FL_Shift_L);
    EXPECT_TRUE(panel->link);
    drag(panel->knob_x[0], 0.5, 0.2);
    EXPECT_EQ(panel->params.speed_y_raw(), panel->params.speed_x_raw());
    EXPECT_DOUBLE_EQ(panel->knob_y[0]->value(), panel->knob_x[0]->value());
    EXPECT_STREQ(panel->knob_text_y[0]->value(), panel->knob_text_x[0]->value());
    EXPECT_EQ(panel->params.rotor, 0);
    type(panel->knob_text_y[1], "70");   // FAST SPEED
    EXPECT_EQ(panel->params.depth_x, percent_to_raw(70));
    EXPECT_EQ(panel->params.rotor, bits::kRotorFastBoth);

    // Any key release ends the link: only the edited engine moves now.
    key(panel, FL_KEYUP, FL_Shift_L);
    EXPECT_FALSE(panel->link);
    type(panel->knob_text_x[0], "5");
    EXPECT_NE(panel->params.speed_y_raw(), panel->params.speed_x_raw());
    EXPECT_FALSE(panel->params.rotor_fast_x());
    EXPECT_TRUE(panel->params.rotor_fast_y());
}

// --- loading and swapping -------------------------------------------------------------

TEST_F(Dashboard, LoadingHoldsTheRepairedBlockAndRebuildsBothPrograms)
{
    std::vector<PresetParameters> blocks;
    PresetParameters p = default_parameters();
    p.algorithm_x = 255;   // no such algorithm
    p.algorithm_y = 38;
    p.sp1_x = p.sp2_x = p.sp3_x = p.sp1_y = p.sp2_y = p.sp3_y = 255;
    p.flags |= bits::kRoutingMask;   // routing pattern 3
    p.tap = 0xFF;
    blocks.push_back(p);
    p = default_parameters();
    p.algorithm_x = kArpFilter;
    p.sp1_x = 5;
    p.sp2_x = 1;
    p.algorithm_y = 23;   // RNGMOD
    p.sp2_y = 0;
    p.speed_x[1] |= 0xF8;
    p.reserved[0] = 0xAB;
    p.flags |= bits::kFlagsBit4 | bits::kPost;
    p.focus = 0xE1;
    blocks.push_back(p);
    p = default_parameters();   // vinyl with LR-split: Cascade
    p.algorithm_x = kAlgorithmRecord;
    p.algorithm_y = kAlgorithmPhonos;
    p.set_routing(Routing::LrSplit);
    p.flags &= uint8_t(~bits::kEngagedY);
    blocks.push_back(p);
    p.algorithm_x = kAlgorithmPhonos;   // the other order keeps its routing
    p.algorithm_y = kAlgorithmRecord;
    blocks.push_back(p);
    p.algorithm_x = kAlgorithmHorn;   // rotary keeps the block's routing
    p.algorithm_y = kAlgorithmDrum;
    p.rotor = 0x10;
    blocks.push_back(p);

    for (const PresetParameters& block : blocks) {
        const int loads = panel->loads();
        panel->load_parameters(block);
        EXPECT_EQ(panel->loads(), loads + 1);
        EXPECT_TRUE(panel->live);
        const PresetParameters want = loaded_parameters(block);
        EXPECT_TRUE(same(panel->params, want)) << int(block.algorithm_x) << "/" << int(block.algorithm_y);
        const EnginePrograms programs = engine_programs(library(), block);
        EXPECT_TRUE(same(panel->program_x, programs.x));
        EXPECT_TRUE(same(panel->program_y, programs.y));
        EXPECT_EQ(panel->combination, int(combination_of(want.algorithm_x, want.algorithm_y)));
        EXPECT_EQ(panel->engage_button_y->value() != 0, want.engaged_y());
        EXPECT_EQ(panel->post_button->value() != 0, want.post());
        EXPECT_EQ(panel->algorithm_menu_x->value(), algorithm_to_position(want.algorithm_x));
        const Fl_Check_Button* trio[3] = {panel->cascade_button, panel->mixture_button, panel->split_button};
        for (int r = 0; r < 3; ++r) EXPECT_EQ(trio[r]->value() != 0, want.routing() == r);
    }
    EXPECT_TRUE(seen.empty()) << "loading never sends";
    // The loaded rotary block keeps its routing, and its rotor bits.
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::LrSplit));
    EXPECT_EQ(panel->params.rotor, 0x10);

    // Upper speed bits show as the low 11 bits and stay until the speed is edited.
    panel->load_parameters(blocks[1]);
    EXPECT_STREQ(panel->sp_x[0]->text(), " Sequence IV");   // code 5 shows position 3 ...
    EXPECT_EQ(panel->params.sp1_x, 6);                     // ... and is rewritten
    EXPECT_STREQ(panel->sp_y[1]->text(), " Sine");         // RNGMOD code 0: the first option, code 1
    EXPECT_EQ(panel->params.sp2_y, 1);
    EXPECT_EQ(panel->params.speed_x[1] & 0xF8, 0xF8);
    EXPECT_EQ(std::string(panel->knob_text_x[0]->value()), std::to_string(tempo_bpm(blocks[1].speed_x_raw())));
    type(panel->knob_text_x[0], "100");
    EXPECT_EQ(panel->params.speed_x[1] & 0xF8, 0);
    // The 47-byte form carries the title.
    PresetRecord rec{blocks[2], make_title("Vinyl")};
    panel->load_record(rec.data());
    EXPECT_TRUE(panel->has_title);
    EXPECT_EQ(title_text(panel->title), "Vinyl");
}

TEST_F(Dashboard, SwappingTwiceReturnsTheBlockAndEachSwapSendsEverything)
{
    PresetParameters p = default_parameters();
    p.algorithm_x = kArpFilter;   // tempo
    p.speed_x[0] = 0x34;
    p.speed_x[1] = 0x02;
    p.depth_x = 17;
    p.tweak_x = 200;
    p.sp1_x = 4;
    p.sp3_x = 5;
    p.algorithm_y = kFlanger;   // rate
    p.speed_y[0] = 0x10;
    p.speed_y[1] = 0x06;
    p.sp1_y = 2;
    p.sp2_y = 13;
    p.tap = 0x2B;
    p.flags = bits::kEngagedX | bits::kPost | 0x04;
    for (int i = 0; i < 6; ++i) {
        p.expression_x[i] = uint8_t(10 + i);
        p.expression_y[i] = uint8_t(200 + i);
    }
    panel->load_parameters(p);
    const PresetParameters loaded = panel->params;
    const DspProgram program_x = panel->program_x, program_y = panel->program_y;

    const double t0 = clock.now();
    panel->swap_engines();
    EXPECT_EQ(requests(), (R{parameters, PreviewRequest::program_x, PreviewRequest::program_y,
                             sequence_y}));
    EXPECT_NEAR(seen[1].at - t0, 0.020, 1e-9);
    EXPECT_NEAR(seen[2].at - t0, 0.070, 1e-9);
    EXPECT_NEAR(seen[3].at - t0, 0.090, 1e-9);
    const PresetParameters& swapped = panel->params;
    EXPECT_EQ(swapped.algorithm_x, kFlanger);
    EXPECT_EQ(swapped.algorithm_y, kArpFilter);
    EXPECT_EQ(swapped.depth_y, 17);
    EXPECT_EQ(swapped.sp2_x, 13);
    EXPECT_TRUE(swapped.engaged_y());
    EXPECT_FALSE(swapped.engaged_x());
    EXPECT_EQ(swapped.expression_x[0], 200);
    EXPECT_EQ(swapped.tap, 0xB2);
    EXPECT_EQ(swapped.flags & 0xFC, loaded.flags & 0xFC);   // routing and Post stay
    EXPECT_TRUE(swapped.focus_y());
    EXPECT_TRUE(same(panel->program_y, program_x));
    EXPECT_TRUE(same(panel->program_x, program_y));
    EXPECT_STREQ(panel->sp_label_x[1]->label(), "Sensitivity");
    EXPECT_EQ(std::string(panel->knob_text_y[0]->value()), std::to_string(tempo_bpm(loaded.speed_x_raw())));

    panel->swap_engines();
    PresetParameters back = panel->params;
    back.focus = loaded.focus;
    EXPECT_TRUE(same(back, loaded));
    EXPECT_TRUE(same(panel->program_x, program_x));
    EXPECT_TRUE(same(panel->program_y, program_y));
    EXPECT_EQ(seen.size(), 8u);
}

// --- templates ---------------------------------------------------------------------

TEST_F(Dashboard, TemplatesSetThePairEngageBothAndSendTheirPreviews)
{
    for (Engine e : {Engine::X, Engine::Y}) press(panel->engage_button(e));
    ASSERT_FALSE(panel->params.engaged_x());
    seen.clear();
    EXPECT_FALSE(panel->apply_template(0));
    EXPECT_FALSE(panel->apply_template(4));
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(panel->params.engaged_x());

    ASSERT_TRUE(panel->apply_template(2));
    EXPECT_EQ(panel->params.algorithm_x, kAlgorithmRecord);
    EXPECT_EQ(panel->params.algorithm_y, kAlgorithmPhonos);
    EXPECT_TRUE(panel->params.engaged_x());
    EXPECT_TRUE(panel->params.engaged_y());
    EXPECT_TRUE(panel->engage_button_x->value());
    EXPECT_EQ(panel->combination, 2);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::Cascade));
    EXPECT_TRUE(panel->live);
    EXPECT_EQ(requests(), (R{parameters, PreviewRequest::program_x, parameters, PreviewRequest::program_y}));
    EXPECT_TRUE(seen[0].params.engaged_y()) << "the engines are engaged before the first preview";

    ASSERT_TRUE(panel->apply_template(1));
    EXPECT_EQ(panel->params.algorithm_x, kAlgorithmDrum);
    EXPECT_EQ(panel->params.algorithm_y, kAlgorithmHorn);
    EXPECT_EQ(panel->combination, 1);
    EXPECT_EQ(panel->params.routing(), uint8_t(Routing::Mixture));

    // While the chooser is open the controls a template sets are locked.
    panel->set_template_controls_active(false);
    EXPECT_FALSE(panel->swap_button->active());
    EXPECT_FALSE(panel->knob_x[0]->active());
    EXPECT_FALSE(panel->knob_text_y[0]->active());
    EXPECT_TRUE(panel->knob_x[1]->active());
    panel->set_template_controls_active(true);
    EXPECT_TRUE(panel->swap_button->active());
}

TEST(TemplatePanel, PickingRecordsTheItemAndResetShowsTheChooserAgain)
{
    Fl_Double_Window win(400, 200);
    auto* tp = new KV_TemplatePanel(20, 20, 360, 140);
    win.end();
    std::vector<int> picked;
    tp->on_pick = [&picked](int item) { picked.push_back(item); };
    tp->template_choice->value(3);
    tp->template_choice->do_callback();
    EXPECT_EQ(picked, (std::vector<int>{3}));
    EXPECT_EQ(tp->chosen(), combo_template(3));
    tp->reset();
    EXPECT_EQ(tp->template_choice->value(), 0);
    EXPECT_EQ(tp->template_index, -1);
    EXPECT_EQ(tp->chosen(), nullptr);
    EXPECT_STREQ(tp->template_choice->text(), "    -   select a template   -");
}

// --- the whole window ------------------------------------------------------------------

// A window with no pedal attached, its Dashboard on the manual clock.
class DashboardInWindow : public test::WindowTest {
protected:
    DashboardInWindow() : WindowTest("korvane_dashboard_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        start();
        ui(*window_).dashboard->set_clock(clock_);
    }
    void settle()
    {
        for (int i = 0; i < 50; ++i) {
            XSync(fl_display, False);
            Fl::check();
            if (i > 5 && window_->visible_r() && !window_->damage()) break;
        }
    }
    std::vector<uchar> capture()
    {
        settle();
        window_->redraw();
        Fl::flush();
        window_->make_current();
        std::vector<uchar> rgb(size_t(kWindowWidth) * kWindowHeight * 3);
        fl_read_image(rgb.data(), 0, 0, kWindowWidth, kWindowHeight);
        return rgb;
    }
    void save(const std::vector<uchar>& rgb, const std::string& name)
    {
        const char* dir = std::getenv("KV_SCREENSHOT_DIR");
        if (!dir) return;
        std::string path = std::string(dir) + "/" + name + ".ppm";
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "P6\n%d %d\n255\n", kWindowWidth, kWindowHeight);
        std::fwrite(rgb.data(), 1, rgb.size(), f);
        std::fclose(f);
    }
};

// The banner stands above the menus only while a combination is formed.
TEST_F(DashboardInWindow, EachCombinationShowsItsBannerOverTheBackdrop)
{
    KV_Parameters* d = ui(*window_).dashboard;
    auto banner_pixels = [](const std::vector<uchar>& rgb) {
        // Pixels in the banner's strip that are far from the light backdrop.
        int dark = 0;
        for (int y = 218; y < 240; ++y)
            for (int x = 650; x < 700; ++x) {
                const uchar* p = &rgb[(size_t(y) * kWindowWidth + x) * 3];
                if (p[0] + p[1] + p[2] < 3 * 90) ++dark;
            }
        return dark;
    };
    const auto plain = capture();
    save(plain, "dashboard_plain");
    EXPECT_EQ(banner_pixels(plain), 0);
    const char* names[4] = {"", "dashboard_rotary", "dashboard_vinyl", "dashboard_junk"};
    for (int item = 1; item <= 3; ++item) {
        ASSERT_TRUE(d->apply_template(item));
        const auto shot = capture();
        save(shot, names[item]);
        EXPECT_GT(banner_pixels(shot), 100) << names[item];
    }
    PresetParameters p = default_parameters();
    p.algorithm_x = 24;   // PARAEQ: its captions
    p.algorithm_y = kEnvPhaser;
    p.sp1_y = 1;
    p.flags = bits::kEngagedY;
    d->load_parameters(p);
    const auto last = capture();
    save(last, "dashboard_paraeq");
    EXPECT_EQ(banner_pixels(last), 0) << "the banner goes with the combination";

    // Texts with '&' and '/' reach the toolkit as they are.
    p.algorithm_x = 15;   // TAPEFL: "Wow & Flutter"
    p.algorithm_y = 7;    // s&hFLT
    d->load_parameters(p);
    EXPECT_STREQ(d->sp_label_x[1]->label(), "Wow & Flutter");
    d->load_parameters(p);
    p.algorithm_x = 27;   // RECORD: "Vinyl Dust/Scratch"
    p.algorithm_y = 28;
    d->load_parameters(p);
    EXPECT_STREQ(d->sp_label_x[2]->label(), "Vinyl Dust/Scratch");
    save(capture(), "dashboard_texts");
    p.algorithm_x = 15;
    p.algorithm_y = 7;
    d->load_parameters(p);
    save(capture(), "dashboard_ampersand");
}

}  // namespace
}  // namespace kv
