#include "arp/ui/KV_ArpCore.h"
#include "widgets/Zoom.h"

#include "preset/Catalogue.h"
#include "widgets/Palette.h"
#include "widgets/SafeChoice.h"
#include "widgets/ValueSlider.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>

namespace kv {

namespace {

// Slider layout by step count (index n - 4): width, spacing from x + 90, and
// where the row of step numbers under them starts.
struct StepLayout {
    int width;
    int spacing;
    int numbers_x;
};
constexpr StepLayout kLayouts[] = {
    {76, 148, 125}, {56, 116, 113}, {45, 95, 108}, {40, 80, 107}, {32, 69, 103},
};
constexpr int kSliderLeft = 90;
constexpr int kSliderTop = 117;
constexpr int kSliderHeight = 190;
constexpr int kGridLineY[kArpGridLines] = {163, 183, 203, 223, 244, 264, 285};
constexpr int kGridLineX = 75;

constexpr Fl_Color kGridColor = 0x80808000;
constexpr Fl_Color kGridLabelColor = 0xa0a0a000;   // RGB 160, 160, 160
constexpr Fl_Color kSlotTextColor = 0xcccccc00;

struct Title {
    const char* text;
    int x;
};
constexpr Title kTitles[kArpAlgorithmCount] = {
    {"Arp Tremolo sequences", 80}, {"Arp Filter sequences", 89},  {"Arp Formant sequences", 79},
    {"Arp Flanger sequences", 82}, {"Arp Phaser sequences", 82},  {"Arp RingMod sequences", 78},
    {"Arpeggiator sequences", 82},
};

const char* const kSequenceLabels[kArpUserSequences] = {" Sequence I", " Sequence II", " Sequence III", " Sequence IV"};

} // namespace

KV_ArpCore::KV_ArpCore(int x, int y, int w, int h) : Fl_Group(x, y, w, h)
{
    box(FL_NO_BOX);

    for (int k = 0; k < kArpUserSequences; ++k) {
        auto* b = new Fl_Button(x + 97, y + 380 + 30 * k, 120, 25, kSequenceLabels[k]);
        b->labelsize(13);
        b->selection_color(FL_YELLOW);
        b->callback(sequence_cb, this);
        sequence_buttons[size_t(k)] = b;
    }

    reverse_button = new Fl_Button(x + 35, y + 10, 130, 25, "REVERSE SEQUENCE");
    reverse_button->labelsize(11);
    reverse_button->callback(reverse_cb, this);

    snap_button = new Fl_Check_Button(x + 35, y + 280, 20, 25);
    snap_button->selection_color(FL_RED);
    snap_button->value(0);
    snap_button->callback(snap_cb, this);

    steps_choice = new SafeChoice(x + 629, y + 275, 52, 26);
    steps_choice->textsize(14);
    for (const char* n : {"  4", "  5", "  6", "  7", "  8"}) steps_choice->add(n);
    steps_choice->value(kArpSteps - kArpMinSteps);
    steps_choice->callback(steps_cb, this);

    for (int k = 0; k < kArpSteps; ++k) {
        auto* s = new ValueSlider(x + kSliderLeft, y + kSliderTop, 32, kSliderHeight);
        s->type(FL_VERT_FILL_SLIDER);
        s->bounds(100, 0);
        s->step(1);
        s->value(50);
        s->textsize(13);
        s->selection_color(kLevelColor);
        s->callback(slider_cb, this);
        sliders[size_t(k)] = s;
    }

    for (int i = 0; i < kArpGridLines; ++i) {
        auto* line = new Fl_Box(x + kGridLineX, y + kGridLineY[i], 500, 1);
        line->box(FL_FLAT_BOX);
        line->color(kGridColor);
        line->hide();
        grid_lines[size_t(i)] = line;
    }
    for (int i = 0; i < kArpGridLines + 2; ++i) {
        // Left of each line, then one above the top line and one below the bottom line.
        int ly = i < kArpGridLines ? kGridLineY[i] - 10 : (i == kArpGridLines ? kGridLineY[0] - 30 : kGridLineY[6] + 10);
        auto* label = new Fl_Box(x + kGridLineX - 30, y + ly, 40, 20);
        label->box(FL_NO_BOX);
        label->labelsize(12);
        label->labelcolor(kGridLabelColor);
        grid_labels[size_t(i)] = label;
    }
    end();

    // Record and sliders agree from the start: 50 on every step, 8 steps.
    for (int k = 0; k < kArpSteps; ++k) store_level(k);
    lay_out_sliders();
    light(index_);
}

KV_ArpCore::~KV_ArpCore() = default;

// ---------------------------------------------------------------------------
// What the page asks for

void KV_ArpCore::load(const ArpSequence& record)
{
    const bool was = notify_;
    notify_ = false;
    record_ = record;
    const ArpReading r = read_arp_sequence(record, steps_);
    for (int k = 0; k < kArpSteps; ++k) sliders[size_t(k)]->value(r.shown[size_t(k)]);
    set_steps_shown(r.step_count);
    snap_button->value(r.snap_grid ? 1 : 0);
    grid_changed();
    notify_ = was;
    redraw_page();
}

void KV_ArpCore::show_sequence(AlgorithmId algorithm, int index, const ArpSequence* record)
{
    const bool was = notify_;
    notify_ = false;
    set_algorithm(algorithm);
    index_ = std::clamp(index, kNoSequence, kRandomSequence);
    light(index_);
    if (index_ >= 0 && index_ < kRandomSequence && record) load(*record);
    notify_ = was;
    redraw_page();
}

void KV_ArpCore::select(int s)
{
    index_ = std::clamp(s, 0, kArpUserSequences) - 1;
    light(index_);
}

void KV_ArpCore::enable()
{
    labels_ = true;
    for (Fl_Button* b : sequence_buttons) b->activate();
    set_editing_active(index_ < kRandomSequence);
    redraw_page();
}

void KV_ArpCore::disable()
{
    labels_ = false;
    for (Fl_Button* b : sequence_buttons) b->deactivate();
    set_editing_active(false);
    redraw_page();
}

void KV_ArpCore::set_editing_active(bool active)
{
    Fl_Widget* const controls[] = {steps_choice, snap_button, reverse_button};
    for (Fl_Widget* w : controls) active ? w->activate() : w->deactivate();
    for (ValueSlider* s : sliders) active ? s->activate() : s->deactivate();
}

bool KV_ArpCore::editing_active() const { return steps_choice->active() != 0; }

void KV_ArpCore::set_algorithm(AlgorithmId algorithm)
{
    if (!is_arp_algorithm(algorithm)) return;
    algorithm_ = algorithm;
    // Only the Arpeggiator labels its grid.
    const bool was = notify_;
    notify_ = false;
    grid_changed();
    notify_ = was;
    redraw_page();
}

void KV_ArpCore::set_scale(int scale)
{
    scale_ = std::clamp(scale, 0, kArpScaleCount - 1);
    const bool was = notify_;
    notify_ = false;
    grid_changed();
    notify_ = was;
}

bool KV_ArpCore::snap_grid() const { return snap_button->value() != 0; }

// ---------------------------------------------------------------------------
// The user's edits

void KV_ArpCore::sequence_cb(Fl_Widget* w, void* data)
{
    auto* self = static_cast<KV_ArpCore*>(data);
    for (int k = 0; k < kArpUserSequences; ++k)
        if (w == self->sequence_buttons[size_t(k)]) self->sequence_clicked(k);
}

void KV_ArpCore::slider_cb(Fl_Widget* w, void* data)
{
    auto* self = static_cast<KV_ArpCore*>(data);
    for (int k = 0; k < kArpSteps; ++k)
        if (w == self->sliders[size_t(k)]) self->slider_moved(k);
}

void KV_ArpCore::steps_cb(Fl_Widget*, void* data) { static_cast<KV_ArpCore*>(data)->steps_changed(); }

void KV_ArpCore::snap_cb(Fl_Widget*, void* data) { static_cast<KV_ArpCore*>(data)->grid_changed(); }

void KV_ArpCore::reverse_cb(Fl_Widget*, void* data) { static_cast<KV_ArpCore*>(data)->reverse(); }

void KV_ArpCore::sequence_clicked(int k)
{
    // The buttons act like radio buttons: the lit one stays lit, and choosing
    // it again changes nothing.
    if (k == index_) {
        light(index_);
        return;
    }
    previous_index_ = index_;
    index_ = k;
    light(index_);
    report(Change::sequence_chosen);
}

void KV_ArpCore::slider_moved(int k)
{
    ValueSlider* s = sliders[size_t(k)];
    store_level(k);
    if (s->released) {
        s->released = false;
        report(Change::data_changed);
    }
}

void KV_ArpCore::steps_changed()
{
    steps_ = std::clamp(steps_choice->value() + kArpMinSteps, kArpMinSteps, kArpSteps);
    lay_out_sliders();
    if (notify_) {
        record_.set_step_count(steps_, tremolo());
        report(Change::data_changed);
    }
    redraw_page();
}

void KV_ArpCore::reverse()
{
    const int n = steps_;
    for (int i = 0; i < n / 2; ++i) {
        ValueSlider* a = sliders[size_t(i)];
        ValueSlider* b = sliders[size_t(n - 1 - i)];
        const double v = a->value();
        a->value(b->value());
        b->value(v);
    }
    record_.reverse(n, tremolo());
    report(Change::data_changed);
    redraw_page();
}

void KV_ArpCore::grid_changed()
{
    const bool on = snap_grid();
    for (Fl_Box* line : grid_lines) on ? line->show() : line->hide();
    for (Fl_Box* label : grid_labels) label->copy_label("");
    if (on && algorithm_ == kAlgorithmArpeggiator) {
        const auto semitones = arpeggiator_grid_semitones(scale_);
        for (int i = 0; i < kArpGridLines; ++i)
            grid_labels[size_t(i)]->copy_label(std::to_string(semitones[size_t(i)]).c_str());
        grid_labels[kArpGridLines]->copy_label("+12");
        grid_labels[kArpGridLines + 1]->copy_label("-12");
    }
    for (ValueSlider* s : sliders) {
        s->step(on ? kArpGridStep : 1.0);
        set_textsize(*s, on ? 12 : 13);
    }
    if (on && notify_) {
        // Drawn by hand, now on the grid: every level to its nearest line,
        // the record following each slider, and one report for them all.
        notify_ = false;
        for (int k = 0; k < kArpSteps; ++k) {
            sliders[size_t(k)]->value(arp_snap_shown(sliders[size_t(k)]->value()));
            store_level(k);
        }
        notify_ = true;
        if (steps_ < kArpSteps) record_.set_step_count(steps_, tremolo());
        report(Change::data_changed);
    }
    redraw_page();
}

// ---------------------------------------------------------------------------
// Helpers

void KV_ArpCore::store_level(int k)
{
    record_.set_level(k, arp_level_from_shown(sliders[size_t(k)]->value()), tremolo());
    // Step 8's second field carries the step-count marker while it does not play.
    if (k == kArpSteps - 1 && steps_ < kArpSteps) record_.set_step_count(steps_, tremolo());
}

void KV_ArpCore::light(int index)
{
    for (int k = 0; k < kArpUserSequences; ++k) sequence_buttons[size_t(k)]->value(k == index ? 1 : 0);
}

void KV_ArpCore::set_steps_shown(int n)
{
    steps_ = std::clamp(n, kArpMinSteps, kArpSteps);
    steps_choice->value(steps_ - kArpMinSteps);
    lay_out_sliders();
}

void KV_ArpCore::lay_out_sliders()
{
    const StepLayout& l = kLayouts[steps_ - kArpMinSteps];
    for (int k = 0; k < kArpSteps; ++k) {
        ValueSlider* s = sliders[size_t(k)];
        if (k < steps_) {
            place_within(*this, *s, kSliderLeft + k * l.spacing, kSliderTop, l.width, kSliderHeight);
            s->show();
        } else {
            s->hide();
        }
    }
}

void KV_ArpCore::report(Change change)
{
    if (!notify_) return;
    if (on_change) on_change(change);
}

void KV_ArpCore::redraw_page()
{
    if (parent()) parent()->redraw();
    else redraw();
}

void KV_ArpCore::draw()
{
    Fl_Group::draw();

    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_color(kSlotTextColor);
    for (int k = 0; k < kArpUserSequences; ++k) {
        const Fl_Button* b = sequence_buttons[size_t(k)];
        fl_draw(("Slot " + std::to_string(k + 1)).c_str(), b->x() - zoomed(43), b->y() + zoomed(17));
    }
    if (!labels_) return;

    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_color(FL_YELLOW);
    const char* snap[] = {"S", "N", "A", "P"};
    for (int i = 0; i < 4; ++i) fl_draw(snap[i], x() + zoomed(39), y() + zoomed(134 + 18 * i));
    const char* grid[] = {"G", "R", "I", "D"};
    for (int i = 0; i < 4; ++i) fl_draw(grid[i], x() + zoomed(39), y() + zoomed(215 + 18 * i));

    fl_font(FL_HELVETICA, zoomed_font(14));
    const char* steps[] = {"S", "T", "E", "P", "S"};
    for (int i = 0; i < 5; ++i) fl_draw(steps[i], x() + zoomed(648), y() + zoomed(157 + 25 * i));

    const StepLayout& l = kLayouts[steps_ - kArpMinSteps];
    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_color(FL_WHITE);
    for (int k = 0; k < steps_; ++k) fl_draw(std::to_string(k + 1).c_str(), x() + zoomed(l.numbers_x + k * l.spacing), y() + zoomed(328));

    const int a = arp_index(algorithm_);
    if (a >= 0 && a < kArpAlgorithmCount) {
        fl_font(FL_HELVETICA, zoomed_font(14));
        fl_color(FL_YELLOW);
        fl_draw(kTitles[a].text, x() + zoomed(kTitles[a].x), y() + zoomed(363));
    }
}

} // namespace kv
