// The Arp Editor page: the sequence panel's edge cases (step counts, the
// step-count marker, reverse, the snap grid and the Arpeggiator's labels, as
// the toolkit is given them), then the page in the main window against the
// simulated pedal through the in-process driver with a manual clock:
// choosing, previewing, saving, factory sequences, the random sequence and
// a pedal that stops answering.

// GoogleTest and the pedal model before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "arp/FactoryArpTable.h"
#include "arp/ui/KV_ArpCore.h"
#include "widgets/Zoom.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "platform/Clock.h"
#include "preset/Catalogue.h"
#include "widgets/ValueSlider.h"
#include "tests/support/BoardLines.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tabs.H>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

// --- the sequence panel on its own ---------------------------------------------

class ArpCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<Fl_Double_Window>(720, 600);
        core_ = new KV_ArpCore(0, 0, 700, 590);
        window_->end();
        core_->on_change = [this](KV_ArpCore::Change change) { reports_.push_back(change); };
        core_->enable();
    }
    KV_ArpCore& core() { return *core_; }

    void choose_steps(int n)
    {
        core().steps_choice->value(n - 4);
        core().steps_choice->do_callback();
    }
    // A drag to `shown` and the release of the left button.
    void drag(int step, double shown)
    {
        ValueSlider* s = core().sliders[size_t(step)];
        s->value(shown);
        s->do_callback();
        s->released = true;
        s->do_callback();
    }
    void snap(bool on)
    {
        core().snap_button->value(on ? 1 : 0);
        core().snap_button->do_callback();
    }
    std::vector<std::string> labels()
    {
        std::vector<std::string> out;
        for (Fl_Box* b : core().grid_labels) out.push_back(b->label() ? b->label() : "");
        return out;
    }

    std::unique_ptr<Fl_Double_Window> window_;
    KV_ArpCore* core_ = nullptr;
    std::vector<KV_ArpCore::Change> reports_;
};

ArpSequence levels(std::initializer_list<int> ls, bool tremolo)
{
    ArpSequence s;
    int k = 0;
    for (int l : ls) s.set_level(k++, l, tremolo);
    return s;
}

TEST_F(ArpCoreTest, LoadingReadsTheStepCountMarkerAndNeverReports)
{
    ArpSequence s = levels({0, 500, 1000, 1500, 2000, 2500, 3000, 3500}, false);
    s.bytes[31] = 0x30;
    core().load(s);
    EXPECT_EQ(core().step_count(), 5);
    EXPECT_EQ(core().steps_choice->value(), 1);
    EXPECT_TRUE(core().sliders[4]->visible());
    EXPECT_FALSE(core().sliders[5]->visible());
    EXPECT_EQ(core().sliders[4]->w(), 56);
    EXPECT_EQ(core().record(), s);   // loaded byte for byte

    s.bytes[31] = 0x55;   // names no count: the panel keeps 5
    core().load(s);
    EXPECT_EQ(core().step_count(), 5);
    s.bytes[31] = 0x0F;
    core().load(s);
    EXPECT_EQ(core().step_count(), 8);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(ArpCoreTest, EditsKeepTheRecordAsThePedalReadsIt)
{
    // Arp Tremolo keeps no second copy; Arp Filter carries each level twice.
    core().show_sequence(31, 0, nullptr);
    drag(2, 50);
    EXPECT_EQ(core().record().level(2), 2048);
    EXPECT_EQ(core().record().second(2), 0);
    core().show_sequence(32, 0, nullptr);
    drag(2, 100);
    EXPECT_EQ(core().record().level(2), 4095);
    EXPECT_EQ(core().record().second(2), 4095);
    EXPECT_EQ(reports_, (std::vector<KV_ArpCore::Change>{KV_ArpCore::Change::data_changed, KV_ArpCore::Change::data_changed}));

    // 5 steps writes the marker; 8 again restores bytes 30-31 from 28-29.
    reports_.clear();
    ArpSequence s = levels({10, 20, 30, 40, 50, 60, 70, 3000}, false);
    core().load(s);
    choose_steps(5);
    EXPECT_EQ(core().record().bytes[31], 0x30);
    choose_steps(8);
    EXPECT_EQ(core().record().bytes[30], core().record().bytes[28]);
    EXPECT_EQ(core().record().bytes[31], core().record().bytes[29]);
    EXPECT_EQ(core().record(), s);
    EXPECT_EQ(reports_.size(), 2u);   // one preview per choice

    // The same for Arp Tremolo: zeros.
    core().show_sequence(31, 0, nullptr);
    core().load(levels({10, 20, 30, 40, 50, 60, 70, 3000}, true));
    choose_steps(5);
    choose_steps(8);
    EXPECT_EQ(core().record().bytes[30], 0);
    EXPECT_EQ(core().record().bytes[31], 0);

    // With 5 steps an edit of any step leaves the marker alone.
    choose_steps(5);
    drag(4, 80);
    EXPECT_EQ(core().record().bytes[31], 0x30);
}

TEST_F(ArpCoreTest, ReverseSwapsThePlayedStepsOnly)
{
    core().show_sequence(33, 0, nullptr);
    ArpSequence s = levels({100, 200, 300, 400, 500, 600, 700, 800}, false);
    s.bytes[31] = 0x20;   // 6 steps
    core().load(s);
    ASSERT_EQ(core().step_count(), 6);
    core().reverse_button->do_callback();
    const ArpSequence& r = core().record();
    const int expect[8] = {600, 500, 400, 300, 200, 100, 700, 800 & 0xFF};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(r.level(k), expect[k]) << k;
    EXPECT_EQ(r.level(6), 700);
    EXPECT_EQ(r.bytes[31], 0x20);   // the marker stays
    EXPECT_NEAR(core().sliders[0]->value(), 600 / 40.95, 1e-9);
    EXPECT_EQ(reports_, std::vector<KV_ArpCore::Change>{KV_ArpCore::Change::data_changed});

    // 8 steps: step 1 gets a clean pair from the old step 8's level.
    ArpSequence eight = levels({100, 200, 300, 400, 500, 600, 700, 800}, false);
    eight.bytes[30] = 0x99;   // a second copy that disagrees with its level
    core().load(eight);
    ASSERT_EQ(core().step_count(), 8);
    core().reverse_button->do_callback();
    EXPECT_EQ(core().record().level(0), 800);
    EXPECT_EQ(core().record().second(0), 800);
    EXPECT_EQ(core().record().level(7), 100);
    EXPECT_EQ(core().record().second(7), 100);
    EXPECT_EQ(core().record().level(3), 500);
}

TEST_F(ArpCoreTest, SnapGridRoundsOnceAndALoadedGridLevelSwitchesItOnSilently)
{
    core().load(levels({0, 0, 0, 0, 0, 0, 0, 0}, false));
    for (int k = 0; k < 8; ++k) core().sliders[size_t(k)]->value(50);
    core().sliders[0]->value(30);
    core().sliders[1]->value(44);
    core().sliders[2]->value(56);
    snap(true);
    EXPECT_EQ(core().sliders[0]->value(), 25);
    EXPECT_EQ(core().sliders[1]->value(), 50);
    EXPECT_EQ(core().sliders[2]->value(), 50);
    EXPECT_EQ(core().record().level(0), 1024);
    EXPECT_EQ(core().record().level(1), 2048);
    EXPECT_EQ(reports_.size(), 1u);
    EXPECT_TRUE(core().grid_lines[0]->visible());
    EXPECT_EQ(core().sliders[0]->step(), 12.5);
    snap(false);
    EXPECT_EQ(reports_.size(), 1u);
    EXPECT_FALSE(core().grid_lines[0]->visible());
    EXPECT_EQ(core().sliders[0]->step(), 1.0);

    // 512 is 12.5 on the shown scale: drawn on the grid.
    core().load(levels({512, 0, 0, 0, 0, 0, 0, 0}, false));
    EXPECT_TRUE(core().snap_grid());
    EXPECT_TRUE(core().grid_lines[3]->visible());
    core().load(levels({0, 1024, 2048, 3071, 4095, 0, 0, 0}, false));
    EXPECT_FALSE(core().snap_grid());
    EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(ArpCoreTest, TheSnapGridShowsAllItsLinesAtEveryZoom)
{
    snap(true);
    for (double zoom : {0.75, 0.5, 1.25, 2.0, 1.0}) {
        apply_zoom(*window_, zoom);
        int drawn = 0;
        int last_y = -1;
        for (Fl_Box* line : core().grid_lines) {
            // A line of no height draws nothing; two on one row look like one.
            if (line->visible() && line->h() >= 1 && line->y() > last_y) ++drawn;
            last_y = line->y();
        }
        EXPECT_EQ(drawn, kArpGridLines) << "at " << zoom;
    }
    reset_zoom();
}

TEST_F(ArpCoreTest, TheArpeggiatorLabelsItsGridWithTheScale)
{
    core().show_sequence(kAlgorithmArpeggiator, 0, nullptr);
    core().set_scale(4);   // Major
    snap(true);
    EXPECT_EQ(labels(), (std::vector<std::string>{"11", "9", "7", "5", "4", "2", "0", "+12", "-12"}));
    const int before = int(reports_.size());
    core().set_scale(1);   // Pentatonic, from the Dashboard
    EXPECT_EQ(labels(), (std::vector<std::string>{"10", "7", "5", "5", "3", "3", "0", "+12", "-12"}));
    EXPECT_EQ(int(reports_.size()), before);
    // Other algorithms leave the grid unlabelled; switched off, nothing is left.
    core().show_sequence(35, 0, nullptr);
    EXPECT_EQ(labels(), std::vector<std::string>(9, ""));
    core().show_sequence(kAlgorithmArpeggiator, 0, nullptr);
    snap(false);
    EXPECT_EQ(labels(), std::vector<std::string>(9, ""));
}

// --- the page in the main window against the simulated pedal ----------------------

using test::board_lines;

class ArpEditorTest : public test::WindowTest {
protected:
    ArpEditorTest() : WindowTest("korvane_arp_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        pedal_.set_request_observer([this](const PedalRequest& r) { requests_.push_back(r); });
        // Slot 0 plays Arp Filter Sequence II on DSP-X and the Arpeggiator
        // (Major) Sequence I on DSP-Y; DSP-Y has the focus.
        auto& p = pedal_.memory().slots[0].parameters;
        p.algorithm_x = 32;
        p.sp1_x = 2;
        p.algorithm_y = kAlgorithmArpeggiator;
        p.sp1_y = 0;
        p.sp2_y = 4;
        p.set_focus(Engine::Y);
    }

    // The pedal goes on the driver as the window is built.
    Korvane& start()
    {
        attach_pedal();
        return WindowTest::start();
    }
    void after_start() override
    {
        // The Dashboard clears focus_y when it loads a block: the last edit,
        // made on DSP-Y as the slot's block says, puts it back.
        ui(*window_).dashboard->params.set_focus(Engine::Y);
        requests_.clear();
    }
    void open_page() { pick_tab(ui(*window_).arp_editor); }
    KV_ArpEditor& page() { return *ui(*window_).arp_editor; }
    ArpSequence library(int arp, int seq) const
    {
        return ArpSequence::from_bytes(pedal_.memory().arp(int(arp), int(seq)).data(), kArpSequenceSize);
    }
    std::string last_line() const
    {
        auto l = board_lines(*window_);
        while (!l.empty() && l.back().empty()) l.pop_back();
        return l.empty() ? "" : l.back();
    }
    // The page's buttons are clicked by running their callbacks.
    static void click(Fl_Widget* w) { w->do_callback(); }

    std::vector<PedalRequest> requests_;
};

TEST_F(ArpEditorTest, ThePreparedPageShowsBothEnginesWithTheFocusedOneInFront)
{
    pedal_.memory().set_arp(1, 1, levels({100, 200, 300, 400, 500, 600, 700, 800}, false).bytes);
    start();
    open_page();
    EXPECT_TRUE(page().arp_available());
    EXPECT_EQ(page().shown_engine(), Engine::Y);
    EXPECT_TRUE(page().core(Engine::Y).visible());
    EXPECT_FALSE(page().core(Engine::X).visible());
    EXPECT_TRUE(page().edit_x_button->active());
    EXPECT_EQ(page().edit_y_button->value(), 1);
    EXPECT_EQ(page().caption(Engine::X), "A R P  F I L T E R");
    EXPECT_EQ(page().caption(Engine::Y), "A R P E G G I A T O R");
    // What the pedal sent at start-up is on the panels.
    EXPECT_EQ(page().core(Engine::X).record(), library(1, 1));
    EXPECT_EQ(page().core(Engine::X).sequence_index(), 1);
    EXPECT_EQ(page().slot_choice->value(), 1);   // DSP-Y plays Sequence I
    EXPECT_TRUE(page().save_button->active());
    EXPECT_EQ(page().core(Engine::Y).scale(), 4);

    click(page().edit_x_button);
    EXPECT_EQ(page().shown_engine(), Engine::X);
    EXPECT_EQ(page().slot_choice->value(), 2);
    EXPECT_TRUE(requests_.empty());   // switching engines sends nothing

    // The help texts go through the window's dialogs.
    click(page().help_button);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text.rfind("Arp Sequence Editing\n", 0), 0u);
}

TEST_F(ArpEditorTest, AnEngineWithoutArpAlgorithmCannotBeEdited)
{
    auto& p = pedal_.memory().slots[0].parameters;
    p.algorithm_x = 0;   // TRMOLO
    p.algorithm_y = 32;
    start();
    open_page();
    EXPECT_EQ(page().shown_engine(), Engine::Y);
    EXPECT_FALSE(page().edit_x_button->active());
    EXPECT_TRUE(page().edit_y_button->active());
    EXPECT_TRUE(page().caption(Engine::X).empty());

    // Neither engine: the page is inert.
    ui(*window_).dashboard->params.algorithm_y = 5;
    open_page();
    EXPECT_FALSE(page().arp_available());
    EXPECT_FALSE(page().factory_choice->active());
    EXPECT_FALSE(page().core(Engine::Y).sequence_buttons[0]->active());
    EXPECT_FALSE(page().core(Engine::Y).labels_shown());
}

TEST_F(ArpEditorTest, ChooseEditPreviewSaveAndReadBack)
{
    const ArpSequence third = levels({4095, 0, 4095, 0, 4095, 0, 4095, 0}, false);
    pedal_.memory().set_arp(1, 2, third.bytes);
    Korvane& w = start();
    open_page();
    click(page().edit_x_button);

    // Choosing Sequence III: the preset follows, the pedal is told, the sequence comes back.
    click(page().core(Engine::X).sequence_buttons[2]);
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_EQ(requests_[0].command, 0xC3);
    EXPECT_EQ(std::vector<uint8_t>(requests_[1].head.begin(), requests_[1].head.begin() + 4),
              (std::vector<uint8_t>{0xC7, 1, 0, 4}));
    EXPECT_EQ(ui(w).dashboard->params.sp1_x, 4);
    EXPECT_FALSE(ui(w).dashboard->params.focus_y());
    EXPECT_EQ(page().core(Engine::X).record(), third);
    EXPECT_EQ(page().slot_choice->value(), 3);
    EXPECT_EQ(last_line(), "  Arp sequence read/write ok.");

    // An edit is heard, not kept.
    requests_.clear();
    KV_ArpCore& x = page().core(Engine::X);
    x.sliders[1]->value(75);
    x.sliders[1]->released = true;
    x.sliders[1]->do_callback();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(requests_[0].head.begin(), requests_[0].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 0, 0, 1, 4}));
    EXPECT_EQ(pedal_.playing().arp_x, x.record().bytes);
    EXPECT_EQ(library(1, 2), third);

    // S A V E stores it where the slot choice says, then the page tidies up.
    requests_.clear();
    pick(page().factory_choice, 0);
    const double t0 = clock_.now();
    click(page().save_button);
    ASSERT_EQ(requests_.size(), 2u);   // the store, then the library's copy read back to verify it
    EXPECT_EQ(std::vector<uint8_t>(requests_[0].head.begin(), requests_[0].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 0, 1, 1, 4}));
    EXPECT_EQ(requests_[1].head[0], 0xC7);
    EXPECT_EQ(library(1, 2), x.record());
    EXPECT_EQ(library(1, 2).level(1), 3071);
    EXPECT_EQ(last_line(), "  Arp sequence saved to pedal.");
    EXPECT_GT(clock_.now() - t0, 1.0);   // the confirmation was shown for a second
    EXPECT_FALSE(page().save_box->visible());

    // "save to slot 4" stores Sequence IV; the preset keeps playing Sequence III.
    requests_.clear();
    pick(page().slot_choice, 4);
    EXPECT_EQ(x.sequence_index(), 3);
    click(page().save_button);
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_EQ(requests_[0].head[4], 6);
    EXPECT_EQ(library(1, 3), x.record());
    EXPECT_EQ(ui(w).dashboard->params.sp1_x, 4);

    // Reading the preset back shows the saved sequence.
    pedal_.memory().slots[0].parameters.sp1_x = 4;
    const ArpSequence saved = x.record();
    x.load(ArpSequence{});
    ASSERT_TRUE(w.read_everything());
    EXPECT_EQ(page().core(Engine::X).record(), saved);
    EXPECT_EQ(page().core(Engine::X).sequence_index(), 2);
}

TEST_F(ArpEditorTest, EveryArpAlgorithmOnEitherEngineIsDrawnHeardAndSaved)
{
    Korvane& w = start();
    for (int id = 31; id <= 37; ++id) {
        for (Engine e : {Engine::X, Engine::Y}) {
            SCOPED_TRACE("algorithm " + std::to_string(id) + (e == Engine::X ? " on DSP-X" : " on DSP-Y"));
            ui(w).dashboard->params.algorithm_x = e == Engine::X ? uint8_t(id) : 5;
            ui(w).dashboard->params.algorithm_y = e == Engine::Y ? uint8_t(id) : 5;
            open_page();
            ASSERT_EQ(page().shown_engine(), e);
            KV_ArpCore& c = page().core(e);
            requests_.clear();
            c.sliders[0]->value(25 + id);
            c.sliders[0]->released = true;
            c.sliders[0]->do_callback();
            pick(page().slot_choice, 3);
            click(page().save_button);
            ASSERT_EQ(requests_.size(), 3u);   // heard, kept, read back
            EXPECT_EQ(requests_[2].head[0], 0xC7);
            const uint8_t engine = uint8_t(index_of(e));
            EXPECT_EQ(requests_[0].head[2], 0);   // heard
            EXPECT_EQ(requests_[1].head[2], 1);   // kept
            EXPECT_EQ(requests_[1].head[1], engine);
            EXPECT_EQ(requests_[1].head[3], id - 31);
            EXPECT_EQ(requests_[1].head[4], 4);
            const ArpSequence kept = library(id - 31, 2);
            EXPECT_EQ(kept, c.record());
            EXPECT_EQ(kept.level(0), arp_level_from_shown(25 + id));
            EXPECT_EQ(kept.second(0), id == 31 ? 0 : kept.level(0));
        }
    }
}

TEST_F(ArpEditorTest, AFactorySequenceIsLoadedFromTheShippedFileAndHeard)
{
    Korvane& w = start();
    open_page();   // DSP-Y, the Arpeggiator, in front
    pick(page().factory_choice, 3);
    FactoryArpTable table;
    ASSERT_TRUE(table.load(std::string(KV_SOURCE_DIR) + "/bin"));
    EXPECT_EQ(page().core(Engine::Y).record(), table.sequence(6, 2));
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(requests_[0].head.begin(), requests_[0].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 1, 0, 6, 0}));
    // No slot is picked yet: nothing to save into until one is.
    EXPECT_EQ(page().slot_choice->value(), 0);
    EXPECT_TRUE(page().slot_choice->active());
    EXPECT_FALSE(page().save_button->active());
    for (Fl_Button* b : page().core(Engine::Y).sequence_buttons) EXPECT_EQ(b->value(), 0);
    pick(page().slot_choice, 2);
    EXPECT_TRUE(page().save_button->active());
    click(page().save_button);
    EXPECT_EQ(library(6, 1), table.sequence(6, 2));
    EXPECT_EQ(page().factory_choice->value(), 0);
    EXPECT_EQ(last_line(), "  Arp sequence saved to pedal.");
    EXPECT_TRUE(dialogs_.shown.empty());
    (void)w;
}

TEST_F(ArpEditorTest, SequenceRandomGreysOutEditing)
{
    pedal_.memory().slots[0].parameters.sp1_y = 7;
    start();
    open_page();
    KV_ArpCore& y = page().core(Engine::Y);
    EXPECT_EQ(y.sequence_index(), KV_ArpCore::kRandomSequence);
    EXPECT_TRUE(page().random_shown());
    EXPECT_FALSE(y.editing_active());
    EXPECT_FALSE(y.sliders[0]->active());
    EXPECT_FALSE(y.snap_button->active());
    EXPECT_FALSE(y.reverse_button->active());
    EXPECT_FALSE(page().slot_choice->active());
    EXPECT_FALSE(page().save_button->active());
    for (Fl_Button* b : y.sequence_buttons) EXPECT_EQ(b->value(), 0);
    // DSP-X is not random: its controls come back with it.
    click(page().edit_x_button);
    EXPECT_FALSE(page().random_shown());
    EXPECT_TRUE(page().save_button->active());
    // Choosing a sequence on DSP-Y ends the random state.
    click(page().edit_y_button);
    click(y.sequence_buttons[1]);
    EXPECT_TRUE(y.editing_active());
    EXPECT_TRUE(page().save_button->active());
    EXPECT_EQ(ui(*window_).dashboard->params.sp1_y, 2);

    // A preset on the random sequence greys it out even when nothing was read for it.
    ui(*window_).dashboard->params.sp1_y = 7;
    open_page();
    EXPECT_TRUE(page().random_shown());
    EXPECT_FALSE(y.editing_active());
    EXPECT_FALSE(page().save_button->active());
}

TEST_F(ArpEditorTest, APedalThatStopsAnsweringLeavesThePanelAsItWas)
{
    Korvane& w = start();
    open_page();
    KV_ArpCore& y = page().core(Engine::Y);
    const ArpSequence shown = y.record();
    pedal_.set_no_answer(true);
    click(y.sequence_buttons[3]);
    EXPECT_EQ(y.record(), shown);
    EXPECT_EQ(y.sequence_index(), 0);
    EXPECT_EQ(y.sequence_buttons[0]->value(), 1);
    EXPECT_EQ(y.sequence_buttons[3]->value(), 0);
    EXPECT_EQ(ui(w).dashboard->params.sp1_y, 0);
    EXPECT_EQ(page().slot_choice->value(), 1);
    EXPECT_EQ(last_line(), " Arp sequence read/write OFFLINE.");

    // A failed save says so and shows no confirmation; the factory choice keeps its entry.
    // (A deaf pedal cannot refuse a write that wants no answer: the pedal goes away.)
    pick(page().factory_choice, 1);
    driver_.detach_all();
    pick(page().slot_choice, 1);
    click(page().save_button);
    EXPECT_EQ(last_line(), " Arp sequence read/write OFFLINE.");
    EXPECT_FALSE(page().save_box->visible());
    EXPECT_EQ(page().factory_choice->value(), 1);
    EXPECT_TRUE(dialogs_.shown.empty());

    // Offline (the preset list inactive) an edit stays on screen, unsent and unreported.
    pedal_.set_no_answer(false);
    ui(w).transport_panel->deactivate();
    requests_.clear();
    const int lines = w.status_lines();
    y.sliders[0]->value(10);
    y.sliders[0]->released = true;
    y.sliders[0]->do_callback();
    EXPECT_TRUE(requests_.empty());
    EXPECT_EQ(w.status_lines(), lines);
    EXPECT_EQ(y.record().level(0), 410);
}

TEST_F(ArpEditorTest, ReadingASlotHandsItsSequencesToThePage)
{
    // Slot 6: Arp Tremolo Sequence IV on DSP-X only, with 5 steps.
    ArpSequence fourth = levels({4095, 2048, 1024, 512, 0, 0, 0, 0}, true);
    fourth.set_step_count(5, true);
    pedal_.memory().set_arp(0, 3, fourth.bytes);
    auto& p = pedal_.memory().slots[5].parameters;
    p.algorithm_x = 31;
    p.sp1_x = 6;
    p.algorithm_y = 11;
    Korvane& w = start();
    open_page();
    ui(w).transport_panel->select_slot(5);
    ui(w).transport_panel->on_request({KV_TransportPanel::SlotEvent::slot_selected, {}});

    EXPECT_EQ(page().shown_engine(), Engine::X);
    EXPECT_FALSE(page().edit_y_button->active());
    KV_ArpCore& x = page().core(Engine::X);
    EXPECT_EQ(x.record(), fourth);
    EXPECT_EQ(x.step_count(), 5);
    EXPECT_TRUE(x.snap_grid());   // 512 lies on the grid
    EXPECT_EQ(x.sequence_index(), 3);
    EXPECT_EQ(page().slot_choice->value(), 4);
    EXPECT_EQ(page().caption(Engine::X), "A R P  T R E M O L O");
    EXPECT_TRUE(page().caption(Engine::Y).empty());
    // Loading sent nothing back to the pedal.
    for (const PedalRequest& r : requests_) EXPECT_NE(r.command, 0xC8);
}

TEST_F(ArpEditorTest, TheDashboardsScaleRelabelsTheArpeggiatorGrid)
{
    Korvane& w = start();
    open_page();
    KV_ArpCore& y = page().core(Engine::Y);
    y.snap_button->value(1);
    y.snap_button->do_callback();
    EXPECT_STREQ(y.grid_labels[0]->label(), "11");   // Major, as the preset was read
    requests_.clear();
    // The Dashboard switches DSP-Y to Pentatonic, then to Phrygian.
    ui(w).dashboard->params.sp2_y = 1;
    ui(w).dashboard->on_preview(PreviewRequest::parameters);
    EXPECT_STREQ(y.grid_labels[0]->label(), "10");
    EXPECT_STREQ(y.grid_labels[2]->label(), "5");
    ui(w).dashboard->params.sp2_y = 2;
    ui(w).dashboard->on_preview(PreviewRequest::parameters);
    EXPECT_STREQ(y.grid_labels[1]->label(), "8");
    for (const PedalRequest& r : requests_) EXPECT_NE(r.command, 0xC8);   // relabelling sends no sequence
}

} // namespace
} // namespace kv
