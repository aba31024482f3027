// The preset pages panel: 32 slots on four pages, selection, names, the S and
// B switches and renaming, driven through the toolkit's event dispatch.

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/KV_TransportPanel.h"
#include "widgets/Input.h"

namespace {

using kv::KV_TransportPanel;

std::string name12(const kv::PresetTitle& t)
{
    return std::string(t.text, sizeof t.text);
}

std::string preset_name(int slot)
{
    std::string s = "Preset " + std::to_string(slot);
    s.resize(12, ' ');
    return s;
}

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<Fl_Double_Window>(0, 0, 1070, 650, "pages");
        panel = new KV_TransportPanel(5, 135, 360, 470);
        win->end();
        panel->on_request = [this](const KV_TransportPanel::SlotRequest& r) {
            reasons.push_back(int(r.event));
            slots_seen.push_back(panel->current_slot);
        };
        win->show();
        Fl::check();
    }
    void TearDown() override { win.reset(); }

    // What reading all presets does: every name and switch, then slot 0.
    void read_all(uint8_t flags_of_odd = 0x00)
    {
        for (int s = 31; s >= 0; --s) {
            panel->set_slot_name(s, preset_name(s));
            panel->set_switches_from_flags(s, s % 2 ? flags_of_odd : 0x00);
        }
        panel->select_slot(0);
    }
    // A left click in the middle of a widget, through the window.
    void click(Fl_Widget* w)
    {
        Fl::e_x = Fl::e_x_root = w->x() + w->w() / 2;
        Fl::e_y = Fl::e_y_root = w->y() + w->h() / 2;
        Fl::e_keysym = FL_Button + 1;
        Fl::e_clicks = 0;
        Fl::e_state = FL_BUTTON1;
        Fl::handle(FL_PUSH, win.get());
        Fl::e_state = 0;
        Fl::handle(FL_RELEASE, win.get());
    }
    void key(int keysym, const char* text)
    {
        static std::string buffer;
        buffer = text;
        Fl::e_keysym = keysym;
        Fl::e_text = buffer.data();
        Fl::e_length = int(buffer.size());
        Fl::e_state = 0;
        Fl::handle(FL_KEYBOARD, win.get());
    }
    // Replaces the field's whole text by typing, then presses Enter.
    void type_name(kv::Input* field, const std::string& text)
    {
        Fl::focus(field);
        field->position(0, field->size());
        for (char c : text) key(c, std::string(1, c).c_str());
        key(FL_Enter, "\r");
    }
    kv::Input* field(int slot) { return panel->slots[size_t(slot)].name_field; }

    std::unique_ptr<Fl_Double_Window> win;
    KV_TransportPanel* panel = nullptr;
    std::vector<int> reasons;
    std::vector<int> slots_seen;
};

TEST_F(Panel, ConstructedWithThirtyTwoLabelledSlotsOnFourPages)
{
    const char* headers[] = {"P A G E - 1", "P A G E - 2", "P A G E - 3", "P A G E - 4"};
    for (int p = 0; p < 4; ++p) {
        EXPECT_STREQ(panel->page_titles[size_t(p)]->label(), headers[p]);
        EXPECT_EQ(panel->page_titles[size_t(p)]->y(), 135 + 236 * p);
    }
    for (int i = 0; i < 32; ++i) {
        const auto& s = panel->slots[size_t(i)];
        EXPECT_EQ(s.program_label->label(), "PC." + std::to_string(i));
        std::string bank = i % 2 ? "      B" : (i / 2 + 1 < 10 ? " " : "") + std::to_string(i / 2 + 1) + " - A";
        EXPECT_EQ(s.bank_button->label(), bank) << "slot " << i;
        EXPECT_STREQ(s.name_field->value(), "       < empty >");
        EXPECT_STREQ(s.s_switch->label(), "  S");
        EXPECT_STREQ(s.b_switch->label(), "  B");
        EXPECT_FALSE(s.bank_button->active());
        EXPECT_FALSE(s.s_switch->active());
        EXPECT_FALSE(s.b_switch->active());
        EXPECT_FALSE(s.name_field->selected);
        // Rows: header, 28 pixels, then a pitch of 25; the switches 2 pixels lower.
        int row = 135 + 236 * (i / 8) + 28 + 25 * (i % 8);
        EXPECT_EQ(s.bank_button->y(), row);
        EXPECT_EQ(s.s_switch->y(), row + 2);
        EXPECT_EQ(s.program_label->x(), 9);
        EXPECT_EQ(s.bank_button->x(), 9 + 45);
        EXPECT_EQ(s.name_field->x(), 9 + 106);
        EXPECT_EQ(s.s_switch->x(), 9 + 236);
        EXPECT_EQ(s.b_switch->x(), 9 + 286);
    }
    EXPECT_EQ(panel->slots[10].bank_button->label(), std::string(" 6 - A"));
    EXPECT_EQ(panel->slots[18].bank_button->label(), std::string("10 - A"));
    EXPECT_EQ(panel->current_slot, 0);
    EXPECT_EQ(name12(panel->edit_name), "            ");
}

TEST_F(Panel, HeadersAndRowWidgetsHaveTheirSizesFontsAndColours)
{
    for (int p = 0; p < 4; ++p) {
        const Fl_Box* h = panel->page_titles[size_t(p)];
        EXPECT_EQ(h->x(), 130);
        EXPECT_EQ(h->w(), 100);
        EXPECT_EQ(h->h(), 30);
        EXPECT_EQ(h->labelfont(), FL_HELVETICA_BOLD_ITALIC);
        EXPECT_EQ(h->labelsize(), 15);
    }
    for (int i = 0; i < 32; ++i) {
        const auto& s = panel->slots[size_t(i)];
        EXPECT_EQ(s.program_label->w(), 45);
        EXPECT_EQ(s.program_label->h(), 25);
        EXPECT_EQ(s.program_label->labelsize(), 12);

        EXPECT_EQ(s.bank_button->w(), 65);
        EXPECT_EQ(s.bank_button->h(), 25);
        EXPECT_EQ(s.bank_button->type(), FL_TOGGLE_BUTTON);
        EXPECT_EQ(s.bank_button->labelfont(), FL_HELVETICA_BOLD);
        EXPECT_EQ(s.bank_button->selection_color(), FL_BLACK);

        EXPECT_EQ(s.name_field->w(), 125);
        EXPECT_EQ(s.name_field->h(), 25);
        EXPECT_EQ(s.name_field->box(), FL_BORDER_BOX);
        EXPECT_EQ(s.name_field->maximum_size(), 12);
        EXPECT_EQ(s.name_field->selection_color(), FL_BLACK);
        EXPECT_EQ(s.name_field->cursor_color(), FL_WHITE);

        for (const Fl_Light_Button* b : {s.s_switch, s.b_switch}) {
            EXPECT_EQ(b->w(), 45);
            EXPECT_EQ(b->h(), 21);
            EXPECT_EQ(b->type(), FL_TOGGLE_BUTTON);
        }
        EXPECT_EQ(s.s_switch->selection_color(), FL_RED);
        EXPECT_EQ(s.b_switch->selection_color(), FL_GREEN);
    }
}

TEST_F(Panel, BeforeThePresetsAreReadNoBankButtonCanBeClicked)
{
    click(panel->slots[3].bank_button);
    click(panel->slots[0].bank_button);
    EXPECT_TRUE(reasons.empty());
    EXPECT_EQ(panel->current_slot, 0);
    EXPECT_EQ(panel->slots[3].bank_button->value(), 0);
}

TEST_F(Panel, ReadingAllPresetsLeavesSlotZeroSelected)
{
    read_all(0x60);
    EXPECT_STREQ(field(7)->value(), (" " + preset_name(7)).c_str());
    EXPECT_TRUE(panel->stomp_on(7));
    EXPECT_TRUE(panel->bypass_on(7));
    EXPECT_FALSE(panel->stomp_on(6));
    for (int i = 0; i < 32; ++i) {
        const auto& s = panel->slots[size_t(i)];
        EXPECT_TRUE(s.bank_button->active());
        bool sel = i == 0;
        EXPECT_EQ(s.bank_button->value(), sel ? 1 : 0) << i;
        EXPECT_EQ(s.s_switch->active() != 0, sel) << i;
        EXPECT_EQ(s.name_field->selected, sel) << i;
    }
    EXPECT_EQ(field(0)->color(), FL_BLACK);
    EXPECT_EQ(field(0)->textcolor(), FL_WHITE);
    EXPECT_EQ(name12(panel->edit_name), preset_name(0));
    EXPECT_TRUE(reasons.empty());   // the program's own selection runs no callback
}

TEST_F(Panel, ClickingABankButtonSelectsTheSlotAndCallsTheOwner)
{
    read_all();
    click(panel->slots[2].bank_button);
    ASSERT_EQ(reasons, std::vector<int>{0});
    EXPECT_EQ(slots_seen, std::vector<int>{2});
    EXPECT_EQ(panel->current_slot, 2);
    EXPECT_STREQ(field(2)->value(), (" " + preset_name(0)).c_str());
    panel->set_slot_name(2, preset_name(2));   // the owner's read of slot 2

    click(panel->slots[5].bank_button);
    EXPECT_EQ(reasons, (std::vector<int>{0, 0}));
    EXPECT_EQ(panel->current_slot, 5);
    // The old slot goes back to normal.
    const auto& old = panel->slots[2];
    EXPECT_EQ(old.bank_button->value(), 0);
    EXPECT_FALSE(old.s_switch->active());
    EXPECT_FALSE(old.name_field->selected);
    EXPECT_EQ(old.name_field->color(), FL_WHITE);
    // Slot 5 shows slot 2's name (the preset still in the editor) ...
    EXPECT_STREQ(field(5)->value(), (" " + preset_name(2)).c_str());
    EXPECT_EQ(name12(panel->edit_name), preset_name(2));
    EXPECT_TRUE(panel->slots[5].s_switch->active());
    // ... until the read of slot 5 sets its own.
    panel->set_slot_name(5, preset_name(5));
    EXPECT_STREQ(field(5)->value(), (" " + preset_name(5)).c_str());
    EXPECT_EQ(name12(panel->edit_name), preset_name(5));
}

TEST_F(Panel, ClickingTheSelectedSlotAgainLeavesItOnAndReadsNothing)
{
    read_all();
    click(panel->slots[0].bank_button);
    EXPECT_TRUE(reasons.empty());
    EXPECT_EQ(panel->slots[0].bank_button->value(), 1);
    EXPECT_EQ(panel->current_slot, 0);
}

TEST_F(Panel, LaterPagesAreReachedByScrolling)
{
    read_all();
    EXPECT_GT(4 * KV_TransportPanel::kPageHeight, panel->h());
    panel->scroll_to(0, 2 * KV_TransportPanel::kPageHeight);
    Fl::check();
    EXPECT_EQ(panel->page_titles[2]->y(), panel->y());
    click(panel->slots[17].bank_button);
    EXPECT_EQ(panel->current_slot, 17);
    EXPECT_EQ(reasons, std::vector<int>{0});
    // The program can select a slot on any page (migration, restore, selector).
    EXPECT_TRUE(panel->select_slot(31));
    EXPECT_EQ(panel->slots[31].bank_button->value(), 1);
    EXPECT_EQ(panel->slots[17].bank_button->value(), 0);
}

TEST_F(Panel, SwitchesReportWhichOneAndStandForTheirOwnFlagBits)
{
    read_all();
    panel->select_slot(4);
    std::vector<uint8_t> flags_seen;
    panel->on_request = [this, &flags_seen](const KV_TransportPanel::SlotRequest& r) {
        flags_seen.push_back(uint8_t(r.event));
        flags_seen.push_back(panel->apply_toggle(r.event, 0x00));
        flags_seen.push_back(panel->apply_toggle(r.event, 0xFF));
    };

    click(panel->slots[4].s_switch);   // S on
    EXPECT_TRUE(panel->stomp_on(4));
    click(panel->slots[4].b_switch);   // B on
    click(panel->slots[4].s_switch);   // S off
    EXPECT_EQ(flags_seen, (std::vector<uint8_t>{1, 0x40, 0xFF, 2, 0x20, 0xFF, 1, 0x00, 0xBF}));

    // Switches of slots that are not selected cannot be clicked.
    click(panel->slots[6].s_switch);
    EXPECT_EQ(flags_seen.size(), 9u);
    EXPECT_FALSE(panel->stomp_on(6));
    // Outside a toggle the flags are left alone.
    EXPECT_EQ(panel->apply_toggle(KV_TransportPanel::SlotEvent::slot_selected, 0x5A), 0x5A);
}

TEST_F(Panel, SwitchesFollowBitsSixAndFiveOfAPresetsFlags)
{
    panel->set_switches_from_flags(3, 0x40);
    EXPECT_TRUE(panel->stomp_on(3));
    EXPECT_FALSE(panel->bypass_on(3));
    panel->set_switches_from_flags(3, 0xBF);   // everything but bit 6
    EXPECT_FALSE(panel->stomp_on(3));
    EXPECT_TRUE(panel->bypass_on(3));
    panel->set_switches_from_flags(3, 0x9F);   // neither bit 6 nor bit 5
    EXPECT_FALSE(panel->stomp_on(3));
    EXPECT_FALSE(panel->bypass_on(3));
}

TEST_F(Panel, AShortNameIsPaddedAndShownWithOneLeadingSpace)
{
    read_all();
    type_name(field(0), "Fuzz");
    EXPECT_EQ(name12(panel->edit_name), "Fuzz        ");
    EXPECT_STREQ(field(0)->value(), " Fuzz        ");
    EXPECT_EQ(name12(panel->slot_name(0)), "Fuzz        ");
    EXPECT_TRUE(reasons.empty());   // nothing is sent on a rename

    // The leading space the field shows is not made part of the name.
    field(0)->value(" Fuzz Deluxe");
    field(0)->do_callback();
    EXPECT_EQ(name12(panel->edit_name), "Fuzz Deluxe ");
}

TEST_F(Panel, NamesAreAtMostTwelveCharacters)
{
    read_all();
    type_name(field(0), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(name12(panel->edit_name), "ABCDEFGHIJKL");
    EXPECT_STREQ(field(0)->value(), " ABCDEFGHIJKL");
    // Text put in by other means is cut as well.
    field(0)->value("0123456789abcdef");
    field(0)->do_callback();
    EXPECT_EQ(name12(panel->edit_name), "0123456789ab");
    EXPECT_TRUE(panel->set_slot_name(1, std::string_view("a much too long name")));
    EXPECT_STREQ(field(1)->value(), " a much too l");
}

TEST_F(Panel, EverySecondEditOfTheSelectedNameCountsToo)
{
    read_all();
    type_name(field(0), "First");
    type_name(field(0), "Second");
    EXPECT_EQ(name12(panel->edit_name), "Second      ");
    EXPECT_STREQ(field(0)->value(), " Second      ");
}

TEST_F(Panel, LeavingTheFieldAlsoTakesTheName)
{
    read_all();
    Fl::focus(field(0));
    field(0)->position(0, field(0)->size());
    for (char c : std::string("Wah")) key(c, std::string(1, c).c_str());
    EXPECT_EQ(name12(panel->edit_name), preset_name(0));   // still typing
    Fl::focus(field(1));                                      // focus moves on
    EXPECT_EQ(name12(panel->edit_name), "Wah         ");
    EXPECT_STREQ(field(0)->value(), " Wah         ");
}

TEST_F(Panel, EditingAnotherSlotsNameIsUndone)
{
    read_all();
    type_name(field(9), "Stray");
    EXPECT_STREQ(field(9)->value(), (" " + preset_name(9)).c_str());
    EXPECT_EQ(name12(panel->edit_name), preset_name(0));
}

TEST_F(Panel, ASlotThatWasRenamedLooksNormalAgainOnceDeselected)
{
    read_all();
    type_name(field(0), "Mine");
    panel->select_slot(1);
    // Pointer passes over the old field and leaves it: white with black text.
    Fl::e_x = field(0)->x() + 5;
    Fl::e_y = field(0)->y() + 5;
    field(0)->handle(FL_ENTER);
    field(0)->handle(FL_LEAVE);
    EXPECT_EQ(field(0)->color(), FL_WHITE);
    EXPECT_EQ(field(0)->textcolor(), FL_BLACK);
    // The selected one shows dark grey after the pointer leaves.
    field(1)->handle(FL_ENTER);
    field(1)->handle(FL_LEAVE);
    EXPECT_EQ(field(1)->color(), Fl_Color(0x40404000));
}

TEST_F(Panel, IndicesOutsideTheThirtyTwoSlotsAreRefused)
{
    read_all();
    EXPECT_FALSE(panel->select_slot(32));
    EXPECT_FALSE(panel->select_slot(-1));
    EXPECT_FALSE(panel->select_slot(256 + 3));
    EXPECT_EQ(panel->current_slot, 0);
    EXPECT_FALSE(panel->set_slot_name(40, std::string_view("x")));
    EXPECT_EQ(name12(panel->edit_name), preset_name(0));
    EXPECT_FALSE(panel->stomp_on(99));
}

TEST_F(Panel, ANameWithATerminatorInsideShowsUpToIt)
{
    kv::PresetTitle t;
    std::memcpy(t.text, "Chorus\0\0\0\0\0\0", 12);
    EXPECT_TRUE(panel->set_slot_name(8, t));
    EXPECT_STREQ(field(8)->value(), " Chorus");
    EXPECT_EQ(std::memcmp(panel->edit_name.text, t.text, 12), 0);
    EXPECT_TRUE(panel->slots[8].bank_button->active());
}

} // namespace
