#include "config/KV_GloConfPanel.h"
#include "widgets/Zoom.h"

#include "widgets/SafeChoice.h"

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/fl_draw.H>

#include <string>

namespace kv {

namespace {

constexpr Fl_Color kHelpColor = 0x9a9a9a00;
constexpr Fl_Color kListColor = 0x3a3a3a00;

Fl_Choice* make_list(int x, int y, int w)
{
    auto* c = new SafeChoice(x, y, w, 25);
    c->textsize(13);
    c->textcolor(FL_WHITE);
    c->color(kListColor);
    c->down_box(FL_BORDER_BOX);
    return c;
}

// Items are added whole: none of our texts is a menu path or has a shortcut.
void add_item(Fl_Choice* c, const std::string& text) { c->add(text.c_str(), 0, nullptr, nullptr, 0); }

Fl_Check_Button* make_check(int x, int y, const char* label, const char* tip)
{
    auto* b = new Fl_Check_Button(x, y, 20, 25, label);
    b->align(FL_ALIGN_RIGHT);
    b->labelcolor(FL_WHITE);
    b->labelsize(14);
    b->selection_color(FL_RED);
    if (tip) b->tooltip(tip);
    return b;
}

// Selects `index` when the list has it, else leaves it without selection.
void select(Fl_Choice* c, int index)
{
    if (index >= 0 && index < c->size() - 1) c->value(index);
    else c->value(-1);
}

} // namespace

KV_GloConfPanel::KV_GloConfPanel(int x, int y, int w, int h, const char* label) : KV_ConfPanel(x, y, w, h, label)
{
    box(FL_EMBOSSED_BOX);
    static const uint8_t defaults[kAuxContacts] = {3, 10, 2};   // Bank Down, Tap Tempo, Bank Up
    for (size_t c = 0; c < kAuxContacts; ++c) {
        Fl_Choice* list = make_list(x + 30 + int(c) * 175, y + 108, 150);
        for (int code = 0; code < kAuxActionCount; ++code) add_item(list, "  " + std::string(aux_action_name(code)));
        list->value(defaults[c]);
        list->callback(aux_cb, this);
        aux_lists[c] = list;
    }

    fave_list = make_list(x + 140, y + 212, 55);
    for (int i = 0; i < kFavouriteCount; ++i) add_item(fave_list, favourite_name(i));
    fave_list->value(0);
    fave_list->tooltip("Select 'Favorite' to activate this list.");

    pages_list = make_list(x + 140, y + 284, 55);
    for (int i = 1; i <= kPageChoices; ++i) add_item(pages_list, " " + std::to_string(i));
    pages_list->value(kPageChoices - 1);

    pad_0db_button = make_check(x + 175, y + 336, " 0 dB (no pad)", "Use for instrument level signal.");
    pad_6db_button = make_check(x + 330, y + 336, " -6 dB pad",
                                "For use with hot input signal level to avoid signal clipping.");
    preset_button = make_check(x + 175, y + 382, " Preset", "Use Footswitch B/X to call preset B");
    tap_tempo_button = make_check(x + 330, y + 382, " Tap-Tempo", "Use Footswitch B/X  for Tap-Tempo");
    blinking_off_button = make_check(x + 175, y + 427, " Blinking Off", nullptr);
    pad_0db_button->value(1);
    preset_button->value(1);
    pad_0db_button->callback(pair_cb, pad_6db_button);
    pad_6db_button->callback(pair_cb, pad_0db_button);
    preset_button->callback(pair_cb, tap_tempo_button);
    tap_tempo_button->callback(pair_cb, preset_button);

    add_answer_buttons(x + 145, x + 300, y + 480);
    end();

    apply_favourite_rule();
}

KV_GloConfPanel::~KV_GloConfPanel() = default;

void KV_GloConfPanel::load(const GlobalSettings& s)
{
    blinking_off_button->value(s.blinking_off ? 1 : 0);
    tap_tempo_button->value(s.tap_tempo ? 1 : 0);
    preset_button->value(s.tap_tempo ? 0 : 1);
    for (size_t c = 0; c < kAuxContacts; ++c) select(aux_lists[c], s.aux[c]);
    select(pages_list, s.pages_index);
    select(fave_list, s.favourite);
    apply_favourite_rule();
    pad_6db_button->value(s.pad_6db ? 1 : 0);
    pad_0db_button->value(s.pad_6db ? 0 : 1);
    redraw();
}

GlobalSettings KV_GloConfPanel::settings() const
{
    GlobalSettings s;
    for (size_t c = 0; c < kAuxContacts; ++c) {
        const int v = aux_lists[c]->value();
        s.aux[c] = v < 0 ? kAuxNoSelection : uint8_t(v);
    }
    s.favourite = fave_list->value() < 0 ? 0 : fave_list->value();
    s.pages_index = pages_list->value() < 0 ? 0 : pages_list->value();
    s.pad_6db = pad_6db_button->value() != 0;
    s.tap_tempo = tap_tempo_button->value() != 0;
    s.blinking_off = blinking_off_button->value() != 0;
    return s;
}

void KV_GloConfPanel::apply_favourite_rule()
{
    std::array<uint8_t, kAuxContacts> aux{};
    for (size_t c = 0; c < kAuxContacts; ++c) {
        const int v = aux_lists[c]->value();
        aux[c] = v < 0 ? kAuxNoSelection : uint8_t(v);
    }
    if (favourite_list_enabled(aux)) fave_list->activate();
    else fave_list->deactivate();
}

void KV_GloConfPanel::aux_cb(Fl_Widget*, void* data)
{
    auto* p = static_cast<KV_GloConfPanel*>(data);
    p->apply_favourite_rule();
    p->redraw();   // the hints under the lists
}

void KV_GloConfPanel::pair_cb(Fl_Widget* w, void* partner)
{
    auto* b = static_cast<Fl_Check_Button*>(w);
    // A click on the checked one of the pair changes nothing.
    if (!b->value()) {
        b->value(1);
        return;
    }
    static_cast<Fl_Check_Button*>(partner)->value(0);
}

void KV_GloConfPanel::draw()
{
    Fl_Group::draw();
    const int X = x();
    const int Y = y();

    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, zoomed_font(17));
    draw_spaced("G L O B A L   S E T T I N G", X + zoomed(178), Y + zoomed(35), 17);

    fl_font(FL_HELVETICA_BOLD, zoomed_font(14));
    fl_draw("AUX Switches Configuration", X + zoomed(40), Y + zoomed(74));
    fl_draw("Fave Preset", X + zoomed(40), Y + zoomed(228));
    fl_draw("Preset Pages", X + zoomed(40), Y + zoomed(300));
    fl_draw("Input Pad", X + zoomed(40), Y + zoomed(355));
    fl_draw("Footswitch B/X", X + zoomed(40), Y + zoomed(401));
    fl_draw("Tempo LED", X + zoomed(40), Y + zoomed(445));

    fl_font(FL_HELVETICA, zoomed_font(13));
    static const char* const titles[kAuxContacts] = {"T I P", "TIP + RING", "R I N G"};
    for (size_t c = 0; c < kAuxContacts; ++c) {
        const Fl_Choice* list = aux_lists[c];
        fl_color(FL_WHITE);
        fl_draw(titles[c], list->x(), Y + zoomed(87), list->w(), zoomed(16), FL_ALIGN_CENTER);
        const std::string_view hint = aux_hint(AuxContact(c), list->value());
        if (!hint.empty()) {
            const std::string text(hint);
            fl_color(kHelpColor);
            fl_draw(text.c_str(), list->x(), Y + zoomed(144), list->w(), zoomed(16), FL_ALIGN_CENTER);
        }
    }

    fl_color(kHelpColor);
    fl_font(FL_HELVETICA, zoomed_font(12));
    fl_draw("- instantly call your most often-used preset with a", X + zoomed(208), Y + zoomed(220));
    fl_draw("  single tap.", X + zoomed(208), Y + zoomed(237));
    fl_draw("- how many preset pages you want to access and use?", X + zoomed(203), Y + zoomed(303));

    fl_color(FL_WHITE);
    fl_rectf(X + zoomed(15), Y + zoomed(262), zoomed(530), zoomed(2));

    draw_refusal(X + zoomed(15), Y + zoomed(512), w() - zoomed(30), zoomed(16), FL_ALIGN_CENTER);
}

} // namespace kv
