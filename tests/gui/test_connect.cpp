// The connect sequence of the main window, run against the simulated pedal
// through the in-process driver with a manual clock: start-up and the Connect
// button, online, update mode, not found, USB problems, too-old firmware, and
// what read_everything puts into the panels.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
// The pedal model before the toolkit too (its enums have a None).
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "arp/ui/KV_ArpEditor.h"
#include "editor/KV_ExpressionEditor.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "platform/Clock.h"
#include "preset/ComboTemplates.h"
#include "library/KV_TemplatePanel.h"
#include "preset/ProgramImage.h"
#include "tests/support/BoardLines.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Tabs.H>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::board_has;
using test::board_lines;
using test::count_kind;

class ConnectTest : public test::WindowTest {
protected:
    ConnectTest() : WindowTest("korvane_connect_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        record_commands();
    }

    // Builds the window, which runs the start-up connect sequence.
    Korvane& start(bool pedal_attached = true)
    {
        if (pedal_attached) attach_pedal();
        return WindowTest::start();
    }

    void set_version(int major, int minor, int patch) { pedal_.set_firmware_version({major, minor, patch}); }
};

// --- firmware versions --------------------------------------------------------

TEST_F(ConnectTest, FirmwareOlderThan230IsRefusedAndTheProgramEnds)
{
    for (auto v : {FirmwareVersion{2, 2, 9}, FirmwareVersion{1, 9, 0}, FirmwareVersion{0, 15, 127}}) {
        SCOPED_TRACE(format_firmware_version(v));
        window_.reset();
        dialogs_.shown.clear();
        exit_codes_.clear();
        commands_.clear();
        driver_.detach_all();
        pedal_.set_firmware_version(v);
        Korvane& w = start();
        ASSERT_EQ(exit_codes_, std::vector<int>{0});
        ASSERT_EQ(dialogs_.shown.size(), 1u);
        EXPECT_EQ(dialogs_.shown[0].kind, "alert");
        EXPECT_EQ(dialogs_.shown[0].text.rfind("This version of Korvane is not compatible with the firmware\n", 0), 0u);
        EXPECT_NE(dialogs_.shown[0].text.find(kDownloadPage), std::string::npos);
        EXPECT_NE(dialogs_.shown[0].text.find("\n\n-  This software will now close  -"), std::string::npos);
        // Nothing is read and nothing more is written.
        EXPECT_EQ(commands_, std::vector<uint8_t>{0xC0});
        EXPECT_EQ(w.status_lines(), 0);
    }
}

TEST_F(ConnectTest, FirmwareFrom230UpIsAcceptedWhateverThePatch)
{
    struct Case {
        FirmwareVersion v;
        const char* line;
    };
    const Case cases[] = {
        {{2, 3, 0}, "  Initialization OK - Firmware 2.3.0."},
        {{3, 0, 0}, "  Initialization OK - Firmware 3.0.0."},
        {{15, 0, 0}, "  Initialization OK - Firmware 15.0.0."},
        {{2, 15, 127}, "  Initialization OK - Firmware 2.15.127."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        window_.reset();
        dialogs_.shown.clear();
        driver_.detach_all();
        pedal_.set_firmware_version(c.v);
        Korvane& w = start();
        EXPECT_TRUE(exit_codes_.empty());
        EXPECT_TRUE(dialogs_.shown.empty());
        EXPECT_TRUE(board_has(w, c.line));
        EXPECT_EQ(w.firmware_text() + ".", std::string(c.line).substr(std::string(c.line).rfind(' ') + 1));
    }
}

// Building the window draws nothing on the wire; start() runs the connect
// sequence and leaves ending the program (firmware too old) to its caller.
TEST_F(ConnectTest, BuildingTheWindowSendsNothingAndStartLeavesTheEndToItsCaller)
{
    struct Case {
        FirmwareVersion v;
        Korvane::StartResult result;
    };
    for (const Case& c : {Case{{2, 5, 1}, Korvane::StartResult::Running}, Case{{2, 2, 9}, Korvane::StartResult::EndProgram}}) {
        SCOPED_TRACE(format_firmware_version(c.v));
        window_.reset();
        commands_.clear();
        exit_codes_.clear();
        driver_.detach_all();
        pedal_.set_firmware_version(c.v);
        attach_pedal();
        const KorvaneSetup setup = window_setup();
        window_ = std::make_unique<Korvane>(kWindowWidth, kWindowHeight, kWindowTitle, setup);
        EXPECT_TRUE(commands_.empty());
        EXPECT_EQ(window_->status_lines(), 0);
        EXPECT_EQ(window_->start(), c.result);
        ASSERT_FALSE(commands_.empty());
        EXPECT_EQ(commands_.front(), 0xC0);
        EXPECT_TRUE(exit_codes_.empty());
    }
}

// --- online -----------------------------------------------------------------

TEST_F(ConnectTest, StartUpReadsStateAllPresetsAndSlotZeroAndCountsTwoLines)
{
    set_version(2, 5, 1);
    pedal_.memory().slots[0].title = make_title("First Light");
    pedal_.memory().slots[31].title = make_title("Last Call");
    Korvane& w = start();

    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC0, 0xC4, 0x00}));
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(w.status_lines(), 2);
    auto lines = board_lines(w);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "  Connecting ...");
    EXPECT_EQ(lines[1], "  Initialization OK - Firmware 2.5.1.");
    EXPECT_EQ(lines[2], "  Ready.");
    // Both lines of the outcome carry one time stamp.
    std::string all = ui(w).text_board->contents();
    EXPECT_EQ(all.substr(all.find("Initialization") - 12, 12), all.substr(all.find("Ready") - 12, 12));

    EXPECT_EQ(ui(w).serial_number, "TV12345");
    EXPECT_TRUE(w.pedal_normal());
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(0)), "First Light");
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(31)), "Last Call");
    EXPECT_EQ(ui(w).transport_panel->current_slot, 0);
    EXPECT_EQ(ui(w).preset_selector->value(), 1);
    EXPECT_TRUE(ui(w).write_button->active());
    EXPECT_TRUE(ui(w).transport_panel->active());
    EXPECT_EQ(title_text(ui(w).dashboard->title), "First Light");
    // The editor holds slot 0 as it loads every block: codes it cannot show repaired.
    const PresetParameters loaded = loaded_parameters(pedal_.memory().slots[0].parameters);
    EXPECT_EQ(std::memcmp(&ui(w).dashboard->params, &loaded, kPresetParametersSize), 0);
    EXPECT_EQ(std::memcmp(ui(w).work_buffer + slot_title_offset(31), pedal_.memory().slots[31].title.text, 12), 0);
    EXPECT_EQ(ui(w).usb->progress->value(), 100);
    EXPECT_STREQ(ui(w).usb->progress->label(), "Read complete");
}

TEST_F(ConnectTest, SwitchesOfEverySlotFollowBits6And5)
{
    pedal_.memory().slots[0].parameters.flags = 0x40 | 0x03;   // S on, B off
    pedal_.memory().slots[7].parameters.flags = 0x20;          // B on
    pedal_.memory().slots[9].parameters.flags = 0x60;          // both
    Korvane& w = start();
    EXPECT_TRUE(ui(w).transport_panel->stomp_on(0));
    EXPECT_FALSE(ui(w).transport_panel->bypass_on(0));
    EXPECT_FALSE(ui(w).transport_panel->stomp_on(7));
    EXPECT_TRUE(ui(w).transport_panel->bypass_on(7));
    EXPECT_TRUE(ui(w).transport_panel->stomp_on(9));
    EXPECT_TRUE(ui(w).transport_panel->bypass_on(9));
}

TEST_F(ConnectTest, ConnectButtonCountsThreeLinesAndReplacesWhatWasRead)
{
    Korvane& w = start();
    ASSERT_EQ(w.status_lines(), 2);
    pedal_.memory().slots[3].title = make_title("Changed");
    commands_.clear();
    ui(w).connect_button->do_callback();
    EXPECT_EQ(w.status_lines(), 5);
    auto lines = board_lines(w);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "  Connecting ...");
    EXPECT_EQ(lines[4].rfind("  Initialization OK - Firmware ", 0), 0u);
    EXPECT_EQ(lines[5], "  Ready.");
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC0, 0xC4, 0x00}));
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(3)), "Changed");
    // The Connect button leaves an empty bar behind.
    EXPECT_EQ(ui(w).usb->progress->value(), 0);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ConnectTest, ConnectBringsTheDashboardTabBack)
{
    Korvane& w = start();
    ui(w).tabs->value(ui(w).arp_editor);
    w.tab_changed();
    ASSERT_FALSE(ui(w).dashboard->visible());
    w.connect(true);
    EXPECT_EQ(ui(w).tabs->value(), ui(w).dashboard);
    EXPECT_TRUE(ui(w).preset_selector->visible());
    EXPECT_TRUE(ui(w).write_button->visible());
}

TEST_F(ConnectTest, ReconnectWithAnotherSlotSelectedShowsSlotZerosOwnName)
{
    pedal_.memory().slots[0].title = make_title("Zero");
    pedal_.memory().slots[5].title = make_title("Five");
    Korvane& w = start();
    ui(w).transport_panel->select_slot(5);
    ui(w).transport_panel->set_slot_name(5, make_title("Five"));
    w.connect(true);
    EXPECT_EQ(ui(w).transport_panel->current_slot, 0);
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(0)), "Zero");
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(5)), "Five");
    EXPECT_EQ(ui(w).transport_panel->edit_name_text(), "Zero        ");
}

// --- arp algorithms ----------------------------------------------------------

TEST_F(ConnectTest, ArpAlgorithmsInSlotZeroFetchTheirSequencesXFirst)
{
    auto& p = pedal_.memory().slots[0].parameters;
    p.algorithm_x = 33;   // arp index 2
    p.sp1_x = 4;          // sequence III
    p.algorithm_y = 37;   // arp index 6
    p.sp1_y = 0;          // sequence I
    ArpBytes fill{};
    fill.fill(0x11);
    pedal_.memory().set_arp(2, 2, fill);
    fill.fill(0x22);
    pedal_.memory().set_arp(6, 0, fill);
    std::vector<std::vector<uint8_t>> arp_requests;
    pedal_.set_request_observer([&](const PedalRequest& r) {
        commands_.push_back(r.command);
        if (r.command == 0xC7) arp_requests.push_back(r.head);
    });
    Korvane& w = start();
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC0, 0xC4, 0x00, 0xC7, 0xC7}));
    ASSERT_EQ(arp_requests.size(), 2u);
    EXPECT_EQ(arp_requests[0], (std::vector<uint8_t>{0xC7, 2, 0, 4}));
    EXPECT_EQ(arp_requests[1], (std::vector<uint8_t>{0xC7, 6, 1, 0}));
    EXPECT_EQ(ui(w).arp_editor->core(Engine::X).record().bytes[0], 0x11);
    EXPECT_EQ(ui(w).arp_editor->core(Engine::Y).record().bytes[0], 0x22);
    EXPECT_EQ(ui(w).arp_editor->core(Engine::X).sequence_index(), 2);
    EXPECT_EQ(ui(w).arp_editor->core(Engine::Y).sequence_index(), 0);
}

TEST_F(ConnectTest, AlgorithmCodesBeyondTheCatalogueAskForNoSequence)
{
    auto& p = pedal_.memory().slots[0].parameters;
    p.algorithm_x = 30;    // the last algorithm without a sequence
    p.algorithm_y = 200;   // a damaged preset
    Korvane& w = start();
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC0, 0xC4, 0x00}));
    EXPECT_TRUE(board_has(w, "  Ready."));
}

// --- update mode --------------------------------------------------------------

TEST_F(ConnectTest, UpdateModeAtStartUpShowsThePanelAndTheMidiAlert)
{
    set_version(2, 4, 3);
    pedal_.set_update_mode(true);
    Korvane& w = start();
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC0});
    EXPECT_TRUE(ui(w).update_panel->visible());
    EXPECT_STREQ(ui(w).update_panel->installed_text(), "2.4.3");
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, Korvane::midi_cables_text());
    // No status line for this outcome.
    EXPECT_EQ(w.status_lines(), 0);
    EXPECT_FALSE(board_has(w, "  Ready."));
    for (Fl_Widget* wd : {static_cast<Fl_Widget*>(ui(w).dashboard), static_cast<Fl_Widget*>(ui(w).preset_panel),
                          static_cast<Fl_Widget*>(ui(w).transport_panel), static_cast<Fl_Widget*>(ui(w).preset_selector),
                          static_cast<Fl_Widget*>(ui(w).templates_button), static_cast<Fl_Widget*>(ui(w).connect_button),
                          static_cast<Fl_Widget*>(ui(w).menu_button), static_cast<Fl_Widget*>(ui(w).quit_button),
                          static_cast<Fl_Widget*>(ui(w).write_button)})
        EXPECT_FALSE(wd->active()) << wd->label();
}

TEST_F(ConnectTest, UpdateModeThroughConnectShowsThePanelWithoutTheAlert)
{
    Korvane& w = start();
    ASSERT_TRUE(ui(w).write_button->active());
    pedal_.set_update_mode(true);
    set_version(2, 6, 0);
    ui(w).connect_button->do_callback();
    EXPECT_TRUE(ui(w).update_panel->visible());
    EXPECT_STREQ(ui(w).update_panel->installed_text(), "2.6.0");
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_FALSE(ui(w).write_button->active());
    EXPECT_FALSE(ui(w).transport_panel->active());
    // Connect, Menu and Quit stay usable.
    EXPECT_TRUE(ui(w).connect_button->active());
    EXPECT_TRUE(ui(w).menu_button->active());
    EXPECT_TRUE(ui(w).quit_button->active());
    // Only "Connecting ..." was added.
    EXPECT_EQ(w.status_lines(), 3);
}

TEST_F(ConnectTest, PedalBackInNormalModeAtTheNextConnectGivesTheEditorBack)
{
    Korvane& w = start();
    pedal_.set_update_mode(true);
    ui(w).connect_button->do_callback();
    ASSERT_TRUE(ui(w).update_panel->visible());
    ASSERT_FALSE(ui(w).dashboard->active());
    pedal_.set_update_mode(false);
    ui(w).connect_button->do_callback();
    EXPECT_FALSE(ui(w).update_panel->visible());
    EXPECT_TRUE(board_has(w, "  Ready."));
    for (Fl_Widget* wd : {static_cast<Fl_Widget*>(ui(w).dashboard), static_cast<Fl_Widget*>(ui(w).preset_panel),
                          static_cast<Fl_Widget*>(ui(w).transport_panel), static_cast<Fl_Widget*>(ui(w).preset_selector),
                          static_cast<Fl_Widget*>(ui(w).templates_button), static_cast<Fl_Widget*>(ui(w).write_button),
                          static_cast<Fl_Widget*>(ui(w).quit_button)})
        EXPECT_TRUE(wd->active()) << wd->label();
}

TEST_F(ConnectTest, TabSwitchesInUpdateModeDoNotWakeTheEditorControls)
{
    pedal_.set_update_mode(true);
    Korvane& w = start();
    ui(w).tabs->value(ui(w).expression_editor);
    w.tab_changed();
    ui(w).tabs->value(ui(w).dashboard);
    w.tab_changed();
    EXPECT_FALSE(ui(w).write_button->active());
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_FALSE(ui(w).preset_selector->active());
    EXPECT_FALSE(ui(w).preset_panel->active());
    // The Dashboard's own controls are back in view: the update moves the
    // progress bar, and the editor it gives back is whole again.
    EXPECT_TRUE(ui(w).preset_selector->visible());
    EXPECT_TRUE(ui(w).write_button->visible());
    EXPECT_TRUE(ui(w).templates_button->visible());
    EXPECT_TRUE(ui(w).preset_panel->visible());
    EXPECT_TRUE(ui(w).usb->progress->visible());
}

// --- offline ------------------------------------------------------------------

TEST_F(ConnectTest, NoPedalAtStartUpWritesTwoLinesWithoutADialog)
{
    Korvane& w = start(false);
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(w.status_lines(), 2);
    auto lines = board_lines(w);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "  Pedal is not found.");
    EXPECT_EQ(lines[2], "  > Connect your pedal to a USB port then click 'Connect'.");
    EXPECT_EQ(ui(w).serial_number, "");
    // The program stays usable offline; the preset list stays active.
    EXPECT_TRUE(ui(w).transport_panel->active());
    EXPECT_FALSE(ui(w).write_button->active());
    EXPECT_TRUE(exit_codes_.empty());
}

TEST_F(ConnectTest, NoPedalThroughConnectShowsTheDialogAndLocksTheList)
{
    Korvane& w = start(false);
    ui(w).connect_button->do_callback();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    // A question: Close, or try the simulated pedal (answered Close here).
    EXPECT_EQ(dialogs_.shown[0].kind, "choice");
    EXPECT_EQ(dialogs_.shown[0].text.rfind("Pedal is not found -\n", 0), 0u);
    EXPECT_EQ(w.status_lines(), 5);
    EXPECT_FALSE(ui(w).transport_panel->active());
    EXPECT_FALSE(ui(w).write_button->active());
}

TEST_F(ConnectTest, PedalLostBetweenConnectsEmptiesTheSerialNumber)
{
    Korvane& w = start();
    ASSERT_EQ(ui(w).serial_number, "TV12345");
    driver_.detach_all();
    w.connect(true);
    EXPECT_EQ(ui(w).serial_number, "");
}

TEST_F(ConnectTest, SilentPedalIsAUsbProblemInBothCases)
{
    pedal_.set_no_answer(true);
    Korvane& w = start();
    ASSERT_EQ(count_kind(dialogs_, "alert"), 1);
    EXPECT_EQ(dialogs_.shown[0].text.rfind("USB Communication problem detected -\n", 0), 0u);
    EXPECT_NE(dialogs_.shown[0].text.find(std::string("> < Direct support email : ") + kSupportEmail + " >"),
              std::string::npos);
    EXPECT_EQ(w.status_lines(), 2);
    EXPECT_TRUE(board_has(w, "  USB communication problem detected."));
    EXPECT_TRUE(board_has(w, "  > Recycle power to your pedal then click 'Connect'."));
    w.connect(true);
    EXPECT_EQ(count_kind(dialogs_, "alert"), 2);
    EXPECT_EQ(w.status_lines(), 5);
}

TEST_F(ConnectTest, ReadAllFailureReportsAndLeavesTheSlotsAsTheyWere)
{
    pedal_.vanish_after(1);   // answers the state query, then drops off the bus
    pedal_.memory().slots[0].title = make_title("Never Shown");
    Korvane& w = start();
    EXPECT_EQ(count_kind(dialogs_, "alert"), 1);
    EXPECT_EQ(w.status_lines(), 2);
    EXPECT_FALSE(board_has(w, "  Ready."));
    EXPECT_TRUE(board_has(w, "  USB communication problem detected."));
    EXPECT_NE(title_text(ui(w).transport_panel->slot_name(0)), "Never Shown");
    EXPECT_FALSE(ui(w).dashboard->has_title);
    EXPECT_FALSE(ui(w).write_button->active());
}

TEST_F(ConnectTest, FailedReadOfSlotZeroShowsTheReadAllCopy)
{
    pedal_.memory().slots[0].title = make_title("Copy Kept");
    pedal_.memory().slots[0].parameters.depth_x = 77;
    // State and Read All are answered; the read of slot 0 is not, but the
    // pedal is still there when asked for its state again.
    // (The observer runs after each answer: the answer to slot 0 is short.)
    pedal_.set_request_observer([this](const PedalRequest& r) {
        if (r.command == 0xC4) pedal_.set_short_answer(true);
        if (r.command == 0x00) pedal_.set_short_answer(false);
    });
    Korvane& w = start();
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_TRUE(board_has(w, "  Read operation from Preset 0 failed."));
    EXPECT_TRUE(board_has(w, "  Ready."));
    EXPECT_EQ(w.status_lines(), 4);
    EXPECT_EQ(ui(w).dashboard->params.depth_x, 77);
    EXPECT_EQ(title_text(ui(w).dashboard->title), "Copy Kept");
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(0)), "Copy Kept");
}

TEST_F(ConnectTest, APedalGoneAfterReadAllIsAUsbProblemAndLeavesTheProgramOffline)
{
    // Read All is answered, then nothing: neither slot 0 nor the state.
    pedal_.set_request_observer([this](const PedalRequest& r) {
        if (r.command == 0xC4) pedal_.set_no_answer(true);
    });
    Korvane& w = start();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, Korvane::usb_problem_text());
    EXPECT_TRUE(board_has(w, "  USB communication problem detected."));
    EXPECT_FALSE(board_has(w, "  Ready."));
    EXPECT_FALSE(ui(w).write_button->active());
    EXPECT_STRNE(ui(w).usb->progress->label() ? ui(w).usb->progress->label() : "", "Read complete");
}

// --- transfers from the window ----------------------------------------------------

TEST_F(ConnectTest, PickingASlotReadsItAndWriteStoresTheDashboardThere)
{
    pedal_.memory().slots[5].title = make_title("Slot Six");
    pedal_.memory().slots[5].parameters.depth_y = 42;
    Korvane& w = start();
    const int before = w.status_lines();
    ui(w).transport_panel->select_slot(5);
    ui(w).transport_panel->on_request({KV_TransportPanel::SlotEvent::slot_selected, {}});
    EXPECT_EQ(ui(w).dashboard->params.depth_y, 42);
    EXPECT_EQ(title_text(ui(w).dashboard->title), "Slot Six");
    EXPECT_TRUE(board_has(w, "  Read operation from Preset 6 OK."));
    EXPECT_STREQ(ui(w).usb->progress->label(), "r e a d y");

    ui(w).dashboard->params.depth_y = 43;
    ui(w).transport_panel->slots[5].s_switch->value(1);
    ui(w).transport_panel->on_request({KV_TransportPanel::SlotEvent::stomp_toggled, {}});
    ui(w).write_button->do_callback();
    EXPECT_TRUE(board_has(w, "  Write (Store) operation successful."));
    EXPECT_STREQ(ui(w).usb->progress->label(), "Write complete");
    EXPECT_EQ(w.status_lines(), before + 4);
    const PedalSlot& stored = pedal_.memory().slots[5];
    EXPECT_EQ(std::memcmp(&stored.parameters, &ui(w).dashboard->params, kPresetParametersSize), 0);
    EXPECT_EQ(stored.parameters.depth_y, 43);
    EXPECT_TRUE(stored.parameters.auto_stomp());
    EXPECT_EQ(title_text(stored.title), "Slot Six");
    EXPECT_EQ(std::memcmp(&stored.program_x, &ui(w).dashboard->program_x, kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(&stored.program_y, &ui(w).dashboard->program_y, kDspProgramSize), 0);
    // The controls come back after the store.
    EXPECT_TRUE(ui(w).dashboard->active());
    EXPECT_TRUE(ui(w).quit_button->active());
}

TEST_F(ConnectTest, EditsArePreviewedOnlineAndNotAtAllWhenNoPedalWasFound)
{
    Korvane& w = start();
    commands_.clear();
    ui(w).dashboard->on_preview(PreviewRequest::parameters);
    EXPECT_EQ(commands_, std::vector<uint8_t>{0xC3});
    EXPECT_TRUE(board_has(w, "  parameter change ok."));

    pedal_.vanish_now();
    ui(w).dashboard->on_preview(PreviewRequest::program_x);
    EXPECT_TRUE(board_has(w, "  parameter change OFFLINE."));

    driver_.detach_all();
    w.connect(true);
    ASSERT_FALSE(ui(w).transport_panel->active());
    const int lines = w.status_lines();
    commands_.clear();
    ui(w).dashboard->on_preview(PreviewRequest::program_x);
    EXPECT_TRUE(commands_.empty());
    EXPECT_EQ(w.status_lines(), lines);
}

TEST_F(ConnectTest, ATemplatePutsItsPairOnBothEnginesPreviewsItAndClosesTheChooser)
{
    Korvane& w = start();
    ui(w).templates_button->value(1);
    ui(w).templates_button->do_callback();
    ASSERT_TRUE(ui(w).template_panel->visible());
    commands_.clear();
    ui(w).template_panel->on_pick(2);   // the vinyl pair
    EXPECT_EQ(ui(w).dashboard->params.algorithm_x, kComboTemplates[1].algorithm_x);
    EXPECT_EQ(ui(w).dashboard->params.algorithm_y, kComboTemplates[1].algorithm_y);
    EXPECT_FALSE(ui(w).template_panel->visible());
    EXPECT_EQ(ui(w).templates_button->value(), 0);
    EXPECT_TRUE(ui(w).dashboard->template_controls_active());
    // Each engine's pick reaches the pedal: the block first, then its program.
    ASSERT_FALSE(commands_.empty());
    EXPECT_EQ(commands_.front(), 0xC3);
    EXPECT_NE(std::find(commands_.begin(), commands_.end(), 0xC5), commands_.end());
    EXPECT_NE(std::find(commands_.begin(), commands_.end(), 0xC6), commands_.end());
    EXPECT_EQ(std::memcmp(&pedal_.playing().parameters, &ui(w).dashboard->params, kPresetParametersSize), 0);
    EXPECT_EQ(std::memcmp(&pedal_.playing().program_x, &ui(w).dashboard->program_x, kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(&pedal_.playing().program_y, &ui(w).dashboard->program_y, kDspProgramSize), 0);
}

// --- one exchange at a time ------------------------------------------------------

TEST_F(ConnectTest, ConnectAskedForDuringAnExchangeStartsNothing)
{
    Korvane* w = nullptr;
    int nested = 0;
    bool nested_result = true;
    pedal_.set_request_observer([&](const PedalRequest& r) {
        commands_.push_back(r.command);
        if (w && r.command == 0xC4 && nested == 0) {
            ++nested;
            nested_result = w->connect(true);
        }
    });
    Korvane& win = start();
    w = &win;
    commands_.clear();
    win.connect(true);
    EXPECT_EQ(nested, 1);
    EXPECT_FALSE(nested_result);
    EXPECT_EQ(commands_, (std::vector<uint8_t>{0xC0, 0xC4, 0x00}));
    EXPECT_EQ(win.status_lines(), 5);
}

TEST_F(ConnectTest, ClicksIntoTheWindowAreHeldBackDuringAnExchangeExceptQuit)
{
    Korvane* w = nullptr;
    int connect_push = -1, connect_value = -1, quit_value = -1;
    pedal_.set_request_observer([&](const PedalRequest& r) {
        if (!w || r.command != 0xC4 || connect_push >= 0) return;
        // A press on Connect while Read All is under way.
        Fl::e_x = ui(*w).connect_button->x() + 10;
        Fl::e_y = ui(*w).connect_button->y() + 10;
        connect_push = w->handle(FL_PUSH);
        connect_value = ui(*w).connect_button->value();
        // Quit stays usable.
        Fl::e_x = ui(*w).quit_button->x() + 10;
        Fl::e_y = ui(*w).quit_button->y() + 10;
        w->handle(FL_PUSH);
        quit_value = ui(*w).quit_button->value();
        ui(*w).quit_button->value(0);
    });
    Korvane& win = start();
    w = &win;
    win.connect(true);
    EXPECT_EQ(connect_push, 1);
    EXPECT_EQ(connect_value, 0);
    EXPECT_EQ(quit_value, 1);
}

TEST_F(ConnectTest, LongSerialNumbersAreKeptWhole)
{
    driver_.attach(kPedalDescription, "ABCDEFGHIJKLMNO", &pedal_);
    KorvaneSetup setup;
    setup.driver = &driver_;
    setup.clock = &clock_;
    window_ = std::make_unique<Korvane>(kWindowWidth, kWindowHeight, kWindowTitle, setup);
    start_window(*window_, setup);
    EXPECT_EQ(ui(*window_).serial_number, "ABCDEFGHIJKLMNO");
    EXPECT_TRUE(board_has(*window_, "  Ready."));
}

// --- offline list at start-up -------------------------------------------------

TEST_F(ConnectTest, StartUpLoadsTheOfflineListAfterConnecting)
{
    const std::string folder = home_ + "/Brakwell/Korvane/presets/";
    ensure_data_folder(home_);
    auto write_lop = [&](const std::string& file, const std::string& name) {
        std::string path = folder + file + ".lop";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return path;
        std::fprintf(f, "%s\n", name.c_str());
        uint8_t body[47] = {};
        std::fwrite(body, 1, sizeof body, f);
        std::fclose(f);
        return path;
    };
    std::string a = write_lop("Warm Vibe", "Warm Vibe");
    // A file added from elsewhere keeps its name line as it was.
    std::string b = write_lop("lead", "Lead/Solo & Co");
    FILE* list = std::fopen((folder + "presets.lst").c_str(), "w");
    std::fprintf(list, "%s\n%s\n%s\n", a.c_str(), (folder + "gone.lop").c_str(), b.c_str());
    std::fclose(list);

    Korvane& w = start(false);
    EXPECT_EQ(ui(w).preset_panel->preset_count, 2);
    EXPECT_EQ(ui(w).preset_panel->name_of(0), "Warm Vibe");
    EXPECT_EQ(ui(w).preset_panel->name_of(1), "Lead/Solo & Co");
    // The name shows as typed, not split into a submenu; the toolkit is
    // given "&&" so that it draws one "&" instead of taking it for a shortcut mark.
    EXPECT_STREQ(ui(w).preset_panel->preset_list->menu()[1].label(), "Lead/Solo && Co");
    EXPECT_EQ(ui(w).preset_panel->preset_list->size(), 3);
}

} // namespace
} // namespace kv
