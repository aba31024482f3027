// The main window's safety nets against the simulated pedal (in-process
// driver, manual clock): copying and swapping slots from a preset row's
// menu, the safety backup before a swap, and what the rows and the editor
// show afterwards.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
// The pedal model before the toolkit too (its enums have a None).
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "arp/ArpSequence.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "ops/Backup.h"
#include "ops/AutoBackup.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"
#include "ops/Slots.h"
#include "preset/AlgorithmLibrary.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "preset/Catalogue.h"
#include "widgets/Input.h"
#include "widgets/Slider.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tabs.H>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

// The requests by their names, as the Dashboard reports them.
using enum PreviewRequest;

// Mouse events delivered straight to a widget, as the toolkit would.
int mouse(Fl_Widget* w, int event, int x, int y)
{
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + 1;
    Fl::e_clicks = 0;
    Fl::e_is_click = 0;
    Fl::e_state = event == FL_RELEASE ? 0 : FL_BUTTON1;
    return w->handle(event);
}

class EditSafetyTest : public test::WindowTest {
protected:
    EditSafetyTest() : WindowTest("korvane_safety_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        pedal_.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        for (int s = 0; s < kSlotCount; ++s) pedal_.memory().slots[s].title = make_title("Sound " + std::to_string(s + 1));
        pedal_.memory().slots[5].parameters.flags |= bits::kAutoStomp;
        pedal_.set_request_observer([this](const PedalRequest& r) { requests_.push_back(r.name); });
        attach_pedal();
        start();
        Fl::check();
    }
    KV_TransportPanel& pages() { return *ui(*window_).transport_panel; }
    KV_Parameters& dash() { return *ui(*window_).dashboard; }

    // An edit as the Dashboard makes it: the block (and, for an algorithm or
    // option, the programs) changed first, then one callback a preview.
    void edit(const std::function<void(KV_Parameters&)>& change, std::vector<PreviewRequest> previews)
    {
        change(dash());
        for (PreviewRequest r : previews) dash().on_preview(r);
    }
    // DSP-X's program as the editor builds it for its block.
    void rebuild_program_x(KV_Parameters& d)
    {
        DspProgram unused{};
        build_(d.params, d.program_x, unused);
    }

    // The pedal's previews since the last clear, as short names.
    std::vector<std::string> previews_sent() const
    {
        std::vector<std::string> out;
        for (const auto& r : requests_) {
            if (r == "Change Core (Preview)") out.push_back("core");
            else if (r == "Write Data (Preview) DSP-X") out.push_back("program X");
            else if (r == "Write Data (Preview) DSP-Y") out.push_back("program Y");
            else if (r == "GET_ARPDATA") out.push_back("sequence");
            else if (r.find("messageId") == std::string::npos) out.push_back(r);
        }
        return out;
    }
    // Clicks the bank button of a row, as a user does.
    void click_row(int slot)
    {
        pages().slots[size_t(slot)].bank_button->value(1);
        pages().slots[size_t(slot)].bank_button->do_callback();
    }
    int questions() const
    {
        int n = 0;
        for (const auto& d : dialogs_.shown)
            if (d.kind == "choice") ++n;
        return n;
    }
    const std::string& last_question() const
    {
        static const std::string none;
        for (auto it = dialogs_.shown.rbegin(); it != dialogs_.shown.rend(); ++it)
            if (it->kind == "choice") return it->text;
        return none;
    }
    std::string row_name(int slot) { return pages().slots[size_t(slot)].name_field->value(); }
    bool asked(const std::string& start) const
    {
        for (const auto& d : dialogs_.shown)
            if (d.kind == "choice" && d.text.rfind(start, 0) == 0) return true;
        return false;
    }
    // Picks the item of the row menu whose text starts with `item`, under `submenu`.
    void pick_from_row_menu(int row, const std::string& submenu, const std::string& item)
    {
        pages().menu_popup = [=](const Fl_Menu_Item* menu, int, int) -> const Fl_Menu_Item* {
            // Walks the item array: a submenu title, its items, a terminator.
            int depth = 0;
            std::string current;
            for (const Fl_Menu_Item* m = menu;; ++m) {
                if (!m->text) {
                    if (depth == 0) return nullptr;
                    --depth;
                    continue;
                }
                if (m->flags & FL_SUBMENU) {
                    ++depth;
                    current = m->text;
                    continue;
                }
                if (current == submenu && std::string(m->text).rfind(item, 0) == 0) return m;
            }
        };
        pages().open_slot_menu(row, 100, 100);
    }

    std::vector<std::string> requests_;
    AlgorithmLibrary library_{std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc"};
    ops::ProgramBuilder build_ = ops::library_program_builder(library_);
};

TEST_F(EditSafetyTest, RowMenuCopiesAndSwapsSlotsAfterAsking)
{
    const PedalMemory before = pedal_.memory();

    // Cancel first: nothing is sent.
    requests_.clear();
    dialogs_.choice_answers = {0};
    pick_from_row_menu(5, "Copy to", "Preset 12 (6-B)");
    EXPECT_TRUE(asked("Copy Preset 6 (\"Sound 6\") over Preset 12 (\"Sound 12\")?"));
    EXPECT_TRUE(requests_.empty());

    dialogs_.choice_answers = {1};
    pick_from_row_menu(5, "Copy to", "Preset 12 (6-B)");
    EXPECT_TRUE(pedal_.memory().slots[11] == before.slots[5]);
    EXPECT_EQ(row_name(11), " Sound 6     ");
    EXPECT_EQ(pages().slots[11].s_switch->value(), 1);
    // The editor still edits slot 1 under its own name.
    EXPECT_EQ(pages().current_slot, 0);
    EXPECT_EQ(pages().edit_name_text(), "Sound 1     ");

    // Swapping the selected slot with another reads the selected slot again.
    dialogs_.choice_answers = {1};
    pick_from_row_menu(0, "Swap with", "Preset 3 (2-A)");
    EXPECT_TRUE(asked("Swap Preset 1 (\"Sound 1\") and Preset 3 (\"Sound 3\")?"));
    EXPECT_TRUE(pedal_.memory().slots[0] == before.slots[2]);
    EXPECT_TRUE(pedal_.memory().slots[2] == before.slots[0]);
    EXPECT_EQ(row_name(0), " Sound 3     ");
    EXPECT_EQ(row_name(2), " Sound 1     ");
    EXPECT_EQ(0, std::memcmp(ui(*window_).dashboard->params.data(), before.slots[2].parameters.data(), 33));
    // The swap kept all presets in the safety backup folder first.
    const auto backups = ops::list_auto_backups(ops::auto_backup_folder(window_->presets_folder_path()));
    ASSERT_EQ(backups.size(), 1u);
    const FileRead bkp = read_file_limited(backups[0], kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 0)), "Sound 1");
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 11)), "Sound 6");
}

TEST_F(EditSafetyTest, UnsavedChangesAreMarkedAndAskedAboutBeforeTheyAreLost)
{
    EXPECT_FALSE(window_->unsaved_changes());
    EXPECT_STREQ(pages().slots[0].program_label->label(), "PC.0");

    edit([](KV_Parameters& d) { d.params.depth_x = 17; }, {parameters});
    EXPECT_TRUE(window_->unsaved_changes());
    EXPECT_STREQ(pages().slots[0].program_label->label(), "PC.0 *");

    // Undone back to what the slot holds: nothing unsaved.
    ASSERT_TRUE(window_->undo_edit());
    EXPECT_FALSE(window_->unsaved_changes());
    EXPECT_STREQ(pages().slots[0].program_label->label(), "PC.0");
    ASSERT_TRUE(window_->redo_edit());
    EXPECT_TRUE(window_->unsaved_changes());

    // Another slot: Cancel keeps the slot, the edit and sends nothing.
    requests_.clear();
    dialogs_.choice_answers = {0};
    click_row(3);
    EXPECT_EQ(last_question(), "Discard the changes to Sound 1?");
    EXPECT_EQ(pages().current_slot, 0);
    EXPECT_EQ(pages().slots[3].bank_button->value(), 0);
    EXPECT_EQ(dash().params.depth_x, 17);
    EXPECT_TRUE(requests_.empty());

    // Connect and Quit: Cancel does nothing either.
    dialogs_.choice_answers = {0, 0};
    ui(*window_).connect_button->do_callback();
    ui(*window_).quit_button->do_callback();
    EXPECT_TRUE(requests_.empty());
    EXPECT_TRUE(exit_codes_.empty());
    EXPECT_EQ(last_question(), "Discard the changes to Sound 1?");

    // A store makes the edit the slot's: nothing is asked any more.
    ui(*window_).write_button->do_callback();
    EXPECT_EQ(pedal_.memory().slots[0].parameters.depth_x, 17);
    EXPECT_FALSE(window_->unsaved_changes());
    EXPECT_STREQ(pages().slots[0].program_label->label(), "PC.0");
    const int asked_before = questions();
    click_row(3);
    EXPECT_EQ(questions(), asked_before);
    EXPECT_EQ(pages().current_slot, 3);

    // An edit of slot 4, then Discard: slot 5 is read and the mark goes with it.
    edit([](KV_Parameters& d) { d.params.set_routing(Routing::LrSplit); }, {parameters});
    EXPECT_STREQ(pages().slots[3].program_label->label(), "PC.3 *");
    dialogs_.choice_answers = {1};
    click_row(4);
    EXPECT_EQ(last_question(), "Discard the changes to Sound 4?");
    EXPECT_EQ(pages().current_slot, 4);
    EXPECT_STREQ(pages().slots[3].program_label->label(), "PC.3");
    EXPECT_FALSE(window_->unsaved_changes());
    EXPECT_NE(pedal_.memory().slots[3].parameters.routing(), 2);

    // A switch or a new title is a change too; Discard on Connect reads the pedal again.
    pages().slots[4].s_switch->value(!pages().slots[4].s_switch->value());
    pages().slots[4].s_switch->do_callback();
    EXPECT_TRUE(window_->unsaved_changes());
    requests_.clear();
    dialogs_.choice_answers = {1};
    ui(*window_).connect_button->do_callback();
    EXPECT_FALSE(requests_.empty());
    EXPECT_FALSE(window_->unsaved_changes());
    EXPECT_EQ(pages().current_slot, 0);

    pages().edit_name = make_title("Renamed");
    EXPECT_TRUE(window_->unsaved_changes());
    dialogs_.choice_answers = {1};
    ui(*window_).quit_button->do_callback();
    EXPECT_EQ(last_question(), "Discard the changes to Renamed?");
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
}

TEST_F(EditSafetyTest, UndoAndRedoReplayEachEditOnThePedal)
{
    const EditState loaded = [&] {
        EditState s;
        s.parameters = dash().params;
        s.title = pages().edit_name;
        s.program_x = dash().program_x;
        s.program_y = dash().program_y;
        return s;
    }();
    // A knob, an algorithm (DSP-X to ARP.FI), the routing, the engine swap.
    edit([](KV_Parameters& d) { d.params.tweak_y = 200; }, {parameters});
    const PresetParameters after_knob = dash().params;
    edit(
        [this](KV_Parameters& d) {
            d.params.algorithm_x = 32;
            d.params.sp1_x = d.params.sp2_x = d.params.sp3_x = 0;
            rebuild_program_x(d);
        },
        {parameters, program_x, sequence_x});
    const PresetParameters after_algorithm = dash().params;
    edit([](KV_Parameters& d) { d.params.set_routing(Routing::Mixture); }, {parameters});
    const PresetParameters after_routing = dash().params;
    edit(
        [](KV_Parameters& d) {
            std::swap(d.params.algorithm_x, d.params.algorithm_y);
            std::swap(d.program_x, d.program_y);
        },
        {parameters, program_x, sequence_x, program_y, sequence_y});
    EXPECT_EQ(window_->edit_history().steps(), 5u);

    using V = std::vector<std::string>;
    struct Step {
        const PresetParameters* block;
        V previews;
    };
    const std::vector<Step> back = {
        {&after_routing, V{"core", "program X", "sequence", "program Y"}},
        {&after_algorithm, V{"core"}},
        {&after_knob, V{"core", "program X"}},
        {&loaded.parameters, V{"core"}},
    };
    for (const Step& step : back) {
        requests_.clear();
        ASSERT_TRUE(window_->undo_edit());
        EXPECT_EQ(0, std::memcmp(dash().params.data(), step.block->data(), kPresetParametersSize));
        EXPECT_EQ(previews_sent(), step.previews);
        // What the pedal plays is the step's block.
        EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), step.block->data(), kPresetParametersSize));
    }
    EXPECT_FALSE(window_->undo_edit());
    EXPECT_FALSE(window_->unsaved_changes());

    requests_.clear();
    ASSERT_TRUE(window_->redo_edit());
    ASSERT_TRUE(window_->redo_edit());
    EXPECT_EQ(0, std::memcmp(dash().params.data(), after_algorithm.data(), kPresetParametersSize));
    EXPECT_EQ(previews_sent(), (V{"core", "core", "program X", "sequence"}));
    EXPECT_EQ(0, std::memcmp(pedal_.playing().program_x.bytes, dash().program_x.bytes, kDspProgramSize));

    // Ctrl+Z reaches the window even when the Dashboard has the focus.
    Fl::focus(ui(*window_).dashboard);
    Fl::e_keysym = 'z';
    Fl::e_state = FL_CTRL;
    EXPECT_TRUE(window_->edit_key(FL_KEYBOARD));
    EXPECT_EQ(0, std::memcmp(dash().params.data(), after_knob.data(), kPresetParametersSize));
    Fl::e_state = FL_CTRL | FL_SHIFT;
    EXPECT_TRUE(window_->edit_key(FL_KEYBOARD));
    EXPECT_EQ(0, std::memcmp(dash().params.data(), after_algorithm.data(), kPresetParametersSize));
    Fl::e_keysym = 'y';
    Fl::e_state = FL_CTRL;
    EXPECT_TRUE(window_->edit_key(FL_KEYBOARD));
    EXPECT_EQ(0, std::memcmp(dash().params.data(), after_routing.data(), kPresetParametersSize));
    // A text field keeps its own undo.
    Fl::focus(pages().slots[0].name_field);
    EXPECT_FALSE(window_->edit_key(FL_KEYBOARD));
    Fl::e_state = 0;

    // A new edit drops the redo steps; reading a slot starts a new history.
    edit([](KV_Parameters& d) { d.params.volume = 9; }, {parameters});
    EXPECT_FALSE(window_->redo_edit());
    dialogs_.choice_answers = {1};
    click_row(1);
    EXPECT_FALSE(window_->undo_edit());
}

TEST_F(EditSafetyTest, DashboardControlsAreUndoneStepByStep)
{
    KV_Parameters& d = dash();
    std::vector<PresetParameters> blocks{d.params};
    using V = std::vector<std::string>;

    // A slider dragged and let go: one step, one preview.
    Slider* depth = d.knob(Engine::X, Knob::Depth);
    const int y = depth->y() + depth->h() / 2;
    requests_.clear();
    mouse(depth, FL_PUSH, depth->x() + depth->w() / 5, y);
    mouse(depth, FL_DRAG, depth->x() + depth->w() / 2, y);
    mouse(depth, FL_DRAG, depth->x() + depth->w() * 4 / 5, y);
    mouse(depth, FL_RELEASE, depth->x() + depth->w() * 4 / 5, y);
    EXPECT_EQ(previews_sent(), V{"core"});
    EXPECT_EQ(window_->edit_history().steps(), 2u);
    blocks.push_back(d.params);

    // An algorithm picked in the DSP-Y menu (Arp Filter: a tempo algorithm).
    d.algorithm_menu(Engine::Y)->value(algorithm_to_position(32));
    d.algorithm_menu(Engine::Y)->do_callback();
    blocks.push_back(d.params);
    // LR-split, then SWAP.
    d.split_button->value(1);
    d.split_button->do_callback();
    blocks.push_back(d.params);
    d.swap_button->do_callback();
    blocks.push_back(d.params);
    EXPECT_EQ(window_->edit_history().steps(), 5u);

    const std::vector<V> undo_previews = {
        {"core", "program X", "program Y", "sequence"},   // the swap undone: Y plays the arp again
        {"core"},                                          // routing
        {"core", "program Y"},                             // the algorithm: back to a rate algorithm
        {"core"},                                          // the drag
    };
    for (size_t i = 0; i < undo_previews.size(); ++i) {
        SCOPED_TRACE("undo " + std::to_string(i + 1));
        requests_.clear();
        ASSERT_TRUE(window_->undo_edit());
        const PresetParameters& want = blocks[blocks.size() - 2 - i];
        EXPECT_EQ(0, std::memcmp(d.params.data(), want.data(), kPresetParametersSize));
        EXPECT_EQ(previews_sent(), undo_previews[i]);
        EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), want.data(), kPresetParametersSize));
        EXPECT_EQ(0, std::memcmp(pedal_.playing().program_y.bytes, d.program_y.bytes, kDspProgramSize));
    }
    // The controls show the block: the slider where it started, the menus and routing back.
    EXPECT_EQ(d.algorithm_menu(Engine::Y)->value(), algorithm_to_position(blocks[0].algorithm_y));
    EXPECT_EQ(d.cascade_button->value(), blocks[0].routing() == 0 ? 1 : 0);
    EXPECT_FALSE(window_->unsaved_changes());

    // Redo all the way: the swap's block and programs again.
    while (window_->redo_edit()) {
    }
    EXPECT_EQ(0, std::memcmp(d.params.data(), blocks.back().data(), kPresetParametersSize));
    EXPECT_TRUE(window_->unsaved_changes());
}

TEST_F(EditSafetyTest, ExpressionPageEditsAreUndoneOnThePageAndThePedal)
{
    ui(*window_).tabs->value(ui(*window_).expression_editor);
    window_->tab_changed();
    KV_ExpressionEditor& page = *ui(*window_).expression_editor;
    const PresetParameters loaded = dash().params;

    // A click on DSP-Y TWEAK "Fast", through the window as the toolkit delivers it.
    Fl_Widget* fast = page.fast_button(Engine::Y, Knob::Tweak);
    const int x = fast->x() + fast->w() / 2, y = fast->y() + fast->h() / 2;
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + 1;
    Fl::e_state = FL_BUTTON1;
    Fl::e_is_click = 0;
    Fl::handle(FL_PUSH, window_.get());
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, window_.get());
    ASSERT_NE(dash().params.rotor, loaded.rotor);
    EXPECT_TRUE(window_->unsaved_changes());
    EXPECT_EQ(window_->edit_history().steps(), 2u);

    requests_.clear();
    ASSERT_TRUE(window_->undo_edit());
    EXPECT_EQ(dash().params.rotor, loaded.rotor);
    EXPECT_EQ(pedal_.playing().parameters.rotor, loaded.rotor);
    EXPECT_EQ(previews_sent(), std::vector<std::string>{"core"});
    EXPECT_FALSE(page.fast_button(Engine::Y, Knob::Tweak)->value());
    EXPECT_FALSE(window_->unsaved_changes());
}

TEST_F(EditSafetyTest, ArpEditorLevelEditsAreUndoneAndHeardAgain)
{
    // Slot 2 plays the Arpeggiator on DSP-X, Sequence I.
    pedal_.memory().slots[1].parameters.algorithm_x = 37;
    pedal_.memory().slots[1].parameters.sp1_x = 0;
    click_row(1);
    KV_ArpCore& panel = ui(*window_).arp_editor->core(Engine::X);
    const ArpSequence shown = panel.record();

    // A level moved on the Arp Editor's panel, heard, then undone.
    ArpSequence moved = shown;
    moved.set_level(2, 4000, false);
    panel.load(moved);
    window_->note_edit();
    EXPECT_EQ(window_->edit_history().steps(), 2u);
    EXPECT_FALSE(window_->unsaved_changes());   // the pedal's library, not the slot, holds sequences

    requests_.clear();
    ASSERT_TRUE(window_->undo_edit());
    EXPECT_EQ(panel.record().bytes, shown.bytes);
    EXPECT_EQ(previews_sent(), (std::vector<std::string>{"SET_ARPDATA (preview)"}));
    EXPECT_EQ(pedal_.playing().arp_x, shown.bytes);
    requests_.clear();
    ASSERT_TRUE(window_->redo_edit());
    EXPECT_EQ(panel.record().bytes, moved.bytes);
    EXPECT_EQ(pedal_.playing().arp_x, moved.bytes);
}

TEST_F(EditSafetyTest, ComparePlaysTheStoredPresetAndBringsTheEditBack)
{
    edit([](KV_Parameters& d) { d.params.depth_y = 3; }, {parameters});
    const PresetParameters edited = dash().params;
    const PedalMemory memory = pedal_.memory();

    requests_.clear();
    ui(*window_).compare_button->value(1);
    ui(*window_).compare_button->do_callback();
    EXPECT_TRUE(window_->comparing());
    EXPECT_EQ(previews_sent(), (std::vector<std::string>{"core", "program X", "core", "program Y"}));
    EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), memory.slots[0].parameters.data(), 35));
    EXPECT_EQ(0, std::memcmp(dash().params.data(), memory.slots[0].parameters.data(), 35));   // shown
    EXPECT_FALSE(dash().active());
    EXPECT_FALSE(ui(*window_).expression_editor->active());
    EXPECT_FALSE(ui(*window_).arp_editor->active());
    EXPECT_FALSE(ui(*window_).write_button->active());
    EXPECT_TRUE(window_->unsaved_changes());   // the edit is only put aside

    requests_.clear();
    ui(*window_).compare_button->value(0);
    ui(*window_).compare_button->do_callback();
    EXPECT_FALSE(window_->comparing());
    EXPECT_EQ(previews_sent(), (std::vector<std::string>{"core", "program X", "core", "program Y"}));
    EXPECT_EQ(0, std::memcmp(dash().params.data(), edited.data(), 35));
    EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), edited.data(), 35));
    EXPECT_TRUE(dash().active());
    EXPECT_TRUE(ui(*window_).expression_editor->active());
    EXPECT_TRUE(ui(*window_).arp_editor->active());
    EXPECT_TRUE(ui(*window_).write_button->active());
    // Nothing was stored, and the edit is still one undo step away.
    EXPECT_TRUE(pedal_.memory() == memory);
    EXPECT_EQ(window_->edit_history().steps(), 2u);

    // Picking another slot while comparing ends Compare first and asks about the edit.
    ui(*window_).compare_button->value(1);
    ui(*window_).compare_button->do_callback();
    dialogs_.choice_answers = {0};
    click_row(2);
    EXPECT_FALSE(window_->comparing());
    EXPECT_EQ(last_question(), "Discard the changes to Sound 1?");
    EXPECT_EQ(0, std::memcmp(dash().params.data(), edited.data(), 35));
    EXPECT_TRUE(pedal_.memory() == memory);
}

TEST_F(EditSafetyTest, RestoreFromTheWindowAsksAboutTheEditAndBacksThePedalUpFirst)
{
    std::vector<uint8_t> before(kPresetImageSize), other(kPresetImageSize);
    for (int s = 0; s < kSlotCount; ++s) {
        set_image_parameters(before.data(), s, pedal_.memory().slots[s].parameters);
        set_image_title(before.data(), s, pedal_.memory().slots[s].title);
        set_image_parameters(other.data(), s, pedal_.memory().slots[s].parameters);
        set_image_title(other.data(), s, make_title("Other " + std::to_string(s + 1)));
    }
    const std::string file = home_ + "/other.bkp";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(other.data(), 1, other.size(), f), other.size());
    std::fclose(f);
    const std::string folder = ops::auto_backup_folder(window_->presets_folder_path());

    // With an unsaved edit: Cancel on the discard question does nothing at all.
    edit([](KV_Parameters& d) { d.params.depth_x = 99; }, {parameters});
    requests_.clear();
    dialogs_.choice_answers = {0};
    window_->restore_presets();
    EXPECT_EQ(last_question(), "Discard the changes to Sound 1?");
    EXPECT_TRUE(requests_.empty());
    EXPECT_EQ(dash().params.depth_x, 99);

    // Discard, Continue, the file: the pedal is backed up, then restored.
    dialogs_.choice_answers = {1, 1};
    dialogs_.file_answers = {{file}};
    window_->restore_presets();
    EXPECT_EQ(title_text(pedal_.memory().slots[4].title), "Other 5");
    auto backups = ops::list_auto_backups(folder);
    ASSERT_EQ(backups.size(), 1u);
    FileRead bkp = read_file_limited(backups[0], kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_EQ(bkp.bytes, before);
    EXPECT_NE(ui(*window_).text_board->contents().find("  Safety backup of the presets saved."), std::string::npos);
    EXPECT_FALSE(window_->unsaved_changes());

    // A safety backup that cannot be written is asked about: Cancel sends no store.
    for (const std::string& b : ops::list_auto_backups(folder)) {
        std::remove(b.c_str());
        std::remove((b.substr(0, b.size() - 4) + ".globals").c_str());
    }
    ASSERT_EQ(::rmdir(folder.c_str()), 0);
    f = std::fopen(folder.substr(0, folder.size() - 1).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const std::string first = home_ + "/first.bkp";
    f = std::fopen(first.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(before.data(), 1, before.size(), f), before.size());
    std::fclose(f);
    requests_.clear();
    dialogs_.choice_answers = {1, 0};
    dialogs_.file_answers = {{first}};
    window_->restore_presets();
    EXPECT_EQ(last_question().rfind("The presets in your pedal could not be backed up before restoring", 0), 0u);
    for (const auto& r : requests_) EXPECT_EQ(r.rfind("Store preset", 0), std::string::npos) << r;
    EXPECT_EQ(title_text(pedal_.memory().slots[4].title), "Other 5");
    // Continue goes on without one.
    dialogs_.choice_answers = {1, 1};
    dialogs_.file_answers = {{first}};
    window_->restore_presets();
    EXPECT_EQ(title_text(pedal_.memory().slots[4].title), "Sound 5");
}

TEST_F(EditSafetyTest, RestoringTheOldestSafetyBackupFromTheWindowKeepsIt)
{
    // Ten safety backups, as ten operations that overwrote the pedal left them.
    const std::string folder = ops::auto_backup_folder(window_->presets_folder_path());
    std::vector<uint8_t> image(kPresetImageSize);
    for (int s = 0; s < kSlotCount; ++s) {
        set_image_parameters(image.data(), s, pedal_.memory().slots[s].parameters);
        set_image_title(image.data(), s, make_title("Kept " + std::to_string(s + 1)));
    }
    // The presets folder is made with its first file.
    ASSERT_TRUE(make_folder_for_writing(folder));
    for (int n = 1; n <= 10; ++n) {
        const std::string base = folder + ops::auto_backup_name(uint64_t(n), LocalTime{2026, 12, 7, 10, n, 0});
        ASSERT_TRUE(write_file_atomically(base + ".bkp", image).ok());
        ASSERT_TRUE(write_file_atomically(base + ".globals", std::vector<uint8_t>(34, 0)).ok());
    }
    const std::string oldest = ops::list_auto_backups(folder).front();

    // Menu > Restore, Continue, the oldest: a safety backup first (the
    // eleventh), which prunes the next older one, never the file picked.
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{oldest}};
    window_->restore_presets();
    EXPECT_EQ(title_text(pedal_.memory().slots[4].title), "Kept 5");
    const std::vector<std::string> after = ops::list_auto_backups(folder);
    ASSERT_EQ(after.size(), 10u);
    EXPECT_EQ(after.front(), oldest);
    EXPECT_NE(after.back().find("Tessivar_AutoBackup_000011_"), std::string::npos) << after.back();
    EXPECT_TRUE(file_exists(oldest));
}

TEST_F(EditSafetyTest, ABackupOfRandomBytesIsNotRestoredFromTheWindow)
{
    std::vector<uint8_t> noise(kPresetImageSize);
    uint32_t seed = 777;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    const std::string file = home_ + "/noise.bkp";
    ASSERT_TRUE(write_file_atomically(file, noise).ok());
    const PedalMemory before = pedal_.memory();
    requests_.clear();
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{file}};
    window_->restore_presets();
    for (const auto& r : requests_) EXPECT_EQ(r.rfind("Store preset", 0), std::string::npos) << r;
    EXPECT_TRUE(pedal_.memory() == before);
    const std::string board = ui(*window_).text_board->contents();
    EXPECT_NE(board.find("noise.bkp: preset 1: "), std::string::npos) << board;
}

} // namespace
} // namespace kv
