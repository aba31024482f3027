#pragma once
// One engine's arp sequence panel on the Arp Editor page: the four sequence
// buttons of the engine's arp algorithm, up to eight step sliders, the number
// of steps, a reverse button and a snap grid. It keeps the 32-byte record of
// the sequence on screen in step with its sliders.
//
// The panel talks only to its page: every edit ends in on_change telling
// what happened (another sequence chosen, or the data changed); the page and
// the main window decide what is sent. While the
// panel is loaded by the program its notify switch is off, so loading never
// reports anything.

#include "arp/ArpSequence.h"
#include "preset/PresetRecord.h"

#include <FL/Fl_Group.H>

#include <array>
#include <functional>

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Widget;

namespace kv {

class ValueSlider;

class KV_ArpCore : public Fl_Group {
public:
    // What a report is about.
    enum class Change { sequence_chosen, data_changed };
    static constexpr int kNoSequence = -1;     // after the slot choice's first entry
    static constexpr int kRandomSequence = 4;  // the fixed random sequence: nothing to edit

    // The panel covers the page's 700 x 590 area; coordinates below are relative to it.
    KV_ArpCore(int x, int y, int w, int h);
    ~KV_ArpCore() override;
    void draw() override;

    // Shows a record as the pedal keeps it: levels, step count (kept when
    // byte 31 names none) and the snap grid (on when a level lies off the
    // whole numbers). No report.
    void load(const ArpSequence& record);
    // Sets the algorithm and the sequence index (0..3, 4 = random), lights the
    // sequence's button (none for random) and, below 4, loads the record. No report.
    void show_sequence(AlgorithmId algorithm, int index, const ArpSequence* record);
    // The slot choice's entry s: 0 leaves no sequence chosen, 1..4 light that
    // sequence's button. No report.
    void select(int s);
    // Captions drawn and controls active (editing only while a sequence other
    // than the random one is chosen), or neither.
    void enable();
    void disable();
    void set_editing_active(bool active);
    bool editing_active() const;

    // The engine's algorithm (31..37); other ids are ignored.
    void set_algorithm(AlgorithmId algorithm);
    // The Arpeggiator's scale (its secondary parameter 2): the grid's labels
    // follow it. Nothing is reported.
    void set_scale(int scale);

    const ArpSequence& record() const { return record_; }
    AlgorithmId algorithm() const { return algorithm_; }
    int sequence_index() const { return index_; }
    // The sequence shown before the last sequence button was clicked.
    int previous_sequence_index() const { return previous_index_; }
    int scale() const { return scale_; }
    int step_count() const { return steps_; }
    bool snap_grid() const;
    bool labels_shown() const { return labels_; }
    bool tremolo() const { return algorithm_ == kFirstArpAlgorithm; }

    // The user chose another sequence or changed the shown one.
    std::function<void(Change)> on_change;

    // The controls, for the page's tests and the window's key handling.
    std::array<Fl_Button*, kArpUserSequences> sequence_buttons{};
    Fl_Button* reverse_button = nullptr;
    Fl_Check_Button* snap_button = nullptr;
    Fl_Choice* steps_choice = nullptr;
    std::array<ValueSlider*, kArpSteps> sliders{};
    std::array<Fl_Box*, kArpGridLines> grid_lines{};
    // One label left of each grid line, then the one above the top line and
    // the one below the bottom line.
    std::array<Fl_Box*, kArpGridLines + 2> grid_labels{};

private:
    static void sequence_cb(Fl_Widget*, void*);
    static void slider_cb(Fl_Widget*, void*);
    static void steps_cb(Fl_Widget*, void*);
    static void snap_cb(Fl_Widget*, void*);
    static void reverse_cb(Fl_Widget*, void*);

    void sequence_clicked(int k);
    void slider_moved(int k);
    void steps_changed();
    void reverse();
    // Applies the snap grid's state: lines, labels, slider step; when
    // notifying and switched on, rounds every level to the grid and reports.
    void grid_changed();
    void light(int index);
    void lay_out_sliders();
    void set_steps_shown(int n);
    void store_level(int k);
    void report(Change change);
    // The panel's captions change with it; the page under it repaints.
    void redraw_page();

    ArpSequence record_;
    int index_ = 0;
    int previous_index_ = 0;
    AlgorithmId algorithm_ = kFirstArpAlgorithm;
    int scale_ = 0;
    int steps_ = kArpSteps;
    bool labels_ = false;
    bool notify_ = true;
};

} // namespace kv
