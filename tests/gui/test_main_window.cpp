// The main window without the pedal's part: construction, the preset
// selector and its tables, the global defaults, tab switching, INFOGRAPHIC,
// the templates toggle, the data folder and where the bundled folders are
// found.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "app/Resources.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/Firmware.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "sim/PedalModel.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

namespace kv {
namespace {

// A window with no pedal attached; the start-up connect finds nothing.
class MainWindowTest : public test::WindowTest {
protected:
    MainWindowTest() : WindowTest("korvane_window_") {}
};

// --- construction ---------------------------------------------------------------

TEST_F(MainWindowTest, ConstructedWindowHasEveryPanelInItsStartingState)
{
    Korvane& w = start();
    EXPECT_EQ(w.w(), 1070);
    EXPECT_EQ(w.h(), 650);
    EXPECT_STREQ(w.label(), "Brakwell - Korvane 2.5.1");
    EXPECT_EQ(ui(w).tabs->value(), ui(w).dashboard);
    EXPECT_TRUE(ui(w).dashboard->visible());
    EXPECT_FALSE(ui(w).preset_prompt->visible());
    EXPECT_FALSE(ui(w).update_panel->visible());
    EXPECT_FALSE(ui(w).glo_conf_panel->visible());
    EXPECT_FALSE(ui(w).midi_conf_panel->visible());
    EXPECT_FALSE(ui(w).template_panel->visible());
    EXPECT_TRUE(ui(w).preset_panel->visible());
    EXPECT_TRUE(ui(w).transport_panel->visible());
    EXPECT_FALSE(ui(w).write_button->active());
    EXPECT_EQ(ui(w).infographic_button->value(), 0);
    EXPECT_EQ(ui(w).templates_button->value(), 0);
    EXPECT_STREQ(ui(w).usb->progress->label(), "- - -");
    EXPECT_STREQ(ui(w).dashboard->label(), " Dashboard ");
    EXPECT_STREQ(ui(w).expression_editor->label(), " Expression ");
    EXPECT_STREQ(ui(w).arp_editor->label(), " Arp Editor ");
    // The three buttons sit side by side right of the board.
    EXPECT_EQ(ui(w).connect_button->x(), ui(w).text_board->x() + 520);
    EXPECT_EQ(ui(w).menu_button->x(), ui(w).connect_button->x() + 70);
    EXPECT_EQ(ui(w).quit_button->x(), ui(w).menu_button->x() + 50);
    EXPECT_EQ(ui(w).connect_button->y(), 650 - 48);
    EXPECT_EQ(ui(w).write_button->x(), ui(w).preset_selector->x() + 205);
    // The editors are pages of the tab group.
    EXPECT_EQ(ui(w).dashboard->parent(), ui(w).tabs);
    EXPECT_EQ(ui(w).expression_editor->parent(), ui(w).tabs);
    EXPECT_EQ(ui(w).arp_editor->parent(), ui(w).tabs);
}

TEST_F(MainWindowTest, GlobalRecordStartsFromTheFactoryMap)
{
    Korvane& w = start();
    EXPECT_EQ(ui(w).globals[0], 0);
    EXPECT_EQ(ui(w).globals[1], 0);
    EXPECT_EQ(ui(w).globals[2], 0);
    EXPECT_EQ(ui(w).globals[3], 96);
    EXPECT_EQ(ui(w).globals[4], 0);
    for (int k = 0; k <= 28; ++k) EXPECT_EQ(ui(w).globals[5 + k], 14 + k) << "byte " << 5 + k;
    EXPECT_EQ(ui(w).globals[33], 42);
}

// --- the preset selector -------------------------------------------------------

TEST_F(MainWindowTest, SelectorTablesMapItemsAndSlotsBothWays)
{
    Korvane& w = start();
    for (int page = 0; page < 4; ++page)
        for (int k = 0; k < 8; ++k) {
            const int item = ui(w).item_of_preset[page][k];
            EXPECT_EQ(item, 10 * page + k + 1);
            EXPECT_EQ(ui(w).preset_of_item[item], 8 * page + k);
        }
    // Submenu titles and closing markers map to 0.
    for (int item : {0, 9, 10, 19, 20, 29, 30}) EXPECT_EQ(ui(w).preset_of_item[item], 0) << item;
}

TEST_F(MainWindowTest, SelectorItemsAreFourPagesOfEightWithTheirExactTexts)
{
    Korvane& w = start();
    const Fl_Menu_Item* m = ui(w).preset_selector->menu();
    ASSERT_NE(m, nullptr);
    for (int page = 0; page < 4; ++page) {
        const Fl_Menu_Item& title = m[10 * page];
        EXPECT_TRUE(title.submenu());
        EXPECT_EQ(std::string(title.label()), "       P a g e  " + std::to_string(page + 1));
        EXPECT_EQ(m[10 * page + 9].label(), nullptr);   // end of the submenu
    }
    EXPECT_STREQ(m[1].label(), "  Page 1 : Bank 1 - Patch A");
    EXPECT_STREQ(m[2].label(), "  Page 1 : Bank 1 - Patch B");
    EXPECT_STREQ(m[3].label(), "  Page 1 : Bank 2 - Patch A");
    EXPECT_STREQ(m[11].label(), "  Page 2 : Bank 5 - Patch A");
    EXPECT_STREQ(m[22].label(), "  Page 3 : Bank 9 -  Patch B");   // slot 17
    EXPECT_STREQ(m[23].label(), "  Page 3 : Bank 10 - Patch A");
    EXPECT_STREQ(m[38].label(), "  Page 4 : Bank 16 - Patch B");
    EXPECT_EQ(ui(w).preset_selector->size(), 41);   // 39 items, end of menu, terminator
    EXPECT_EQ(ui(w).preset_selector->value(), 1);

    EXPECT_EQ(Korvane::selector_item_text(0), "       P a g e  1/  Page 1 : Bank 1 - Patch A");
    EXPECT_EQ(Korvane::selector_item_text(17), "       P a g e  3/  Page 3 : Bank 9 -  Patch B");
    EXPECT_EQ(Korvane::selector_item_text(16), "       P a g e  3/  Page 3 : Bank 9 - Patch A");
    EXPECT_EQ(Korvane::selector_item_text(32), "");
}

TEST_F(MainWindowTest, ChoosingASelectorItemSelectsItsSlotWithoutReading)
{
    Korvane& w = start();
    ui(w).preset_selector->value(38);
    ui(w).preset_selector->do_callback();
    EXPECT_EQ(ui(w).transport_panel->current_slot, 31);
    ui(w).preset_selector->value(11);
    ui(w).preset_selector->do_callback();
    EXPECT_EQ(ui(w).transport_panel->current_slot, 8);
    ui(w).preset_selector->value(22);
    ui(w).preset_selector->do_callback();
    EXPECT_EQ(ui(w).transport_panel->current_slot, 17);
    EXPECT_TRUE(driver_.calls().empty() || driver_.open_count() == 0);
}

// --- tabs -------------------------------------------------------------------------

TEST_F(MainWindowTest, LeavingTheDashboardHidesItsControlsAndComingBackShowsThem)
{
    Korvane& w = start();
    pick_tab(ui(w).expression_editor);
    EXPECT_FALSE(ui(w).preset_panel->visible());
    EXPECT_FALSE(ui(w).preset_selector->visible());
    EXPECT_FALSE(ui(w).write_button->visible());
    EXPECT_FALSE(ui(w).templates_button->visible());
    EXPECT_FALSE(ui(w).usb->progress->visible());
    EXPECT_EQ(ui(w).dashboard->labelsize(), 13);
    EXPECT_EQ(ui(w).expression_editor->labelsize(), 16);
    EXPECT_EQ(ui(w).arp_editor->labelsize(), 13);

    pick_tab(ui(w).arp_editor);
    EXPECT_EQ(ui(w).expression_editor->labelsize(), 13);
    EXPECT_EQ(ui(w).arp_editor->labelsize(), 16);

    pick_tab(ui(w).dashboard);
    EXPECT_TRUE(ui(w).preset_panel->visible());
    EXPECT_TRUE(ui(w).preset_selector->visible());
    EXPECT_TRUE(ui(w).write_button->visible());
    EXPECT_TRUE(ui(w).templates_button->visible());
    EXPECT_TRUE(ui(w).usb->progress->visible());
    EXPECT_EQ(ui(w).dashboard->labelsize(), 16);
    EXPECT_EQ(ui(w).expression_editor->labelsize(), 13);
    EXPECT_EQ(ui(w).arp_editor->labelsize(), 13);
    // No pedal has been read: WRITE stays inactive.
    EXPECT_FALSE(ui(w).write_button->active());
}

TEST_F(MainWindowTest, EditorPagesGetTheEditedPresetWhenTheirTabIsChosen)
{
    Korvane& w = start();
    PresetParameters p = default_parameters();
    p.algorithm_x = 34;
    p.algorithm_y = 5;
    p.expression_x[0] = 12;
    ui(w).dashboard->load_parameters(p);
    pick_tab(ui(w).expression_editor);
    EXPECT_TRUE(ui(w).expression_editor->loaded());
    EXPECT_EQ(ui(w).expression_editor->mapping().expression_x[0], 12);
    pick_tab(ui(w).arp_editor);
    EXPECT_EQ(ui(w).arp_editor->engine_algorithm(Engine::X), 34);
    EXPECT_EQ(ui(w).arp_editor->engine_algorithm(Engine::Y), 5);
    EXPECT_TRUE(ui(w).arp_editor->arp_available());
}

TEST_F(MainWindowTest, PagesChosenWhileAConfigPanelIsOpenStayInactive)
{
    Korvane& w = start();
    pick_tab(ui(w).expression_editor);
    ui(w).glo_conf_panel->show();
    pick_tab(ui(w).arp_editor);
    EXPECT_FALSE(ui(w).arp_editor->active());
    pick_tab(ui(w).expression_editor);
    EXPECT_FALSE(ui(w).expression_editor->active());
    // Back on the Dashboard the editor stays locked and its controls hidden.
    pick_tab(ui(w).dashboard);
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_FALSE(ui(w).preset_selector->visible());
}

// --- painting --------------------------------------------------------------------------

// The colour of one pixel of the window as it is on the screen.
struct Rgb {
    int r, g, b;
};
// Lets the X server map and expose the window and the window paint itself:
// round trips to the server, no timed waits.
void settle(Korvane& w)
{
    for (int i = 0; i < 50; ++i) {
        XSync(fl_display, False);
        Fl::check();
        if (i > 5 && w.visible_r() && !w.damage()) break;
    }
}
// A window just shown may not have had its first expose yet: unless the test
// is about partial repaints, paint the whole window before reading it.
Rgb pixel_at(Korvane& w, int x, int y, bool repaint_all = true)
{
    settle(w);
    if (repaint_all) w.redraw();
    Fl::flush();
    w.make_current();
    uchar rgb[3] = {};
    fl_read_image(rgb, x, y, 1, 1);
    return {rgb[0], rgb[1], rgb[2]};
}

TEST_F(MainWindowTest, ProgressBarIsRepaintedWhenOnlyItsPartOfTheWindowIs)
{
    Korvane& w = start();
    Fl_Progress* bar = ui(w).usb->progress;
    bar->value(100);
    bar->selection_color(fl_rgb_color(142, 211, 211));
    const int px = bar->x() + 12, py = bar->y() + 6;
    Rgb before = pixel_at(w, px, py);
    ASSERT_GT(before.g, before.r + 40) << "bar not painted at all";
    // A dialog closed over the bar: only that rectangle is painted again.
    w.damage(FL_DAMAGE_ALL, bar->x(), bar->y(), bar->w(), bar->h());
    Rgb after = pixel_at(w, px, py, false);
    EXPECT_GT(after.g, after.r + 40) << after.r << "," << after.g << "," << after.b;
}

TEST_F(MainWindowTest, MakerNoticeSitsOnTheBackdropOnEveryTab)
{
    Korvane& w = start();
    // Beside the notice, right of the status board: the window's own strip.
    const int px = ui(w).text_board->x() + ui(w).text_board->w() + 10, py = 640;   // the notice's row
    const Rgb dashboard = pixel_at(w, px, py);
    for (Fl_Widget* page : {static_cast<Fl_Widget*>(ui(w).expression_editor), static_cast<Fl_Widget*>(ui(w).arp_editor)}) {
        pick_tab(page);
        const Rgb other = pixel_at(w, px, py);
        EXPECT_EQ(other.r, dashboard.r) << page->label();
        EXPECT_EQ(other.g, dashboard.g) << page->label();
        EXPECT_EQ(other.b, dashboard.b) << page->label();
    }
    // The dark captions need a light ground even without the backdrop picture.
    uchar r, g, b;
    Fl::get_color(ui(w).backdrop_box->color(), r, g, b);
    EXPECT_GT(r + g + b, 3 * 128);
}

// Dark pixels (text over the light backdrop) in a rectangle of the window.
int dark_pixels(Korvane& w, int x, int y, int width, int height)
{
    settle(w);
    w.redraw();
    Fl::flush();
    w.make_current();
    std::vector<uchar> rgb(size_t(width) * size_t(height) * 3);
    fl_read_image(rgb.data(), x, y, width, height);
    int n = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        if (rgb[i] + rgb[i + 1] + rgb[i + 2] < 3 * 100) ++n;
    return n;
}

// Every caption of the expression page's mapping boxes is whole: it starts
// inside the page and, for DSP-X, right of the divider between the engines.
TEST_F(MainWindowTest, ExpressionMappingCaptionsClearTheEdgeAndTheDivider)
{
    Korvane& w = start();
    pick_tab(ui(w).expression_editor);
    const KV_ExpressionEditor& page = *ui(w).expression_editor;
    const int divider_end = page.x() + 350;
    int captions = 0;
    for (int i = 0; i < page.children(); ++i) {
        const auto* b = dynamic_cast<const Fl_Check_Button*>(page.child(i));
        if (!b || !b->label()) continue;
        ++captions;
        fl_font(b->labelfont(), b->labelsize());
        const int left = b->x() - int(fl_width(b->label())) - 2;
        EXPECT_GE(left, page.x() + 4) << b->label() << " at " << b->x();
        if (b->x() > divider_end) {
            EXPECT_GE(left, divider_end + 4) << b->label() << " at " << b->x();
        }
    }
    EXPECT_EQ(captions, 6);
}

// The MIDI panel's notice after a failed read is drawn inside the panel.
TEST_F(MainWindowTest, MidiPanelsFailedReadNoticeStaysInsideThePanel)
{
    Korvane& w = start();
    w.open_midi_settings();   // no pedal: the read fails, Confirm is off
    ASSERT_TRUE(ui(w).midi_conf_panel->visible());
    settle(w);
    w.redraw();
    Fl::flush();
    w.make_current();
    const int W = w.w(), H = w.h();
    std::vector<uchar> rgb(size_t(W) * size_t(H) * 3);
    fl_read_image(rgb.data(), 0, 0, W, H);
    const Fl_Widget* p = ui(w).midi_conf_panel;
    int inside = 0, outside = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uchar* c = &rgb[(size_t(y) * size_t(W) + size_t(x)) * 3];
            if (!(c[0] > 200 && c[1] > 70 && c[1] < 130 && c[2] > 70 && c[2] < 130)) continue;   // the notice's colour
            const bool in = x >= p->x() && x < p->x() + p->w() && y >= p->y() && y < p->y() + p->h();
            (in ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
}

// The texts the program shows are spelt right.
TEST_F(MainWindowTest, ShownTextsHaveNoMisspellings)
{
    for (const std::string& text : {ops::firmware_instructions_text(), std::string(KV_ExpressionEditor::help_text())})
        for (const char* wrong : {"fimrware", "expresion"}) EXPECT_EQ(text.find(wrong), std::string::npos) << wrong;
}

TEST_F(MainWindowTest, SaveCaptionsGoWhileAPanelIsShownOverTheEditor)
{
    Korvane& w = start();
    // The start of "Save preset in pedal", left of where the panels reach.
    auto caption = [&] { return dark_pixels(w, 386, 508, 50, 14); };
    ASSERT_GT(caption(), 20);
    for (Fl_Widget* panel : {static_cast<Fl_Widget*>(ui(w).update_panel), static_cast<Fl_Widget*>(ui(w).glo_conf_panel)}) {
        panel->show();
        w.redraw();
        EXPECT_EQ(caption(), 0) << "with the panel at " << panel->x();
        panel->hide();
        w.redraw();
        EXPECT_GT(caption(), 20);
    }
}

TEST_F(MainWindowTest, InfographicOffLeavesTheEditorLockedWhileAConfigPanelIsOpen)
{
    Korvane& w = start();
    ui(w).glo_conf_panel->show();
    ui(w).dashboard->deactivate();
    ui(w).infographic_button->value(1);
    ui(w).infographic_button->do_callback();
    ui(w).infographic_button->value(0);
    ui(w).infographic_button->do_callback();
    EXPECT_FALSE(ui(w).dashboard->active());
}

// --- INFOGRAPHIC and templates -----------------------------------------------------

TEST_F(MainWindowTest, InfographicBringsTheDashboardForwardAndLocksIt)
{
    Korvane& w = start();
    pick_tab(ui(w).arp_editor);
    ui(w).infographic_button->value(1);
    ui(w).infographic_button->do_callback();
    EXPECT_EQ(ui(w).tabs->value(), ui(w).dashboard);
    EXPECT_EQ(ui(w).infographic_button->value(), 1);
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_TRUE(ui(w).preset_selector->visible());
    ui(w).infographic_button->value(0);
    ui(w).infographic_button->do_callback();
    EXPECT_TRUE(ui(w).dashboard->active());
}

TEST_F(MainWindowTest, LeavingTheDashboardSwitchesTheInfographicOff)
{
    Korvane& w = start();
    ui(w).infographic_button->value(1);
    ui(w).infographic_button->do_callback();
    pick_tab(ui(w).expression_editor);
    EXPECT_EQ(ui(w).infographic_button->value(), 0);
    pick_tab(ui(w).dashboard);
    EXPECT_TRUE(ui(w).dashboard->active());
}

TEST_F(MainWindowTest, TemplatesToggleShowsThePanelAndLocksTheTemplateControls)
{
    Korvane& w = start();
    ui(w).templates_button->value(1);
    ui(w).templates_button->do_callback();
    EXPECT_TRUE(ui(w).template_panel->visible());
    EXPECT_FALSE(ui(w).dashboard->template_controls_active());
    ui(w).templates_button->value(0);
    ui(w).templates_button->do_callback();
    EXPECT_FALSE(ui(w).template_panel->visible());
    EXPECT_TRUE(ui(w).dashboard->template_controls_active());
}

TEST_F(MainWindowTest, QuitEndsWithCodeZero)
{
    Korvane& w = start();
    ui(w).quit_button->do_callback();
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
}

TEST_F(MainWindowTest, QuitAndTheCloseBoxWaitWhileThePedalIsWritten)
{
    Korvane& w = start();
    w.show();
    PedalModel pedal{clock_};
    driver_.attach(kPedalDescription, "TV12345", &pedal);
    const auto leave = [](void* data) {
        auto* win = static_cast<Korvane*>(data);
        ui(*win).quit_button->do_callback();
        win->do_callback();   // what the close box does
    };

    // The user tries to leave while a store waits for its echo.
    const PresetParameters params = default_parameters();
    DspProgram x{};
    for (size_t i = 0; i < kDspProgramSize; ++i) x.bytes[i] = uint8_t(i * 3);
    const int lines = w.status_lines();
    Fl::add_timeout(0.0, leave, &w);
    int stored = -1;
    {
        Korvane::WriteGuard guard(w);
        stored = link_code(ui(w).usb->store_preset(5, params, make_title("Kept"), x, x));
    }
    Fl::remove_timeout(leave, &w);
    EXPECT_EQ(stored, 0);
    EXPECT_TRUE(exit_codes_.empty());
    EXPECT_TRUE(w.shown());
    EXPECT_EQ(std::memcmp(pedal.slot(5)->program_y.bytes, x.bytes, kDspProgramSize), 0);
    EXPECT_EQ(w.status_lines(), lines + 2);
    char* text = ui(w).text_board->text->text();
    const std::string board = text;
    std::free(text);
    EXPECT_NE(board.find(Korvane::kWaitForWriteText), std::string::npos);

    // A read may be given up: Quit during it ends the program.
    Fl::add_timeout(0.0, leave, &w);
    pedal.set_reply_delay(0.05);
    ui(w).usb->get_pedal_state();
    Fl::remove_timeout(leave, &w);
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
    EXPECT_FALSE(w.shown());
}

TEST_F(MainWindowTest, ManyWindowsComeAndGoCleanly)
{
    for (int i = 0; i < 5; ++i) {
        Korvane& w = start();
        pick_tab(ui(w).arp_editor);
        Fl::check();
        window_.reset();
    }
}

// --- folders ------------------------------------------------------------------------

TEST_F(MainWindowTest, TheMakerProgramAndPresetsFoldersAreMadeWhenTheFirstFileIsWritten)
{
    ASSERT_FALSE(is_directory(home_ + "/Brakwell"));
    attach_pedal();
    Korvane& w = start();
    // Nothing at start: the documents folder (here the scratch home) holds
    // no folder of ours until there is something to keep in it.
    EXPECT_FALSE(is_directory(home_ + "/Brakwell"));
    EXPECT_EQ(w.presets_folder_path(), home_ + "/Brakwell/Korvane/presets/");
    dialogs_.choice_answers = {1};   // Continue: the dated backup in the presets folder
    ASSERT_TRUE(w.pick_menu_entry(" > Backup"));
    EXPECT_TRUE(is_directory(home_ + "/Brakwell"));
    EXPECT_TRUE(is_directory(home_ + "/Brakwell/Korvane"));
    EXPECT_TRUE(is_directory(home_ + "/Brakwell/Korvane/presets"));
}

} // namespace
} // namespace kv
