#include "arp/ui/KV_ArpEditor.h"
#include "widgets/Zoom.h"

#include "preset/Catalogue.h"

#include "platform/DataPaths.h"
#include "widgets/Artwork.h"
#include "widgets/Palette.h"
#include "widgets/SafeChoice.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <initializer_list>

namespace kv {

namespace {

// The engines' captions beside the EDIT buttons, by arp index (id - 31).
const char* const kCaptionsX[kArpAlgorithmCount] = {
    "A R P  T R E M O L O", "A R P  F I L T E R", "A R P  F O R M A N T", "A R P  F L A N G E R",
    "A R P  P H A S E R",   "A R P  R I N G M O D", "A R P E G G I A T O R",
};
const char* const kCaptionsY[kArpAlgorithmCount] = {
    " A R P  T R E M O L O", "   A R P  F I L T E R", " A R P  F O R M A N T", " A R P  F L A N G E R",
    "A R P  P H A S E R",    " A R P  R I N G M O D", "A R P E G G I A T O R",
};

constexpr Fl_Color kHeadingColor = 0x87878700;     // RGB 135, 135, 135
constexpr Fl_Color kQuietCaptionColor = 0xcccccc00; // RGB 204, 204, 204
constexpr Fl_Color kRuleGrey = 0x80808000;

bool usable(Fl_PNG_Image* img) { return img && img->w() > 0 && img->h() > 0 && !img->fail(); }

Fl_PNG_Image* load_image(const char* name) { return load_png_artwork(image_path(name)); }

void activate_if(Fl_Widget* w, bool on) { on ? w->activate() : w->deactivate(); }

} // namespace

const char* const KV_ArpEditor::kHelpText =
    "Arp Sequence Editing\n"
    "~~~~~~~~~~~~~~~~~\n"
    "\n"
    "Use this Arp editor to :\n"
    "\n"
    ">  Create your own custom sequences from scratch.\n"
    "\n"
    ">  Start with the factory-supplied sequences, modify them,\n"
    "    and save them to the pedal.\n"
    "\n"
    ">  Load sequences stored in the pedal, modify them,\n"
    "    and save changes back to the pedal.\n"
    "\n"
    " Note :\n"
    " ------\n"
    " *  Each Arp algorithms has its own set of 4 user-editable sequences,\n"
    "    plus a (fixed) random sequence.\n"
    "\n"
    " *  Sequence editing can't be done on the pedal itself.\n"
    "\n"
    " *  Sequences are NOT edited and saved on per-preset basis!\n"
    "    Sequences that you create and save it into the pedal become\n"
    "    part of a global sequence library. Then, from this library\n"
    "    you may pull sequences that you wish to use in a preset.";

const char* const KV_ArpEditor::kTipsText =
    "    Some tips for fun and effective sequence editing : \n"
    "    --------------------------------------------------------------\n"
    "\n"
    "1.  The DEPTH knob makes a lot of difference. \n"
    "     Be sure to try a few different settings as you edit the sequences.\n"
    "\n"
    "2.  The Snap Grid function is particularly useful for the Arp Tremolo\n"
    "     , Arp Formant, and Arpeggiator algorithms. The fewer possible values lend\n"
    "     itself to simpler sequence design without sacrificing flexibility.\n"
    "\n"
    "3.  With footswitch B/X reconfigured as a tap tempo button, or using an\n"
    "     external tap tempo pedal, you can instantly reset the rhythm to the\n"
    "     beginning of the sequence by tapping once on the tap tempo button.\n"
    "     This is a very useful feature that allows you to sync the sequence\n"
    "     to any cues during a performance.";

KV_ArpEditor::KV_ArpEditor(int x, int y, int w, int h, const char* label) : TabPage(x, y, w, h, label)
{
    arrow_image_ = load_image("arrow_[50x51].png");
    alert_image_ = load_image("arp_alert_[670x467].png");
    save_image_ = load_image("arp_save_[282x74].png");
    random_image_ = load_image("arp_random_[350x91].png");
    tips_image_ = load_image("tips_Button_[38x38].png");

    for (Engine e : {Engine::X, Engine::Y}) {
        auto* c = new KV_ArpCore(x, y, 700, 590);
        c->on_change = [this, e](KV_ArpCore::Change change) { core_reported(e, change); };
        cores_[size_t(index_of(e))] = c;
    }
    core(Engine::Y).hide();

    save_box = new Fl_Box(x + 205, y + 182, 282, 74);
    save_box->box(FL_NO_BOX);
    if (usable(save_image_)) save_box->image(save_image_);
    save_box->hide();

    edit_y_button = new Fl_Button(x + 258, y + 57, 90, 25, " EDIT Y");
    edit_x_button = new Fl_Button(x + 348, y + 57, 90, 25, " EDIT X");
    for (Fl_Button* b : {edit_y_button, edit_x_button}) {
        b->labelsize(13);
        b->selection_color(FL_YELLOW);
        b->callback(edit_cb, this);
    }
    edit_x_button->value(1);

    save_button = new Fl_Button(x + 330, y + 470, 112, 25, "S A V E");
    save_button->callback(save_cb, this);

    help_button = new Fl_Button(x + w - 60, y + 15, 20, 20, "?");
    help_button->callback(help_cb, this);

    tips_button = new Fl_Button(x + 564, y + 450, 38, 38);
    tips_button->box(FL_NO_BOX);
    if (usable(tips_image_)) tips_button->image(tips_image_);
    tips_button->callback(tips_cb, this);

    factory_choice = new SafeChoice(x + 505, y + 380, 160, 28);
    factory_choice->textsize(13);
    factory_choice->add("   -  select to load  -", 0, nullptr, nullptr, FL_MENU_INACTIVE);
    for (const char* s : {" Factory sequence I", " Factory sequence II", " Factory sequence III", " Factory sequence IV"})
        factory_choice->add(s);
    factory_choice->value(0);
    factory_choice->callback(factory_cb, this);

    slot_choice = new SafeChoice(x + 330, y + 423, 112, 26);
    // At the toolkit's default size the slot's number is cut off by the arrow.
    slot_choice->textsize(13);
    for (const char* s : {" - pick a slot -", " save to slot 1", " save to slot 2", " save to slot 3", " save to slot 4"})
        slot_choice->add(s);
    slot_choice->value(0);
    slot_choice->callback(slot_cb, this);
    end();

    make_inert();
}

KV_ArpEditor::~KV_ArpEditor()
{
    // The images are not widgets: detach them before they go.
    if (save_box) save_box->image(nullptr);
    if (tips_button) tips_button->image(nullptr);
    delete arrow_image_;
    delete alert_image_;
    delete save_image_;
    delete random_image_;
    delete tips_image_;
}

// ---------------------------------------------------------------------------
// What the owner hands over

void KV_ArpEditor::set_engine_algorithm(AlgorithmId id, Engine e)
{
    const size_t i = size_t(index_of(e));
    algorithms_[i] = id;
    if (is_arp_algorithm(id)) {
        core(e).set_algorithm(id);
        captions_[i] = (e == Engine::X ? kCaptionsX : kCaptionsY)[arp_index(id)];
    } else {
        captions_[i].clear();
        (e == Engine::X ? edit_x_button : edit_y_button)->deactivate();
    }
    redraw();
}

void KV_ArpEditor::show_sequence(AlgorithmId id, int sequence_index, Engine e, const ArpSequence& seq)
{
    if (!is_arp_algorithm(id)) return;
    const size_t i = size_t(index_of(e));
    algorithms_[i] = id;
    captions_[i] = (e == Engine::X ? kCaptionsX : kCaptionsY)[arp_index(id)];
    KV_ArpCore& c = core(e);
    if (sequence_index >= KV_ArpCore::kRandomSequence) {
        // The fixed random sequence: nothing to show or edit.
        c.show_sequence(id, KV_ArpCore::kRandomSequence, nullptr);
        c.set_editing_active(false);
        random_[i] = true;
    } else {
        random_[i] = false;
        unread_[i] = false;
        c.show_sequence(id, std::max(sequence_index, 0), &seq);
        c.set_editing_active(arp_available_);
        show_engine(e);
    }
    factory_choice->value(0);
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::prepare(const PresetParameters& params)
{
    const bool x_arp = is_arp_algorithm(params.algorithm_x);
    const bool y_arp = is_arp_algorithm(params.algorithm_y);
    if (!x_arp && !y_arp) {
        algorithms_ = {params.algorithm_x, params.algorithm_y};
        captions_ = {};
        make_inert();
        return;
    }
    set_engine_algorithm(params.algorithm_x, Engine::X);
    set_engine_algorithm(params.algorithm_y, Engine::Y);
    if (params.algorithm_x == kAlgorithmArpeggiator) core(Engine::X).set_scale(params.sp2_x);
    if (params.algorithm_y == kAlgorithmArpeggiator) core(Engine::Y).set_scale(params.sp2_y);
    // An engine on the random sequence has nothing to edit, whether or not
    // the pedal sent anything for it.
    for (Engine e : {Engine::X, Engine::Y}) {
        const AlgorithmId id = params.algorithm(e);
        const uint8_t selector = e == Engine::X ? params.sp1_x : params.sp1_y;
        if (!is_arp_algorithm(id) || code_to_position(id, 0, selector) < KV_ArpCore::kRandomSequence) continue;
        core(e).show_sequence(id, KV_ArpCore::kRandomSequence, nullptr);
        random_[size_t(index_of(e))] = true;
    }

    arp_available_ = true;
    activate_if(edit_x_button, x_arp);
    activate_if(edit_y_button, y_arp);
    if (x_arp && y_arp) show_engine(params.focus_y() ? Engine::Y : Engine::X);
    else show_engine(x_arp ? Engine::X : Engine::Y);
    for (KV_ArpCore* c : cores_) {
        c->enable();
        const size_t i = size_t(c == cores_[1]);
        if (random_[i] || unread_[i]) c->set_editing_active(false);
    }
    factory_choice->activate();
    tips_button->activate();
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::set_scale(Engine e, int scale)
{
    core(e).set_scale(scale);
    redraw();
}

void KV_ArpEditor::make_inert()
{
    arp_available_ = false;
    for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{edit_y_button, edit_x_button, save_button, slot_choice,
                                                          factory_choice, tips_button})
        w->deactivate();
    for (KV_ArpCore* c : cores_) c->disable();
    redraw();
}

// ---------------------------------------------------------------------------
// Answers to the page's own actions

void KV_ArpEditor::sequence_unknown(AlgorithmId id, Engine e)
{
    if (!is_arp_algorithm(id)) return;
    const size_t i = size_t(index_of(e));
    algorithms_[i] = id;
    captions_[i] = (e == Engine::X ? kCaptionsX : kCaptionsY)[arp_index(id)];
    random_[i] = false;
    unread_[i] = true;
    core(e).set_algorithm(id);
    core(e).set_editing_active(false);
    // No button names a sequence the panel does not hold: any of them reads.
    core(e).select(0);
    factory_choice->value(0);
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::sequence_read(Engine e, const ArpSequence& seq)
{
    KV_ArpCore& c = core(e);
    unread_[size_t(index_of(e))] = false;
    c.load(seq);
    c.set_editing_active(arp_available_);
    random_[size_t(index_of(e))] = false;
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::sequence_not_read(Engine e)
{
    // The panel keeps the levels it shows; its buttons go back to name them.
    KV_ArpCore& c = core(e);
    const int previous = c.previous_sequence_index();
    if (previous >= KV_ArpCore::kRandomSequence) {
        c.show_sequence(c.algorithm(), KV_ArpCore::kRandomSequence, nullptr);
        c.set_editing_active(false);
    } else {
        c.select(previous + 1);
    }
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::load_factory(Engine e, const ArpSequence& seq)
{
    KV_ArpCore& c = core(e);
    c.select(0);
    c.load(seq);
    c.set_editing_active(arp_available_);
    random_[size_t(index_of(e))] = false;
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::factory_not_loaded() { reset_factory_choice(); }

void KV_ArpEditor::show_saved(bool shown)
{
    shown ? save_box->show() : save_box->hide();
    redraw();
}

void KV_ArpEditor::reset_factory_choice()
{
    factory_choice->value(0);
    factory_choice->redraw();
}

int KV_ArpEditor::picked_sequence(Engine e) const
{
    const int index = core(e).sequence_index();
    return index >= 0 && index < kArpUserSequences ? index : -1;
}

// ---------------------------------------------------------------------------
// The page's own controls

void KV_ArpEditor::core_reported(Engine e, KV_ArpCore::Change change)
{
    const bool x = e == Engine::X;
    if (change == KV_ArpCore::Change::data_changed) {
        report(x ? ArpAction::PreviewX : ArpAction::PreviewY);
        return;
    }
    factory_choice->value(0);
    sync_slot_controls();
    redraw();
    report(x ? ArpAction::SequenceX : ArpAction::SequenceY);
}

void KV_ArpEditor::edit_cb(Fl_Widget* w, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    self->show_engine(w == self->edit_y_button ? Engine::Y : Engine::X);
}

void KV_ArpEditor::factory_cb(Fl_Widget*, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    const int s = self->factory_choice->value();
    if (s < 1 || s > kArpUserSequences) return;
    self->factory_number_ = s;
    self->report(self->shown_ == Engine::X ? ArpAction::FactoryX : ArpAction::FactoryY);
}

void KV_ArpEditor::slot_cb(Fl_Widget*, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    self->core(self->shown_).select(self->slot_choice->value());
    self->sync_slot_controls();
    self->redraw();
}

void KV_ArpEditor::save_cb(Fl_Widget*, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    self->report(self->shown_ == Engine::X ? ArpAction::SaveX : ArpAction::SaveY);
}

void KV_ArpEditor::help_cb(Fl_Widget*, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    if (self->show_text) self->show_text(kHelpText);
    else fl_message("%s", kHelpText);
}

void KV_ArpEditor::tips_cb(Fl_Widget*, void* data)
{
    auto* self = static_cast<KV_ArpEditor*>(data);
    if (self->show_text) self->show_text(kTipsText);
    else fl_message("%s", kTipsText);
}

void KV_ArpEditor::show_engine(Engine e)
{
    shown_ = e;
    edit_x_button->value(e == Engine::X ? 1 : 0);
    edit_y_button->value(e == Engine::Y ? 1 : 0);
    KV_ArpCore& on = core(e);
    KV_ArpCore& off = core(other(e));
    off.hide();
    on.show();
    sync_slot_controls();
    redraw();
}

void KV_ArpEditor::sync_slot_controls()
{
    const int picked = picked_sequence(shown_);
    const bool usable_now = arp_available_ && !random_[size_t(index_of(shown_))] && !unread_[size_t(index_of(shown_))];
    slot_choice->value(usable_now ? picked + 1 : 0);
    activate_if(slot_choice, usable_now);
    activate_if(save_button, usable_now && picked >= 0);
}

void KV_ArpEditor::report(ArpAction a)
{
    if (on_action) on_action(a);
}

// ---------------------------------------------------------------------------
// Drawing

void KV_ArpEditor::draw()
{
    if (damage() & ~FL_DAMAGE_CHILD) fl_rectf(x(), y(), w(), h() - zoomed(kFooterHeight), color());
    Fl_Group::draw();

    const int X = x();
    const int Y = y();
    fl_color(kRuleGrey);
    fl_rectf(X + zoomed(20), Y + zoomed(42), zoomed(660), zoomed(2));
    fl_font(FL_HELVETICA, zoomed_font(17));
    fl_color(kHeadingColor);
    fl_draw("ARP SEQUENCE EDITOR", X + zoomed(255), Y + zoomed(30));

    if (!arp_available_) {
        // The card stands for the editor: nothing of the editor shows around it.
        if (usable(alert_image_)) zoomed_image(alert_image_)->draw(X + zoomed(15), Y + zoomed(45));
        return;
    }

    // The sequences' frame, open at the top for its caption.
    fl_color(kRuleGrey);
    fl_rectf(X + zoomed(41), Y + zoomed(358), zoomed(25), zoomed(2));
    fl_rectf(X + zoomed(242), Y + zoomed(358), zoomed(228), zoomed(2));
    fl_rectf(X + zoomed(40), Y + zoomed(358), zoomed(2), zoomed(155));
    fl_rectf(X + zoomed(470), Y + zoomed(358), zoomed(2), zoomed(155));
    fl_rectf(X + zoomed(40), Y + zoomed(513), zoomed(432), zoomed(2));
    fl_font(FL_HELVETICA, zoomed_font(14));
    fl_color(FL_YELLOW);
    fl_draw("Default factory sequences", X + zoomed(503), Y + zoomed(365));
    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_color(kQuietCaptionColor);
    draw_spaced("< click to load >                                  < click to write >", X + zoomed(109), Y + zoomed(510), 13);

    // Which sequence button the slot choice writes to.
    const int b = slot_choice->value();
    if (b >= 1 && b <= kArpUserSequences) {
        fl_color(FL_YELLOW);
        fl_line(X + zoomed(222), Y + zoomed(363 + 30 * b), slot_choice->x() - zoomed(7), slot_choice->y() + zoomed(13));
    }

    if (random_shown() && usable(random_image_)) zoomed_image(random_image_)->draw(X + zoomed(172), Y + zoomed(180));
    if (unread_[size_t(index_of(shown_))]) {
        // Over the greyed levels, which are not the pedal's.
        const int bx = X + zoomed(150), by = Y + zoomed(170), bw = zoomed(420), bh = zoomed(74);
        fl_draw_box(FL_BORDER_BOX, bx, by, bw, bh, fl_rgb_color(128, 0, 0));
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA_BOLD, zoomed_font(15));
        fl_draw("The sequence could not be read from the pedal.", bx, by + zoomed(6), bw, zoomed(30), FL_ALIGN_CENTER);
        fl_font(FL_HELVETICA, zoomed_font(13));
        fl_draw("Editing is off: click a sequence button to read it again.", bx, by + zoomed(38), bw, zoomed(26),
                FL_ALIGN_CENTER);
    }
    draw_captions();
    if (usable(arrow_image_)) zoomed_image(arrow_image_)->draw(slot_choice->x() + zoomed(32), slot_choice->y() - zoomed(75));
}

void KV_ArpEditor::draw_captions()
{
    const std::string& cx = captions_[0];
    const std::string& cy = captions_[1];
    const int line_x = edit_x_button->y() + zoomed(20);
    const int line_y = edit_y_button->y() + zoomed(20);
    if (shown_ == Engine::X) {
        fl_font(FL_HELVETICA, zoomed_font(17));
        fl_color(FL_YELLOW);
        fl_draw(cx.c_str(), edit_x_button->x() + zoomed(135), line_x);
        fl_font(FL_HELVETICA, zoomed_font(15));
        fl_color(kQuietCaptionColor);
        fl_draw(cy.c_str(), edit_y_button->x() - zoomed(195), line_y);
    } else {
        fl_font(FL_HELVETICA, zoomed_font(17));
        fl_color(FL_YELLOW);
        fl_draw(cy.c_str(), edit_y_button->x() - zoomed(210), line_y);
        fl_font(FL_HELVETICA, zoomed_font(15));
        fl_color(kQuietCaptionColor);
        fl_draw(cx.c_str(), edit_x_button->x() + zoomed(135), line_x);
    }
}

} // namespace kv
