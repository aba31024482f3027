// The global settings panel, the MIDI CC panel and the expression editor in
// the main window, against the simulated pedal through the in-process driver
// on a manual clock. Buttons and sliders are clicked through the toolkit's
// event dispatch; choice lists and CC fields are set and their callbacks run
// as the toolkit does on a pick or a commit.

// GoogleTest and the pedal model before the toolkit (X11 defines None).
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "arp/ui/KV_ArpEditor.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "platform/Clock.h"
#include "widgets/ValueSlider.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

class ConfigPanelsTest : public test::WindowTest {
protected:
    ConfigPanelsTest() : WindowTest("korvane_config_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        record_commands();
        attach_pedal();
    }
    // The tests count only what their own clicks send and show.
    void after_start() override
    {
        Fl::flush();
        commands_.clear();
        dialogs_.shown.clear();
    }

    // Types text into a CC field and commits it.
    static void type_cc(KV_MidiConfPanel* p, int row, const char* text)
    {
        p->cc_fields[size_t(row)]->value(text);
        p->cc_fields[size_t(row)]->do_callback();
    }
    void pick_tab(Fl_Widget* tab)
    {
        WindowTest::pick_tab(tab);
        Fl::flush();
    }

    int count(const std::string& kind) const
    {
        int n = 0;
        for (const auto& s : dialogs_.shown) n += s.kind == kind;
        return n;
    }
    std::string last_board_line() const
    {
        std::string all = ui(*window_).text_board->contents();
        while (!all.empty() && all.back() == '\n') all.pop_back();
        const size_t nl = all.rfind('\n');
        std::string line = nl == std::string::npos ? all : all.substr(nl + 1);
        return line.size() >= 12 ? line.substr(12) : line;
    }
    int count_command(uint8_t c) const
    {
        int n = 0;
        for (uint8_t x : commands_) n += x == c;
        return n;
    }
};

// --- global settings ------------------------------------------------------------------

TEST_F(ConfigPanelsTest, GlobalConfirmWritesThePanelsPartAndKeepsTheRest)
{
    GlobalsBytes g = factory_globals();
    g[0] = 0;
    g[1] = 12;
    g[2] = 14;
    g[4] = 0xF5;   // tap tempo, blinking off, bits 4-5, channel 6
    for (int k = 0; k < 29; ++k) g[size_t(5 + k)] = uint8_t(60 + k);
    pedal_.memory().globals = g;
    Korvane& w = start();
    KV_GloConfPanel* p = ui(w).glo_conf_panel;

    w.open_global_settings();
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC1});
    ASSERT_TRUE(p->visible());
    EXPECT_TRUE(p->confirm_button->active());
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_FALSE(ui(w).menu_button->active());
    EXPECT_FALSE(ui(w).connect_button->active());
    EXPECT_FALSE(ui(w).preset_selector->visible());
    EXPECT_TRUE(p->tap_tempo_button->value());
    EXPECT_FALSE(p->preset_button->value());
    EXPECT_TRUE(p->blinking_off_button->value());
    EXPECT_EQ(p->aux_lists[1]->value(), 12);
    // Nothing on "Favorite": the favourite list is greyed out.
    EXPECT_FALSE(p->fave_list->active());
    pick(p->aux_lists[2], 7);
    EXPECT_TRUE(p->fave_list->active());
    pick(p->aux_lists[0], 7);
    pick(p->aux_lists[2], 2);
    EXPECT_TRUE(p->fave_list->active());   // TIP still selects it
    pick(p->fave_list, 31);
    pick(p->pages_list, 3);

    // Exclusive pairs: a click on the checked one changes nothing.
    click(p->pad_0db_button);
    EXPECT_TRUE(p->pad_0db_button->value());
    EXPECT_FALSE(p->pad_6db_button->value());
    click(p->pad_6db_button);
    EXPECT_TRUE(p->pad_6db_button->value());
    EXPECT_FALSE(p->pad_0db_button->value());
    click(p->preset_button);
    EXPECT_TRUE(p->preset_button->value());
    EXPECT_FALSE(p->tap_tempo_button->value());
    click(p->blinking_off_button);
    EXPECT_FALSE(p->blinking_off_button->value());
    EXPECT_TRUE(commands_ == std::vector<uint8_t>{0xC1});   // nothing sent before Confirm

    click(p->confirm_button);
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC1, 0xC2, 0xC1}));   // read, write, read back
    GlobalsBytes want = g;
    want[0] = 7;
    want[1] = 12;
    want[2] = 2;
    want[3] = 0xFF;   // favourite 16B, four pages, pad
    want[4] = 0x35;   // B/X preset, blinking; bits 4-5 and channel 6 kept
    EXPECT_EQ(pedal_.memory().globals, want);
    EXPECT_EQ(w.globals_record().bytes, want);
    ASSERT_EQ(count("message"), 1);
    EXPECT_EQ(dialogs_.shown.back().text, "Global Configuration setup complete.");
    EXPECT_EQ(last_board_line(), "  Global Config. setup complete.");
    EXPECT_STREQ(ui(w).usb->progress->label(), "Global setup complete");
    EXPECT_FALSE(p->confirm_button->value());

    // Closed: the editor and its controls are back.
    EXPECT_FALSE(p->visible());
    EXPECT_TRUE(ui(w).dashboard->active());
    EXPECT_TRUE(ui(w).menu_button->active());
    EXPECT_TRUE(ui(w).preset_selector->visible());
    EXPECT_TRUE(ui(w).write_button->active());

    // Open again and confirm unchanged: byte 4 = 0x35 and the rest go back as they are.
    commands_.clear();
    w.open_global_settings();
    click(p->confirm_button);
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC1, 0xC2, 0xC1}));   // read, write, read back
    EXPECT_EQ(pedal_.memory().globals, want);
}

TEST_F(ConfigPanelsTest, ListItemsReachTheToolkitAsWritten)
{
    // Menu items are parsed by the toolkit ('/' opens a submenu, '&' marks a
    // shortcut): what it holds must be the text we meant.
    Korvane& w = start();
    for (Fl_Choice* list : ui(w).glo_conf_panel->aux_lists) {
        ASSERT_EQ(list->size() - 1, kAuxActionCount);
        for (int code = 0; code < kAuxActionCount; ++code)
            EXPECT_EQ(std::string(list->text(code)), "  " + std::string(aux_action_name(code)));
    }
    EXPECT_EQ(ui(w).glo_conf_panel->fave_list->size() - 1, 32);
    EXPECT_STREQ(ui(w).glo_conf_panel->fave_list->text(31), "16B");
    EXPECT_STREQ(ui(w).glo_conf_panel->pages_list->text(0), " 1");
    EXPECT_EQ(ui(w).midi_conf_panel->channel_list->size() - 1, 16);
    EXPECT_STREQ(ui(w).midi_conf_panel->channel_list->text(9), " Channel 10");
    // Opening over the help picture or the template chooser puts them away.
    ui(w).infographic_button->value(1);
    w.infographic_toggled();
    ui(w).templates_button->value(1);
    w.templates_toggled();
    w.open_global_settings();
    EXPECT_FALSE(ui(w).infographic_button->value());
    EXPECT_FALSE(ui(w).templates_button->value());
    click(ui(w).glo_conf_panel->cancel_button);
    EXPECT_TRUE(ui(w).dashboard->active());
}

TEST_F(ConfigPanelsTest, ConfirmWithNoChangeWritesByte4F5Back)
{
    GlobalsBytes g = factory_globals();
    g[4] = 0xF5;
    pedal_.memory().globals = g;
    Korvane& w = start();
    w.open_global_settings();
    click(ui(w).glo_conf_panel->confirm_button);
    EXPECT_EQ(pedal_.memory().globals, g);
    EXPECT_EQ(pedal_.memory().globals[4], 0xF5);
}

TEST_F(ConfigPanelsTest, CancelSendsNothingAndLeavesTheRecord)
{
    Korvane& w = start();
    KV_GloConfPanel* p = ui(w).glo_conf_panel;
    w.open_global_settings();
    const GlobalsRecord before = w.globals_record();
    const GlobalsBytes held = pedal_.memory().globals;
    for (int c = 0; c < 3; ++c) pick(p->aux_lists[size_t(c)], 7);
    pick(p->fave_list, 5);
    pick(p->pages_list, 0);
    click(p->pad_6db_button);
    click(p->tap_tempo_button);
    click(p->blinking_off_button);
    click(p->cancel_button);
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC1});
    EXPECT_EQ(pedal_.memory().globals, held);
    EXPECT_EQ(w.globals_record(), before);
    EXPECT_FALSE(p->visible());
    EXPECT_TRUE(dialogs_.shown.empty());
    // Cancel undoes nothing on the panel itself.
    EXPECT_TRUE(p->pad_6db_button->value());
}

TEST_F(ConfigPanelsTest, AFailedReadOpensThePanelWithConfirmOff)
{
    Korvane& w = start();
    KV_GloConfPanel* p = ui(w).glo_conf_panel;
    pick(p->aux_lists[0], 9);   // as a previous showing left it
    pedal_.set_no_answer(true);
    w.open_global_settings();
    EXPECT_TRUE(p->visible());
    EXPECT_EQ(p->aux_lists[0]->value(), 9);
    EXPECT_FALSE(p->confirm_button->active());
    EXPECT_TRUE(dialogs_.shown.empty());
    // An inactive Confirm takes no click; Cancel still closes.
    click(p->confirm_button);
    EXPECT_TRUE(p->visible());
    click(p->cancel_button);
    EXPECT_FALSE(p->visible());
    EXPECT_EQ(count_command(0xC2), 0);

    // The next good read allows Confirm again.
    pedal_.set_no_answer(false);
    w.open_global_settings();
    EXPECT_TRUE(p->confirm_button->active());
    EXPECT_EQ(p->aux_lists[0]->value(), 3);
    click(p->cancel_button);
}

TEST_F(ConfigPanelsTest, AFailedWriteIsReportedAndThePanelCloses)
{
    Korvane& w = start();
    KV_GloConfPanel* p = ui(w).glo_conf_panel;
    w.open_global_settings();
    pick(p->aux_lists[1], 13);
    const GlobalsBytes held = pedal_.memory().globals;
    driver_.fail_next_write(FT_IO_ERROR, 0);
    click(p->confirm_button);
    EXPECT_EQ(pedal_.memory().globals, held);
    ASSERT_EQ(count("alert"), 1);
    EXPECT_EQ(dialogs_.shown.back().text.rfind("USB communication error has occurred", 0), 0u);
    EXPECT_EQ(last_board_line(), "  > Global Config. setup failed. Please try again.");
    EXPECT_STREQ(ui(w).usb->progress->label(), "error");
    EXPECT_FALSE(p->visible());
    // The editor's copy keeps what was tried.
    EXPECT_EQ(w.globals_record().bytes[1], 13);
}

// --- MIDI settings --------------------------------------------------------------------

TEST_F(ConfigPanelsTest, MidiFieldsClampRefuseDuplicatesAndConfirmTheMap)
{
    GlobalsBytes g = factory_globals();
    g[4] = 0xC3;   // LED off, tap tempo, channel 4
    pedal_.memory().globals = g;
    Korvane& w = start();
    KV_MidiConfPanel* p = ui(w).midi_conf_panel;
    w.open_midi_settings();
    ASSERT_TRUE(p->visible());
    EXPECT_EQ(p->channel_list->value(), 3);
    EXPECT_STREQ(p->cc_fields[0]->value(), "14");

    // Swapping needs a free number: 15 is row 1's.
    type_cc(p, 0, "15");
    ASSERT_EQ(count("alert"), 1);
    EXPECT_EQ(dialogs_.shown.back().text, "This CC number is already in use, please choose another one..");
    EXPECT_STREQ(p->cc_fields[0]->value(), "14");
    // Its own number again is fine.
    type_cc(p, 0, "14");
    EXPECT_EQ(count("alert"), 1);
    type_cc(p, 16, "150");
    EXPECT_STREQ(p->cc_fields[16]->value(), "99");
    type_cc(p, 5, "007");
    EXPECT_STREQ(p->cc_fields[5]->value(), "7");
    type_cc(p, 6, "-5");
    EXPECT_STREQ(p->cc_fields[6]->value(), "0");
    type_cc(p, 7, "-5");   // 0 is row 6's now
    EXPECT_EQ(count("alert"), 2);
    EXPECT_STREQ(p->cc_fields[7]->value(), "21");
    pick(p->channel_list, 9);   // " Channel 10"
    EXPECT_TRUE(commands_ == std::vector<uint8_t>{0xC1});

    click(p->confirm_button);
    GlobalsBytes want = g;
    want[4] = 0xC9;
    want[5 + 16] = 99;
    want[5 + 5] = 7;
    want[5 + 6] = 0;
    EXPECT_EQ(pedal_.memory().globals, want);
    EXPECT_EQ(dialogs_.shown.back().text, "Global Configuration setup complete.");
    EXPECT_FALSE(p->visible());

    // Cancel after edits sends nothing.
    commands_.clear();
    w.open_midi_settings();
    type_cc(p, 28, "98");
    click(p->cancel_button);
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC1});
    EXPECT_EQ(pedal_.memory().globals, want);
}

TEST_F(ConfigPanelsTest, MidiHelpAndFailedRead)
{
    Korvane& w = start();
    KV_MidiConfPanel* p = ui(w).midi_conf_panel;
    type_cc(p, 3, "90");
    pedal_.set_no_answer(true);
    w.open_midi_settings();
    EXPECT_STREQ(p->cc_fields[3]->value(), "90");   // as it was left
    EXPECT_FALSE(p->confirm_button->active());
    click(p->help_button);
    ASSERT_EQ(count("message"), 1);
    EXPECT_EQ(dialogs_.shown.back().text.rfind("MIDI CC NUmber Mapping\n", 0), 0u);
    click(p->cancel_button);
    EXPECT_EQ(count_command(0xC2), 0);
}

// --- the expression editor ------------------------------------------------------------

class ExpressionTest : public ConfigPanelsTest {
protected:
    // The window with a Dashboard block on `algorithm_x`, the Expression page shown.
    Korvane& start_with(AlgorithmId algorithm_x, uint8_t focus, uint8_t rotor = 0x11)
    {
        Korvane& w = start();
        PresetParameters b = ui(w).dashboard->params;
        b.algorithm_x = algorithm_x;
        b.focus = focus;
        b.rotor = rotor;
        for (int i = 0; i < 6; ++i) {
            b.expression_x[i] = uint8_t(i % 2 ? 200 : 20);
            b.expression_y[i] = uint8_t(i % 2 ? 180 : 40);
        }
        ui(w).dashboard->load_parameters(b);
        pick_tab(ui(w).expression_editor);
        commands_.clear();
        dialogs_.shown.clear();
        return w;
    }
};

TEST_F(ExpressionTest, HornOrDrumAsksBeforeMappingSpeedAndDepthTogether)
{
    // DRUM on DSP-X with DEPTH mapped.
    Korvane& w = start_with(kAlgorithmDrum, 0x08);
    KV_ExpressionEditor* e = ui(w).expression_editor;
    EXPECT_FALSE(e->map_button(Engine::X, Knob::Speed)->value());
    EXPECT_FALSE(e->heel_slider(Engine::X, Knob::Speed)->active());

    dialogs_.choice_answers = {0};   // Cancel
    click(e->map_button(Engine::X, Knob::Speed));
    ASSERT_EQ(count("choice"), 1);
    EXPECT_NE(dialogs_.shown.back().text.find("the Depth knob which\nhas already been mapped will be unmapped."),
              std::string::npos);
    EXPECT_FALSE(e->map_button(Engine::X, Knob::Speed)->value());
    EXPECT_TRUE(e->map_button(Engine::X, Knob::Depth)->value());
    EXPECT_TRUE(commands_.empty());

    dialogs_.choice_answers = {1};   // Proceed
    click(e->map_button(Engine::X, Knob::Speed));
    EXPECT_TRUE(e->map_button(Engine::X, Knob::Speed)->value());
    EXPECT_FALSE(e->map_button(Engine::X, Knob::Depth)->value());
    EXPECT_FALSE(e->heel_slider(Engine::X, Knob::Depth)->active());
    EXPECT_TRUE(e->heel_slider(Engine::X, Knob::Speed)->active());
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC3});
    EXPECT_EQ(pedal_.playing().parameters.focus, 0x10);   // SPEED only, DSP-X edited
    EXPECT_EQ(ui(w).dashboard->params.focus, 0x10);
    EXPECT_EQ(last_board_line(), "  parameter change ok.");

    // TWEAK is never restricted.
    click(e->map_button(Engine::X, Knob::Tweak));
    EXPECT_EQ(count("choice"), 2);
    EXPECT_EQ(ui(w).dashboard->params.focus, 0x14);

    // Turning DEPTH back on asks with the other text.
    dialogs_.choice_answers = {0};
    click(e->map_button(Engine::X, Knob::Depth));
    EXPECT_NE(dialogs_.shown.back().text.find("the Speed knob which"), std::string::npos);
}

TEST_F(ExpressionTest, LoadingABlockThatMapsBothNeverAsks)
{
    Korvane& w = start_with(kAlgorithmHorn, 0x18);
    KV_ExpressionEditor* e = ui(w).expression_editor;
    EXPECT_EQ(count("choice"), 0);
    EXPECT_TRUE(e->map_button(Engine::X, Knob::Speed)->value());
    EXPECT_TRUE(e->map_button(Engine::X, Knob::Depth)->value());
    EXPECT_EQ(e->working().mapping_flags, 0x18);
    EXPECT_TRUE(commands_.empty());
}

TEST_F(ExpressionTest, SlowFastAndTheEditedEngineReachTheBlock)
{
    Korvane& w = start_with(3, 0x10 | 0x80, 0x11);
    KV_ExpressionEditor* e = ui(w).expression_editor;
    // DSP-Y edits leave bits 0-1 of byte 2 at 1, the Slow/Fast pair included.
    click(e->fast_button(Engine::Y, Knob::Tweak));
    EXPECT_TRUE(e->fast_button(Engine::Y, Knob::Tweak)->value());
    EXPECT_FALSE(e->slow_button(Engine::Y, Knob::Tweak)->value());
    EXPECT_EQ(ui(w).dashboard->params.focus & 0x03, 1);
    EXPECT_EQ(ui(w).dashboard->params.rotor, 0x31);
    // A click on the button already on keeps it on.
    click(e->fast_button(Engine::Y, Knob::Tweak));
    EXPECT_TRUE(e->fast_button(Engine::Y, Knob::Tweak)->value());
    // DSP-X TWEAK fast: bit 1; the rotary bits 0 and 4 stay.
    click(e->fast_button(Engine::X, Knob::Tweak));
    EXPECT_EQ(ui(w).dashboard->params.focus & 0x03, 0);
    EXPECT_EQ(ui(w).dashboard->params.rotor, 0x33);
    EXPECT_EQ(pedal_.playing().parameters.rotor, 0x33);
    // Back to slow on Y.
    click(e->slow_button(Engine::Y, Knob::Tweak));
    EXPECT_EQ(ui(w).dashboard->params.rotor, 0x13);
    EXPECT_EQ(ui(w).dashboard->params.focus & 0x03, 1);

    // Reloading shows Fast for DSP-X TWEAK again.
    pick_tab(ui(w).dashboard);
    pick_tab(ui(w).expression_editor);
    EXPECT_TRUE(e->fast_button(Engine::X, Knob::Tweak)->value());
    EXPECT_FALSE(e->fast_button(Engine::Y, Knob::Tweak)->value());
}

TEST_F(ExpressionTest, HeelEqualToToeUnmapsWithTheButtonLeftOn)
{
    Korvane& w = start_with(3, 0x10, 0x00);
    KV_ExpressionEditor* e = ui(w).expression_editor;
    ValueSlider* heel = e->heel_slider(Engine::X, Knob::Speed);
    ValueSlider* toe = e->toe_slider(Engine::X, Knob::Speed);
    drag_to_end(toe, true);
    drag_to_end(heel, true);
    EXPECT_EQ(heel->value(), 100);
    EXPECT_EQ(ui(w).dashboard->params.expression_x[0], 255);
    EXPECT_EQ(ui(w).dashboard->params.expression_x[1], 255);
    EXPECT_EQ(ui(w).dashboard->params.focus & 0x10, 0);
    EXPECT_TRUE(e->map_button(Engine::X, Knob::Speed)->value());
    // One preview for each release, none while dragging.
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC3, 0xC3}));
    drag_to_end(heel, false);
    EXPECT_EQ(ui(w).dashboard->params.expression_x[0], 0);
    EXPECT_EQ(ui(w).dashboard->params.focus & 0x10, 0x10);
    EXPECT_EQ(pedal_.playing().parameters.expression_x[0], 0);
}

TEST_F(ExpressionTest, OfflineEditsChangeTheBlockAndSendNothing)
{
    Korvane& w = start_with(3, 0x10, 0x00);
    KV_ExpressionEditor* e = ui(w).expression_editor;
    ui(w).transport_panel->deactivate();
    const int lines = w.status_lines();
    click(e->map_button(Engine::Y, Knob::Depth));
    EXPECT_EQ(ui(w).dashboard->params.focus, 0x10 | 0x40 | 1);
    EXPECT_TRUE(commands_.empty());
    EXPECT_EQ(w.status_lines(), lines);
    // A pedal that stopped answering: the OFFLINE line.
    ui(w).transport_panel->activate();
    pedal_.vanish_now();
    click(e->map_button(Engine::Y, Knob::Depth));
    EXPECT_EQ(last_board_line(), "  parameter change OFFLINE.");
    EXPECT_EQ(ui(w).dashboard->params.focus, 0x10 | 1);
}

TEST_F(ExpressionTest, TheEditorIsLockedWhileASettingsPanelIsOpen)
{
    Korvane& w = start_with(3, 0x10);
    w.open_global_settings();
    EXPECT_FALSE(ui(w).expression_editor->active());
    pick_tab(ui(w).arp_editor);
    pick_tab(ui(w).expression_editor);
    EXPECT_FALSE(ui(w).expression_editor->active());
    click(ui(w).glo_conf_panel->cancel_button);
    EXPECT_TRUE(ui(w).expression_editor->active());
}

} // namespace
} // namespace kv
