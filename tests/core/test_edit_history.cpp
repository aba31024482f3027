// The edit history without the toolkit: unsaved changes against what the
// slot holds, undo and redo of whole edits, and the previews that play each
// step on the pedal, for knob, algorithm, option, routing and engine-swap
// edits built as the editor builds them (programs from the library).

#include "ops/Backup.h"
#include "ops/Slots.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/EditHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kv {
namespace {

// The requests by their names, as the Dashboard reports them.
using enum PreviewRequest;

class EditHistoryTest : public ::testing::Test {
protected:
    EditState state_of(const PresetParameters& p, const std::string& title = "Edited")
    {
        EditState s;
        s.parameters = p;
        s.title = make_title(title);
        build(p, s.program_x, s.program_y);
        return s;
    }
    AlgorithmLibrary library{std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc"};
    ops::ProgramBuilder build = ops::library_program_builder(library);
};

TEST_F(EditHistoryTest, UnsavedFollowsEditsUndoAndStores)
{
    const EditState stored = state_of(default_parameters());
    EditHistory h;
    h.start(stored, stored);
    EXPECT_FALSE(h.unsaved(stored));
    EXPECT_FALSE(h.can_undo());

    PresetParameters p = stored.parameters;
    p.depth_x = 40;
    p.set_focus_y(false);
    const EditState knob = state_of(p);
    EXPECT_TRUE(h.record(knob));
    EXPECT_TRUE(h.unsaved(knob));

    // Undoing back to the loaded state: nothing unsaved.
    const auto back = h.undo();
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == stored);
    EXPECT_FALSE(h.unsaved(*back));

    // A knob moved there and back by hand leaves only the focus bit behind.
    PresetParameters again = stored.parameters;
    again.set_focus_y(true);
    again.clear_focus_bit1();
    EXPECT_FALSE(h.unsaved(state_of(again)));

    // A new title or a switch is a change; a store makes it the slot's.
    EXPECT_TRUE(h.unsaved(state_of(stored.parameters, "Other")));
    PresetParameters switched = stored.parameters;
    switched.set_auto_stomp(true);
    EXPECT_TRUE(h.unsaved(state_of(switched)));
    ASSERT_TRUE(h.redo());
    h.mark_stored(knob);
    EXPECT_FALSE(h.unsaved(knob));
    EXPECT_TRUE(h.unsaved(stored));

    // Unknown slot content (offline): never unsaved.
    h.start(knob, std::nullopt);
    EXPECT_FALSE(h.unsaved(stored));
}

TEST_F(EditHistoryTest, UndoAndRedoStepThroughWholeEditsWithTheirPreviews)
{
    const EditState loaded = state_of(default_parameters());
    EditHistory h;
    h.start(loaded, loaded);

    // A knob: only the block.
    PresetParameters p = loaded.parameters;
    p.tweak_y = 200;
    const EditState knob = state_of(p);
    // An algorithm pick on DSP-X to a tempo algorithm (ARP.FI): block, program, sequence.
    p.algorithm_x = 32;
    p.sp1_x = 0;
    p.sp2_x = 0;
    p.sp3_x = 0;
    const EditState algorithm = state_of(p);
    // Routing: the block only.
    p.set_routing(Routing::LrSplit);
    const EditState routing = state_of(p);
    // Swapping the engines: block, both programs, DSP-Y's sequence.
    std::swap(p.algorithm_x, p.algorithm_y);
    for (int sp = 0; sp < 3; ++sp) {
        const uint8_t t = p.sp(Engine::X, sp);
        p.set_sp(Engine::X, sp, p.sp(Engine::Y, sp));
        p.set_sp(Engine::Y, sp, t);
    }
    const EditState swapped = state_of(p);

    for (const EditState* s : {&knob, &algorithm, &routing, &swapped}) EXPECT_TRUE(h.record(*s));
    // The second and third preview of one edit see the same state, or one
    // that names the other engine as the last touched: no new step.
    EXPECT_FALSE(h.record(swapped));
    EditState focus_moved = swapped;
    focus_moved.parameters.set_focus_y(!swapped.parameters.focus_y());
    EXPECT_FALSE(h.record(focus_moved));
    EXPECT_TRUE(h.current() == focus_moved);
    EXPECT_EQ(h.steps(), 5u);
    EXPECT_FALSE(h.record(swapped));
    EXPECT_TRUE(h.current() == swapped);

    using R = std::vector<PreviewRequest>;
    // Each undo step and the previews that play it.
    const std::vector<std::pair<const EditState*, R>> undo_steps = {
        {&routing, R{parameters, program_x, sequence_x, program_y}},
        {&algorithm, R{parameters}},
        {&knob, R{parameters, program_x}},
        {&loaded, R{parameters}},
    };
    for (const auto& [want, previews] : undo_steps) {
        const EditState before = h.current();
        const auto got = h.undo();
        ASSERT_TRUE(got);
        EXPECT_TRUE(*got == *want);
        EXPECT_EQ(previews_between(before, *got), previews);
    }
    EXPECT_FALSE(h.undo());

    // The previews each way, by the editor's rules.
    EXPECT_EQ(previews_between(loaded, knob), (R{parameters}));
    EXPECT_EQ(previews_between(knob, algorithm), (R{parameters, program_x, sequence_x}));
    EXPECT_EQ(previews_between(algorithm, knob), (R{parameters, program_x}));   // back to a rate algorithm
    EXPECT_EQ(previews_between(algorithm, routing), (R{parameters}));
    EXPECT_EQ(previews_between(routing, swapped), (R{parameters, program_x, program_y, sequence_y}));
    EXPECT_EQ(previews_between(swapped, routing), (R{parameters, program_x, sequence_x, program_y}));
    EXPECT_TRUE(previews_between(knob, knob).empty());

    // Redo walks forward again; a new edit in the middle drops the rest.
    ASSERT_TRUE(h.redo());
    EXPECT_TRUE(h.current() == knob);
    ASSERT_TRUE(h.redo());
    EXPECT_TRUE(h.current() == algorithm);
    PresetParameters other = algorithm.parameters;
    other.volume = 9;
    EXPECT_TRUE(h.record(state_of(other)));
    EXPECT_FALSE(h.can_redo());
    EXPECT_EQ(h.steps(), 4u);

    // Loading a preset starts again.
    h.start(routing, routing);
    EXPECT_FALSE(h.can_undo());
    EXPECT_FALSE(h.can_redo());
}

TEST_F(EditHistoryTest, TheOldestStepsGoWhenTheHistoryIsFull)
{
    EditHistory h;
    PresetParameters p = default_parameters();
    h.start(state_of(p), std::nullopt);
    for (size_t i = 0; i < EditHistory::kMaxSteps + 20; ++i) {
        p.depth_x = uint8_t(i % 250 + 1);
        p.tweak_x = uint8_t(i / 250);
        ASSERT_TRUE(h.record(state_of(p)));
    }
    EXPECT_EQ(h.steps(), EditHistory::kMaxSteps);
    size_t undone = 0;
    while (h.undo()) ++undone;
    EXPECT_EQ(undone, EditHistory::kMaxSteps - 1);
    EXPECT_EQ(h.current().parameters.depth_x, 21);   // the 21st edit is now the oldest step
}

} // namespace
} // namespace kv
