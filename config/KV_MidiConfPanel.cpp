#include "config/KV_MidiConfPanel.h"
#include "widgets/Zoom.h"

#include "widgets/SafeChoice.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/fl_draw.H>

#include <string>

namespace kv {

namespace {

constexpr int kLeftRows = 16;
constexpr int kRowPitch = 26;
constexpr Fl_Color kDimColor = 0x8a8a8a00;
constexpr Fl_Color kListColor = 0x3a3a3a00;

const char* const kHelp =
    "MIDI CC NUmber Mapping\n~~~~~~~~~~~~~~~~~~~~\n\nIn most cases you can just use the default CC number mapping\n"
    "and program your midi controller accordingly. However, if any need\narises to use a custom CC number mapping "
    "you may assign a unique\nnumber to any midi functions listed here.\n\n Note :\n ------\n *  When sending CC "
    "commands for adjusting the secondary parameters\n    (SP1, SP2, and SP3), the range of CC values must adhere "
    "to the \n    value range applicable for the used algorithm.\n\n    For example, in the TREMOLO algorithm : SP1 "
    "(wave-shape)\n    has 4 possible values :\n            0 = Triangle\n            1 = Sine\n            2 = "
    "Sawtooth\n            3 = Square\n    Therefore the valid CC values are 0, 1, 2, and 3";

} // namespace

const char* KV_MidiConfPanel::help_text() { return kHelp; }

KV_MidiConfPanel::KV_MidiConfPanel(int x, int y, int w, int h, const char* label) : KV_ConfPanel(x, y, w, h, label)
{
    box(FL_EMBOSSED_BOX);
    map_ = GlobalsRecord::startup().cc_map();
    for (int k = 0; k < kCcFunctionCount; ++k) {
        const bool left = k < kLeftRows;
        const int fx = x + (left ? 126 : 480);
        const int fy = y + 97 + kRowPitch * (left ? k : k - kLeftRows);
        auto* f = new Fl_Int_Input(fx, fy, 30, 20);
        f->textsize(12);
        f->maximum_size(6);
        f->callback(field_cb, this);
        cc_fields[size_t(k)] = f;
        show_number(k);
    }

    const int last_left = y + 97 + kRowPitch * (kLeftRows - 1);
    channel_list = new SafeChoice(x + 180, last_left + 52, 115, 25);
    channel_list->textsize(13);
    channel_list->textcolor(FL_WHITE);
    channel_list->color(kListColor);
    channel_list->down_box(FL_BORDER_BOX);
    for (int c = 1; c <= kMidiChannels; ++c) {
        const std::string item = " Channel " + std::to_string(c);
        channel_list->add(item.c_str(), 0, nullptr, nullptr, 0);
    }
    channel_list->value(0);

    help_button = new Fl_Button(x + w - 40, y + 15, 20, 20, "?");
    help_button->callback(help_cb, this);
    add_answer_buttons(x + 395, x + 535, y + 538);
    end();
}

KV_MidiConfPanel::~KV_MidiConfPanel() = default;

void KV_MidiConfPanel::load(const MidiSettings& s)
{
    channel_list->value(s.channel_index >= 0 && s.channel_index < kMidiChannels ? s.channel_index : 0);
    load_cc_map(s.cc);
}

void KV_MidiConfPanel::load_cc_map(const CcMap& map)
{
    map_ = map;
    for (int k = 0; k < kCcFunctionCount; ++k) show_number(k);
    redraw();
}

MidiSettings KV_MidiConfPanel::settings() const
{
    MidiSettings s;
    s.channel_index = channel_list->value() < 0 ? 0 : channel_list->value();
    s.cc = map_;
    return s;
}

void KV_MidiConfPanel::show_number(int row)
{
    const std::string text = std::to_string(map_[size_t(row)]);
    cc_fields[size_t(row)]->value(text.c_str());
}

void KV_MidiConfPanel::commit_field(int row)
{
    if (row < 0 || row >= kCcFunctionCount) return;
    const char* text = cc_fields[size_t(row)]->value();
    const int value = parse_cc_text(text ? text : "");
    if (cc_in_use_elsewhere(map_, row, value)) {
        dialogs.show_alert("This CC number is already in use, please choose another one..");
    } else {
        map_[size_t(row)] = uint8_t(value);
    }
    show_number(row);
}

void KV_MidiConfPanel::field_cb(Fl_Widget* w, void* data)
{
    auto* p = static_cast<KV_MidiConfPanel*>(data);
    for (int k = 0; k < kCcFunctionCount; ++k)
        if (p->cc_fields[size_t(k)] == w) p->commit_field(k);
}

void KV_MidiConfPanel::help_cb(Fl_Widget*, void* data)
{
    static_cast<KV_MidiConfPanel*>(data)->dialogs.show_message(kHelp);
}

void KV_MidiConfPanel::draw()
{
    Fl_Group::draw();
    const int X = x();
    const int Y = y();

    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, zoomed_font(17));
    fl_draw("M I D I  C C #  M A P P I N G", X + zoomed(230), Y + zoomed(30));
    fl_font(FL_HELVETICA_BOLD, zoomed_font(14));
    fl_draw("Action", X + zoomed(20), Y + zoomed(65));
    fl_draw("Action", X + zoomed(390), Y + zoomed(65));
    // Each head over its column whatever the font's widths; the last one
    // smaller rather than past the panel's edge in a wider font.
    fl_draw("CC# (0-99)", X + zoomed(105), Y + zoomed(65));
    fl_draw("CC# (0-99)", X + zoomed(460), Y + zoomed(65));
    fl_draw("CC Value Range", X + zoomed(208), Y + zoomed(65));
    for (Fl_Fontsize size = zoomed_font(14); size > 6 && fl_width("CC Value Range") > zoomed(665 - 551); --size)
        fl_font(FL_HELVETICA_BOLD, size - 1);
    fl_draw("CC Value Range", X + zoomed(551), Y + zoomed(65));
    fl_draw("MIDI Channel", X + zoomed(70), Y + zoomed(557));

    fl_font(FL_HELVETICA, zoomed_font(12));
    for (int k = 0; k < kCcFunctionCount; ++k) {
        const Fl_Int_Input* f = cc_fields[size_t(k)];
        const bool left = k < kLeftRows;
        const int base = f->y() + zoomed(16);
        fl_color(FL_WHITE);
        fl_draw(std::string(cc_function_name(k)).c_str(), X + zoomed(left ? 20 : 390), base);
        const std::string range(cc_value_range(k));
        const int range_x = f->x() + f->w() + zoomed(12);
        fl_draw(range.c_str(), range_x, base);
        if (cc_range_ends_in_k(k)) {
            // Right after the range ("0 - K"), dimmer: the upper end depends on the algorithm.
            fl_color(kDimColor);
            fl_draw("K", range_x + int(fl_width((range + " ").c_str()) + 0.5), base);
        }
    }

    fl_color(FL_WHITE);
    fl_rectf(X + zoomed(15), Y + zoomed(80), zoomed(655), zoomed(1));
    fl_rectf(X + zoomed(15), Y + zoomed(520), zoomed(655), zoomed(1));
    fl_rectf(X + zoomed(370), Y + zoomed(45), zoomed(1), zoomed(535));

    // In the free space under the right column, wrapped inside the panel.
    draw_refusal(X + zoomed(390), Y + zoomed(450), w() - zoomed(405), zoomed(40),
                 FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
}

} // namespace kv
