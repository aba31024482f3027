// The main window's flow against the simulated pedal (in-process driver,
// manual clock): what lies over what on each page and under each panel,
// Escape, the controls a pedal operation gives back, keys on a knob, the
// Arp Editor's previews and a sequence the pedal would not send, the order
// of the questions and backups of the maintenance entries, the default
// answer of the cautious questions, the previews of the offline prompt and
// a restore file refused before any backup.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
// The pedal model before the toolkit too (its enums have a None).
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "config/KV_GloConfPanel.h"
#include "config/KV_MidiConfPanel.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TemplatePanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/OfflinePresets.h"
#include "link/InProcessDriver.h"
#include "maintenance/KV_UpdatePanel.h"
#include "platform/Clock.h"
#include "widgets/Slider.h"
#include "widgets/ValueSlider.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Toggle_Button.H>

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

class WindowFlowTest : public test::WindowTest {
protected:
    WindowFlowTest() : WindowTest("korvane_flow_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        pedal_.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        // Slot 0 plays Arp Filter Sequence II on DSP-X.
        auto& p = pedal_.memory().slots[0].parameters;
        p.algorithm_x = 32;
        p.sp1_x = 2;
        pedal_.set_request_observer([this](const PedalRequest& r) { requests_.push_back(r); });
        attach_pedal();
    }
    // The tests look only at what their own steps send.
    void after_start() override
    {
        Fl::check();
        requests_.clear();
    }
    Korvane& w() { return *window_; }
    static void toggle(Fl_Button* b)
    {
        b->value(!b->value());
        b->do_callback();
    }
    std::vector<uint8_t> commands() const
    {
        std::vector<uint8_t> out;
        for (const auto& r : requests_)
            if (r.name.find("messageId") == std::string::npos) out.push_back(r.command);   // Write Data's first part
        return out;
    }
    int dialogs_of(const std::string& kind) const
    {
        int n = 0;
        for (const auto& d : dialogs_.shown)
            if (d.kind == kind) ++n;
        return n;
    }
    // Files the safety backups wrote so far.
    int safety_backups() const
    {
        int n = 0;
        const std::string folder = home_ + "/Brakwell/Korvane/presets/autobackup";
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strstr(e->d_name, ".bkp")) ++n;
            closedir(d);
        }
        return n;
    }

    std::vector<PedalRequest> requests_;
};

// --- what lies over what -------------------------------------------------------

// The widgets that take clicks: plain boxes only draw, and a text display is
// taken as a whole.
void clickable(Fl_Widget* w, std::vector<Fl_Widget*>& out)
{
    if (dynamic_cast<Fl_Text_Display*>(w)) {
        out.push_back(w);
        return;
    }
    if (Fl_Group* g = w->as_group()) {
        for (int i = 0; i < g->children(); ++i) clickable(g->child(i), out);
        return;
    }
    if (dynamic_cast<Fl_Box*>(w)) return;
    out.push_back(w);
}

bool overlap(const Fl_Widget* a, const Fl_Widget* b)
{
    return a->x() < b->x() + b->w() && b->x() < a->x() + a->w() && a->y() < b->y() + b->h() && b->y() < a->y() + a->h();
}

std::string name_of(const Fl_Widget* w)
{
    std::string n = w->label() ? w->label() : (w->tooltip() ? w->tooltip() : "");
    return "'" + n + "' at " + std::to_string(w->x()) + "," + std::to_string(w->y()) + " " + std::to_string(w->w()) +
           "x" + std::to_string(w->h());
}

// No visible, active widget outside `top` lies over a visible, active
// widget of it.
void expect_alone(Fl_Window& window, Fl_Widget* top, const std::string& state)
{
    std::vector<Fl_Widget*> all, mine;
    clickable(&window, all);
    clickable(top, mine);
    auto usable = [](Fl_Widget* w) { return w->visible_r() && w->active_r(); };
    int usable_mine = 0;
    for (Fl_Widget* m : mine) {
        if (!usable(m)) continue;
        ++usable_mine;
        for (Fl_Widget* o : all) {
            if (o == m || top->contains(o) || !usable(o)) continue;
            EXPECT_FALSE(overlap(m, o)) << state << ": " << name_of(o) << " lies over " << name_of(m);
        }
    }
    EXPECT_GT(usable_mine, 0) << state << ": nothing of it can be used";
}

TEST_F(WindowFlowTest, NoPageOrPanelHasAnotherControlLyingOverItsOwn)
{
    start();
    ASSERT_TRUE(w().online());
    Fl_Widget* pages[] = {ui(w()).dashboard, ui(w()).expression_editor, ui(w()).arp_editor};
    struct Overlay {
        const char* name;
        std::function<Fl_Widget*()> open;   // what lies on top then (null: the picture)
        std::function<void()> close;
        bool dashboard_only;
    };
    const Overlay overlays[] = {
        {"nothing", [] { return nullptr; }, [] {}, false},
        {"Global Settings",
         [this] {
             w().open_global_settings();
             return ui(w()).glo_conf_panel;
         },
         [this] { ui(w()).glo_conf_panel->cancel_button->do_callback(); }, false},
        {"MIDI Settings",
         [this] {
             w().open_midi_settings();
             return ui(w()).midi_conf_panel;
         },
         [this] { ui(w()).midi_conf_panel->cancel_button->do_callback(); }, false},
        {"templates",
         [this] {
             toggle(ui(w()).templates_button);
             return ui(w()).template_panel;
         },
         [this] { toggle(ui(w()).templates_button); }, true},
        {"offline prompt",
         [this] {
             ui(w()).preset_panel->add_button->do_callback();
             return ui(w()).preset_prompt;
         },
         [this] { ui(w()).preset_prompt->cancel_button->do_callback(); }, true},
        {"infographic",
         [this] {
             toggle(ui(w()).infographic_button);
             return nullptr;
         },
         [this] { toggle(ui(w()).infographic_button); }, true},
    };
    for (Fl_Widget* page : pages) {
        for (const Overlay& o : overlays) {
            if (o.dashboard_only && page != ui(w()).dashboard) continue;
            pick_tab(page);
            Fl_Widget* top = o.open();
            EXPECT_FALSE(w().comparing());
            const std::string state = std::string(page->label()) + " with " + o.name;
            const bool plain_dashboard = page == ui(w()).dashboard && std::string(o.name) == "nothing";
            // Compare is the Dashboard's own, and only with nothing over it.
            EXPECT_EQ(ui(w()).compare_button->visible_r() != 0, plain_dashboard) << state;
            EXPECT_EQ(ui(w()).compare_button->active_r() != 0, plain_dashboard) << state;
            if (top) expect_alone(w(), top, state);
            else if (std::string(o.name) == "infographic") EXPECT_FALSE(ui(w()).dashboard->active_r()) << state;
            else expect_alone(w(), ui(w()).tabs->value(), state);
            o.close();
            EXPECT_FALSE(top && top->visible()) << state << " stays open";
        }
    }

    // Compare on, then a panel or the picture: Compare ends first, and
    // nothing it gives back is left usable under what now lies on top.
    for (const Overlay& o : overlays) {
        if (std::string(o.name) == "nothing") continue;
        pick_tab(ui(w()).dashboard);
        toggle(ui(w()).compare_button);
        ASSERT_TRUE(w().comparing()) << o.name;
        Fl_Widget* top = o.open();
        const std::string state = std::string("Compare, then ") + o.name;
        EXPECT_FALSE(w().comparing()) << state;
        EXPECT_FALSE(ui(w()).compare_button->visible_r()) << state;
        if (top) expect_alone(w(), top, state);
        else EXPECT_FALSE(ui(w()).dashboard->active_r()) << state;
        o.close();
    }

    // A pedal found in update mode: its panel lies over the Dashboard.
    pedal_.set_update_mode(true);
    ASSERT_FALSE(w().connect(true));
    ASSERT_TRUE(ui(w()).update_panel->visible());
    EXPECT_FALSE(ui(w()).compare_button->visible_r());
    EXPECT_FALSE(ui(w()).compare_button->active_r());
    expect_alone(w(), ui(w()).update_panel, "update panel");
}

// --- Escape ----------------------------------------------------------------------

TEST_F(WindowFlowTest, EscapeClosesWhatIsOnTopAndNeverEndsTheProgram)
{
    start();
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<bool()> shown;
    };
    const Case cases[] = {
        {"Global Settings", [this] { w().open_global_settings(); }, [this] { return ui(w()).glo_conf_panel->visible() != 0; }},
        {"MIDI Settings", [this] { w().open_midi_settings(); }, [this] { return ui(w()).midi_conf_panel->visible() != 0; }},
        {"templates", [this] { toggle(ui(w()).templates_button); }, [this] { return ui(w()).template_panel->visible() != 0; }},
        {"offline prompt", [this] { ui(w()).preset_panel->add_button->do_callback(); },
         [this] { return ui(w()).preset_prompt->visible() != 0; }},
        {"infographic", [this] { toggle(ui(w()).infographic_button); },
         [this] { return ui(w()).infographic_button->value() != 0; }},
        {"nothing", [] {}, [] { return false; }},
    };
    for (const Case& c : cases) {
        c.open();
        key(FL_Escape);
        EXPECT_FALSE(c.shown()) << c.name;
        EXPECT_TRUE(w().shown()) << c.name;
        EXPECT_TRUE(w().visible()) << c.name;
        EXPECT_TRUE(exit_codes_.empty()) << c.name;
        EXPECT_EQ(dialogs_of("choice"), 0) << c.name;
        // The editor is usable again.
        EXPECT_TRUE(ui(w()).dashboard->active_r()) << c.name;
        EXPECT_TRUE(ui(w()).menu_button->active_r()) << c.name;
    }

    // The close box still asks about an unsaved edit.
    ui(w()).dashboard->params.depth_x = 7;
    w().note_edit();
    ASSERT_TRUE(w().unsaved_changes());
    Fl::e_number = FL_CLOSE;
    w().do_callback();
    EXPECT_EQ(dialogs_of("choice"), 1);
    EXPECT_TRUE(w().shown());   // "Cancel"
}

// --- controls given back after an operation ------------------------------------------

TEST_F(WindowFlowTest, WriteAndCopyGiveEachControlItsOwnStateBack)
{
    start();
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"WRITE", [this] { ui(w()).write_button->do_callback(); }},
        {"copy",
         [this] {
             dialogs_.choice_answers = {1};
             ui(w()).transport_panel->request_slot_action(KV_TransportPanel::SlotEvent::slot_copy, 3, 4);
         }},
    };
    for (const Case& c : cases) {
        // The help picture covers the Dashboard and locks it.
        toggle(ui(w()).infographic_button);
        ASSERT_FALSE(ui(w()).dashboard->active()) << c.name;
        const size_t before = requests_.size();
        c.run();
        EXPECT_GT(requests_.size(), before) << c.name << " sent nothing";
        EXPECT_FALSE(ui(w()).dashboard->active()) << c.name << " unlocked the Dashboard under the picture";
        EXPECT_TRUE(ui(w()).menu_button->active()) << c.name;
        EXPECT_TRUE(ui(w()).connect_button->active()) << c.name;
        toggle(ui(w()).infographic_button);
        EXPECT_TRUE(ui(w()).dashboard->active()) << c.name;
    }
}

// --- keys on a knob ------------------------------------------------------------------

TEST_F(WindowFlowTest, AKnobMovedByTheKeyboardIsHeardAndStored)
{
    start();
    Slider* depth = ui(w()).dashboard->knob_x[1];
    depth->value(50);
    depth->released = true;
    depth->do_callback();
    ASSERT_EQ(pedal_.playing().parameters.depth_x, ui(w()).dashboard->params.depth_x);
    const uint8_t at_50 = ui(w()).dashboard->params.depth_x;

    Fl::focus(depth);
    requests_.clear();
    for (int i = 0; i < 5; ++i) key(FL_Right);
    EXPECT_EQ(std::string(ui(w()).dashboard->knob_text_x[1]->value()), "55");
    EXPECT_NE(ui(w()).dashboard->params.depth_x, at_50);
    // The pedal plays what the screen shows, after every key.
    EXPECT_EQ(pedal_.playing().parameters.depth_x, ui(w()).dashboard->params.depth_x);
    int previews = 0;
    for (const auto& r : requests_) previews += r.command == 0xC3 ? 1 : 0;
    EXPECT_EQ(previews, 5);
}

// --- the Arp Editor ----------------------------------------------------------------

TEST_F(WindowFlowTest, ArpPreviewsGoUnderThePresetsSequenceWhateverSlotIsPickedForSaving)
{
    start();
    pick_tab(ui(w()).arp_editor);
    KV_ArpEditor& page = *ui(w()).arp_editor;
    page.edit_x_button->do_callback();
    KV_ArpCore& x = page.core(Engine::X);
    for (int picked = 1; picked <= 4; ++picked) {
        page.slot_choice->value(picked);
        page.slot_choice->do_callback();
        requests_.clear();
        x.sliders[1]->value(10 * picked);
        x.sliders[1]->released = true;
        x.sliders[1]->do_callback();
        ASSERT_EQ(requests_.size(), 1u) << picked;
        // SET_ARPDATA, Arp Filter (1), engine X, store flag 0, the preset's selector 2.
        EXPECT_EQ(std::vector<uint8_t>(requests_[0].head.begin(), requests_[0].head.begin() + 5),
                  (std::vector<uint8_t>{0xC8, 0, 0, 1, 2}))
            << "save to slot " << picked;
    }
    // S A V E goes where the slot choice says: slot 3 is Sequence III (selector 4).
    page.slot_choice->value(3);
    page.slot_choice->do_callback();
    requests_.clear();
    page.save_button->do_callback();
    ASSERT_FALSE(requests_.empty());
    EXPECT_EQ(std::vector<uint8_t>(requests_[0].head.begin(), requests_[0].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 0, 1, 1, 4}));
}

TEST_F(WindowFlowTest, ASequenceThePedalWouldNotSendLeavesPedalAndWindowOnTheSameOne)
{
    start();
    pick_tab(ui(w()).arp_editor);
    KV_ArpEditor& page = *ui(w()).arp_editor;
    page.edit_x_button->do_callback();
    // The pedal takes the new selector, then its GET_ARPDATA reply is lost.
    pedal_.set_request_observer([this](const PedalRequest& r) {
        requests_.push_back(r);
        if (r.command == 0xC3 && r.head.size() > 1) driver_.fail_next_read(FT_IO_ERROR, 0);
    });
    page.core(Engine::X).sequence_buttons[3]->do_callback();
    pedal_.set_request_observer([this](const PedalRequest& r) { requests_.push_back(r); });
    EXPECT_EQ(ui(w()).dashboard->params.sp1_x, 2);
    EXPECT_EQ(page.core(Engine::X).sequence_index(), 1);
    EXPECT_EQ(pedal_.playing().parameters.sp1_x, ui(w()).dashboard->params.sp1_x);
}

// --- maintenance: the pedal first, the backup after Proceed -----------------------

TEST_F(WindowFlowTest, MaintenanceLooksForThePedalFirstAndBacksUpOnlyAfterProceed)
{
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    start();
    const Case cases[] = {
        {"Update Library", [this] { w().update_library(); }},
        {"Factory Reset", [this] { w().factory_reset(); }},
    };
    // Where the safety backups go, seen once.
    ASSERT_TRUE(w().safety_backup("checking where backups go"));
    const int backups = safety_backups();
    ASSERT_EQ(backups, 1);
    // Cancel at the question: nothing backed up.
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        dialogs_.choice_answers = {0};
        c.run();
        ASSERT_EQ(dialogs_of("choice"), 1) << c.name;
        EXPECT_EQ(dialogs_.shown[0].text.rfind("Proceed to", 0), 0u) << c.name;
        EXPECT_EQ(safety_backups(), backups) << c.name;
    }
    // Update Firmware's instructions, opened again and again: one backup
    // while nothing was written to the pedal, another once something was.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(w().pick_menu_entry(" > Update Firmware"));
    EXPECT_EQ(safety_backups(), backups + 1);
    ui(w()).write_button->do_callback();
    ASSERT_TRUE(w().pick_menu_entry(" > Update Firmware"));
    EXPECT_EQ(safety_backups(), backups + 2);
    const int now = safety_backups();

    // No pedal: the first thing said is that it is missing.
    driver_.detach_all();
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        c.run();
        ASSERT_FALSE(dialogs_.shown.empty()) << c.name;
        EXPECT_EQ(dialogs_.shown[0].kind, "alert") << c.name;
        EXPECT_EQ(dialogs_of("choice"), 0) << c.name << " asked " << dialogs_.shown[0].text;
        EXPECT_EQ(safety_backups(), now) << c.name;
    }
}

// --- the cautious questions take Enter as Cancel -----------------------------------

// Presses Enter in each dialog the toolkit shows, once the event loop waits
// for it; installed for one test.
void press_enter_when_asked(void*)
{
    Fl_Window* top = Fl::modal();
    if (!top) return;
    Fl::e_keysym = FL_Enter;
    static char enter[] = "\r";
    Fl::e_text = enter;
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, top);
}

TEST_F(WindowFlowTest, EnterAnswersCancelToEveryDestructiveQuestion)
{
    start();
    set_dialogs(nullptr);   // the toolkit's own dialogs, as the user sees them
    const PedalMemory before = pedal_.memory();
    struct Case {
        const char* name;
        std::function<void()> ask;
    };
    const Case cases[] = {
        {"Factory Reset", [this] { w().factory_reset(); }},
        {"Update Library", [this] { w().update_library(); }},
        {"Restore", [this] { w().restore_presets(); }},
        {"Discard", [this] {
             ui(w()).dashboard->params.depth_x = 9;
             w().note_edit();
             EXPECT_FALSE(w().discard_changes_ok());
         }},
    };
    Fl::add_idle(press_enter_when_asked);
    for (const Case& c : cases) {
        const size_t sent = requests_.size();
        c.ask();
        EXPECT_TRUE(pedal_.memory() == before) << c.name;
        EXPECT_EQ(safety_backups(), 0) << c.name;
        // Nothing was written: only reads (Restore reads everything back afterwards).
        for (size_t i = sent; i < requests_.size(); ++i)
            EXPECT_TRUE(requests_[i].name.find("Store") == std::string::npos &&
                        requests_[i].name.find("Library") == std::string::npos)
                << c.name << ": " << requests_[i].name;
    }
    Fl::remove_idle(press_enter_when_asked);
    set_dialogs(&dialogs_);
}

// --- the offline prompt's previews -------------------------------------------------

TEST_F(WindowFlowTest, AddingAFileAndCancelPlayTheEditDspYFirstWithoutAnArpFetch)
{
    start();
    // An offline preset file from someone else, outside the library folder.
    const std::string copy = home_ + "/Shared.lop";
    {
        const auto bytes = encode_preset_file("Shared", PresetRecord{pedal_.memory().slots[5].parameters,
                                                                     pedal_.memory().slots[5].title});
        std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
    }

    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"Add from file",
         [&] {
             dialogs_.file_answers = {{copy}};
             ui(w()).preset_prompt->add_files_button->do_callback();
         }},
        {"Cancel", [this] { ui(w()).preset_prompt->cancel_button->do_callback(); }},
    };
    for (const Case& c : cases) {
        ui(w()).preset_panel->add_button->do_callback();
        ASSERT_TRUE(ui(w()).preset_prompt->visible()) << c.name;
        requests_.clear();
        c.run();
        EXPECT_EQ(commands(), (std::vector<uint8_t>{0xC3, 0xC6, 0xC3, 0xC5})) << c.name;
        EXPECT_FALSE(ui(w()).preset_prompt->visible()) << c.name;
    }
}

// --- restore: the file first ---------------------------------------------------------

TEST_F(WindowFlowTest, ARestoreFileThatIsNoBackupIsRefusedBeforeAnyBackup)
{
    start();
    const std::string bad = home_ + "/short.bkp";
    std::ofstream(bad, std::ios::binary) << std::string(1503, '\x01');
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{bad}};
    const PedalMemory before = pedal_.memory();
    w().restore_presets();
    EXPECT_EQ(safety_backups(), 0);
    EXPECT_TRUE(pedal_.memory() == before);
    EXPECT_EQ(dialogs_of("alert"), 1);
}

} // namespace
} // namespace kv
