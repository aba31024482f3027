#pragma once
// The edited preset's history: what the selected slot holds on the pedal (to
// tell whether the edit has unsaved changes), and the steps of the edit (to
// undo and redo them). Toolkit-free: the main window feeds it the editor's
// state after every edit and applies what undo and redo hand back.
//
// A step is a whole EditState (block, title and both programs: 1 KiB and a
// bit), recorded after an edit has run to its end. An edit that sends
// several previews (an algorithm pick sends the block, the program and a
// sequence) is recorded once: a state equal to the current one is no new
// step. A slider drag is committed once, on release, and so is one step.
// Loading a preset (reading a slot, picking an offline preset, a restore)
// starts a new history. At most kMaxSteps steps are kept; the oldest go.
//
// "Unsaved" compares the edit with what the slot holds, byte for byte, except
// bits 0 and 1 of the block's focus byte: they only say which engine the
// last edit touched, so moving a knob and back again is no change.

#include "preset/PresetRecord.h"
#include "preset/PreviewRequest.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kv {

// What the editor holds for the preset it edits.
struct EditState {
    static constexpr size_t kSequenceSize = 32;

    PresetParameters parameters{};
    PresetTitle title{};
    DspProgram program_x{};
    DspProgram program_y{};
    // The arp sequences the Arp Editor shows for DSP-X and DSP-Y: their edits
    // are undone too, but they are not part of what a slot holds (the pedal
    // keeps them in its sequence library), so "unsaved" leaves them out.
    std::array<std::array<uint8_t, kSequenceSize>, 2> sequences{};

    bool operator==(const EditState& other) const;
};

// Same sound, same switches, same title (focus bits 0 and 1 and the shown
// sequences aside).
bool same_preset(const EditState& a, const EditState& b);

class EditHistory {
public:
    static constexpr size_t kMaxSteps = 200;

    // A preset was loaded into the editor: the history is just this state.
    // `stored` is what the selected slot holds on the pedal, or nothing when
    // that is unknown (offline, nothing read yet): then nothing is "unsaved".
    void start(const EditState& loaded, std::optional<EditState> stored);
    // The same history, but the slot now holds `now` (after a store).
    void mark_stored(const EditState& now) { stored_ = now; }
    // The slot's content is no longer known (the pedal went away).
    void forget_stored() { stored_.reset(); }

    // After an edit: `now` becomes a new step unless it equals the current
    // state, or differs from it only in the focus bits (then it replaces the
    // current step). A new step drops what could have been redone. True when
    // added.
    bool record(const EditState& now);

    // What an edit brought back from the pedal after its step was recorded
    // (the sequence an algorithm pick fetches) belongs to that step: the
    // current step becomes `now`, nothing is added.
    void amend(const EditState& now) { steps_[position_] = now; }

    bool can_undo() const { return position_ > 0; }
    bool can_redo() const { return position_ + 1 < steps_.size(); }
    // One step back or forward: the state the editor is to show, or nothing
    // when there is no such step.
    std::optional<EditState> undo();
    std::optional<EditState> redo();

    // The state of the current step (the loaded one after start()).
    const EditState& current() const { return steps_[position_]; }
    const std::optional<EditState>& stored() const { return stored_; }
    // The editor's state differs from what the slot holds.
    bool unsaved(const EditState& now) const { return stored_ && !same_preset(now, *stored_); }
    size_t steps() const { return steps_.size(); }

private:
    std::deque<EditState> steps_{EditState{}};
    size_t position_ = 0;
    std::optional<EditState> stored_;
};

// The previews that make the pedal play `to` when it plays `from`, in the
// order and by the rules the editor uses for an edit: the block when it
// differs; then for DSP-X the program when it differs and the sequence when
// the engine changed to a tempo algorithm or SP1 changed where it picks a
// sequence (the arp algorithms and ids 0 and 1); then the same for DSP-Y.
std::vector<PreviewRequest> previews_between(const EditState& from, const EditState& to);

}  // namespace kv
