// The main window as a new user on a Linux desktop meets it: the keyboard's
// Tab order with a visible frame, what is said when no pedal is found, the
// pedal's menu entries waiting for a pedal, a console that stays quiet
// unless asked, the keys that zoom and quit, and the tooltips of the
// controls that carry no text.

#include "tests/support/WindowFixture.h"

#include "app/Desktop.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/core/SharingFormat.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "widgets/Input.h"
#include "widgets/Scrollbar.h"
#include "widgets/Slider.h"
#include "platform/Platform.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace kv {
namespace {

class DesktopUseTest : public test::WindowTest {
protected:
    DesktopUseTest() : WindowTest("kv_desktop_use_") {}

    // Tab or Shift+Tab as the keyboard sends it.
    void tab(bool back)
    {
        Fl::e_keysym = FL_Tab;
        Fl::e_state = back ? FL_SHIFT : 0;
        static char text[] = "\t";
        Fl::e_text = text;
        Fl::e_length = 1;
        Fl::handle(FL_KEYBOARD, window_.get());
        Fl::handle(FL_KEYUP, window_.get());
        Fl::e_state = 0;
    }
    // Ctrl and a key, as a shortcut reaches the window.
    void ctrl_key(int keysym, const char* text)
    {
        Fl::e_keysym = keysym;
        Fl::e_state = FL_CTRL;
        static std::string t;
        t = text;
        Fl::e_text = t.data();
        Fl::e_length = int(t.size());
        Fl::handle(FL_KEYBOARD, window_.get());
        Fl::e_state = 0;
    }
    // The window as it is drawn now, one pixel.
    std::vector<uchar> pixel(int x, int y)
    {
        window_->redraw();
        Fl::flush();
        window_->make_current();
        std::vector<uchar> rgb(3);
        fl_read_image(rgb.data(), x, y, 1, 1);
        return rgb;
    }
    static bool accent(const std::vector<uchar>& rgb) { return rgb[0] > 230 && rgb[1] > 180 && rgb[1] < 225 && rgb[2] < 40; }
    bool on_board(const std::string& line) const
    {
        const auto lines = test::board_lines(*window_);
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(line) != std::string::npos; });
    }
    // One round of Tab (or Shift+Tab) from where the focus is: the widgets
    // it lands on until the first comes back (at most `limit` presses).
    std::vector<Fl_Widget*> one_round(bool back, int limit = 400)
    {
        std::vector<Fl_Widget*> seen;
        for (int i = 0; i < limit; ++i) {
            tab(back);
            Fl_Widget* f = Fl::focus();
            if (!seen.empty() && f == seen.front()) break;
            seen.push_back(f);
        }
        return seen;
    }
    bool entry_active(const std::string& text) const
    {
        for (const auto& e : window_->main_menu_entries())
            if (e.text == text) return e.active;
        ADD_FAILURE() << "no entry " << text;
        return false;
    }
};

TEST_F(DesktopUseTest, TabVisitsEveryControlOnceInReadingOrderBothWaysWithAVisibleFrame)
{
    attach_pedal();
    Korvane& w = start();
    KV_TransportPanel* list = ui(w).transport_panel;
    Fl_Widget* bank = list->slots[size_t(list->current_slot)].bank_button;

    // From the first stop, a whole round forward, then the same backward.
    tab(false);
    const std::vector<Fl_Widget*> forward = one_round(false);
    const std::vector<Fl_Widget*> backward = one_round(true);
    ASSERT_GT(forward.size(), 20u);
    EXPECT_EQ(std::set<Fl_Widget*>(forward.begin(), forward.end()).size(), forward.size()) << "a control twice";
    // Backward is forward reversed (starting where forward ended).
    std::vector<Fl_Widget*> reversed(forward.rbegin(), forward.rend());
    std::rotate(reversed.begin(), std::find(reversed.begin(), reversed.end(), backward.front()), reversed.end());
    EXPECT_EQ(backward, reversed) << "Shift+Tab does not retrace Tab";

    // The top of the Dashboard is reached going forward, after the tabs.
    auto at = [&](Fl_Widget* wdg) { return std::find(forward.begin(), forward.end(), wdg) - forward.begin(); };
    const auto tabs_at = at(ui(w).tabs);
    ASSERT_LT(size_t(tabs_at), forward.size()) << "the tabs never hold the focus";
    EXPECT_LT(size_t(at(ui(w).templates_button)), forward.size());
    EXPECT_EQ(at(ui(w).templates_button), tabs_at + 1);
    KV_Parameters* d = ui(w).dashboard;
    for (Fl_Widget* top : {static_cast<Fl_Widget*>(d->knob(Engine::Y, Knob::Speed)), static_cast<Fl_Widget*>(d->knob(Engine::X, Knob::Speed)),
                           static_cast<Fl_Widget*>(d->knob_text(Engine::X, Knob::Depth)), static_cast<Fl_Widget*>(d->volume_bar)}) {
        EXPECT_LT(size_t(at(top)), forward.size()) << "not reached by Tab: " << (top->tooltip() ? top->tooltip() : "?");
        EXPECT_GT(at(top), tabs_at);
    }
    // Reading order on the page: the templates button (top) before the algorithm menus.
    EXPECT_LT(at(ui(w).templates_button), at(d->algorithm_menu(Engine::Y)));

    // A visible frame on the selected bank button and on the tabs' label.
    while (Fl::focus() != bank) tab(false);
    EXPECT_TRUE(accent(pixel(bank->x() + 1, bank->y() + bank->h() / 2))) << "no frame on the bank button";
    while (Fl::focus() != ui(w).tabs) tab(false);
    Fl_Widget* page = ui(w).tabs->value();
    EXPECT_TRUE(accent(pixel(ui(w).tabs->x() + 5, page->y() - 2))) << "no frame on the selected tab";
    // The mouse takes the frame away.
    click(ui(w).transport_panel->slots[3].name_field);
    EXPECT_FALSE(accent(pixel(ui(w).tabs->x() + 5, page->y() - 2)));
}

TEST_F(DesktopUseTest, PedalEntriesWaitUntilAPedalIsFound)
{
    Korvane& w = start();   // no pedal
    for (const char* pedal : {" > Serial Number", " > Update Firmware", " > Factory Reset", " > Update Library",
                              " > Backup", " > Restore", " > Global Settings", " > MIDI Settings"})
        EXPECT_FALSE(entry_active(pedal)) << pedal;
    EXPECT_FALSE(w.pick_menu_entry(" > Serial Number"));
    EXPECT_TRUE(entry_active(" > About Korvane"));

    attach_pedal();
    w.connect(true);
    EXPECT_TRUE(entry_active(" > Serial Number"));
    EXPECT_TRUE(w.pick_menu_entry(" > Serial Number"));
    EXPECT_EQ(dialogs_.shown.back().text, "Your pedal's serial number is : TV12345 \n");
}

TEST_F(DesktopUseTest, NoPedalSaysWhatHelpsOnLinuxAndOffersTheSimulatedOne)
{
    Korvane& w = start();
    EXPECT_TRUE(dialogs_.shown.empty()) << "no dialog at start-up";
    w.connect(true);
    ASSERT_FALSE(dialogs_.shown.empty());
    const auto& d = dialogs_.shown.back();
    EXPECT_EQ(d.kind, "choice");   // Close, or try the simulated pedal
    EXPECT_EQ(d.text.rfind("Pedal is not found -\n", 0), 0u);
    for (const char* advice : {"switched on", "udev rule", "/dev/tessivar", "ls -l /dev/tessivar", "dialout"})
        EXPECT_NE(d.text.find(advice), std::string::npos) << advice;
    for (const char* gone : {"Mac", "Installation Guide", "pdf"}) EXPECT_EQ(d.text.find(gone), std::string::npos) << gone;
    EXPECT_TRUE(on_board("  Pedal is not found."));
}

TEST_F(DesktopUseTest, UsbStepsReachStandardOutputOnlyWhenAskedFor)
{
    for (bool verbose : {false, true}) {
        SCOPED_TRACE(verbose ? "verbose" : "quiet");
        ::testing::internal::CaptureStdout();
        KorvaneSetup setup = window_setup();
        setup.verbose = verbose;
        window_ = std::make_unique<Korvane>(kWindowWidth, kWindowHeight, kWindowTitle, setup);
        start_window(*window_, setup);   // no pedal: the open fails
        window_->connect(true);
        std::fflush(stdout);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.find("FT_OpenEx") != std::string::npos, verbose) << out;
        window_.reset();
    }
}

TEST_F(DesktopUseTest, ZoomKeysSayWhatTheyDidOnTheBoard)
{
    start();
    ctrl_key('-', "-");
    EXPECT_TRUE(on_board("  Window zoom 75 %."));
    ctrl_key('0', "0");
    EXPECT_TRUE(on_board("  Window zoom 100 %."));
    // Larger than the test display (1280 x 800) can show: refused, and said.
    int X = 0, Y = 0, W = 0, H = 0;
    Fl::screen_work_area(X, Y, W, H, 0);
    if (W < 1400 || H < 900) {
        ctrl_key('=', "=");
        EXPECT_TRUE(on_board("  Window zoom stays at 100 %: a larger window would not fit this screen."));
    }
}

TEST_F(DesktopUseTest, CtrlQQuitsAndAsksFirstAboutAnUnsavedEdit)
{
    attach_pedal();
    Korvane& w = start();
    ui(w).dashboard->params.depth_x = 17;
    ui(w).dashboard->on_preview(PreviewRequest::parameters);
    ASSERT_TRUE(w.unsaved_changes());
    dialogs_.choice_answers = {0};   // Cancel: stays
    ctrl_key('q', "q");
    ASSERT_FALSE(dialogs_.shown.empty());
    EXPECT_EQ(dialogs_.shown.back().text.rfind("Discard the changes to ", 0), 0u);
    EXPECT_TRUE(exit_codes_.empty());
    dialogs_.choice_answers = {1};   // Discard: ends
    ctrl_key('q', "q");
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
}

TEST_F(DesktopUseTest, ControlsWithoutTextSayWhatTheyAreForOnHover)
{
    Korvane& w = start();
    for (Engine e : {Engine::Y, Engine::X}) {
        KV_ArpCore& core = ui(w).arp_editor->core(e);
        ASSERT_TRUE(core.steps_choice->tooltip());
        EXPECT_NE(std::string(core.steps_choice->tooltip()).find("STEPS"), std::string::npos);
        ASSERT_TRUE(core.snap_button->tooltip());
        EXPECT_NE(std::string(core.snap_button->tooltip()).find("SNAP GRID"), std::string::npos);
    }
    EXPECT_TRUE(ui(w).preset_panel->preset_list->tooltip());
    // The header's simulated-pedal button shows while no pedal is found.
    EXPECT_FALSE(w.pedal_simulated());
}

// The not-found dialog's second button and the header's button both start
// the simulated pedal; without one installed (not beside the program, not
// on PATH) they say so and leave the window as it was.
TEST_F(DesktopUseTest, TryingTheSimulatedPedalWithoutOneInstalledSaysWhy)
{
    const std::optional<std::string> path = get_env("PATH");
    setenv("PATH", home_.c_str(), 1);
    Korvane& w = start();
    dialogs_.choice_answers = {1};   // "Try with a simulated pedal"
    w.connect(true);
    ASSERT_GE(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[dialogs_.shown.size() - 2].kind, "choice");
    EXPECT_EQ(dialogs_.shown.back().kind, "alert");
    EXPECT_NE(dialogs_.shown.back().text.find("tessivar-sim is neither beside Korvane nor on PATH"), std::string::npos);
    EXPECT_TRUE(on_board("  Starting a simulated pedal ..."));
    EXPECT_TRUE(on_board("  The simulated pedal could not be started."));
    EXPECT_FALSE(w.pedal_simulated());
    EXPECT_EQ(std::string(w.label()), kWindowTitle);
    w.try_simulated_pedal();
    EXPECT_EQ(dialogs_.shown.back().kind, "alert");
    if (path) setenv("PATH", path->c_str(), 1);
}

TEST_F(DesktopUseTest, ExportSelectedAsksWhereTheFileGoes)
{
    attach_pedal();
    Korvane& w = start();
    // Two presets in the library, from a sharing file.
    std::vector<SharedPreset> two(2);
    two[0].name = "Warm Lead";
    two[1].name = "Slow Phase";
    two[0].record.title = make_title("Warm Lead");
    two[1].record.title = make_title("Slow Phase");
    const std::string incoming = home_ + "/incoming.tessivar.json";
    std::ofstream(incoming) << encode_sharing_file(two);
    ui(w).tabs->value(ui(w).library_page);
    ui(w).tabs->do_callback();
    dialogs_.file_answers = {{incoming}};
    ui(w).library_page->import_button->do_callback();
    ASSERT_EQ(ui(w).library_page->rows().size(), 2u);
    ui(w).library_page->select_entry(0);

    // Cancelled: nothing is written.
    const auto exports = [&] {
        int n = 0;
        std::error_code none;
        for (const auto& e : std::filesystem::directory_iterator(w.presets_folder_path(), none))
            n += e.path().filename().string().rfind("Korvane_Export_", 0) == 0;
        return n;
    };
    ui(w).library_page->export_button->do_callback();
    ASSERT_FALSE(dialogs_.shown.empty());
    EXPECT_EQ(dialogs_.shown.back().kind, "save");
    EXPECT_EQ(dialogs_.shown.back().text, "Export presets");
    EXPECT_EQ(dialogs_.suggested.rfind(w.presets_folder_path() + "Korvane_Export_", 0), 0u) << dialogs_.suggested;
    EXPECT_EQ(exports(), 0);

    // Chosen: the file is where the user said, and only there.
    const std::string chosen = home_ + "/for-friday.tessivar.json";
    dialogs_.file_answers = {{chosen}};
    ui(w).library_page->export_button->do_callback();
    const SharingImport file = read_sharing_file(chosen);
    ASSERT_TRUE(file.ok) << file.error;
    ASSERT_EQ(file.presets.size(), 1u);
    EXPECT_EQ(exports(), 0);
}

} // namespace
} // namespace kv
