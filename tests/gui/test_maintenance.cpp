// Pedal maintenance through the main window, against the simulated pedal on
// the in-process driver with a manual clock: the update panel's Browse,
// Update Now and Cancel from a pedal found in update mode at start-up, and
// the main menu's entries with the library update and the factory reset.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
// The pedal model before the toolkit too (its enums have a None).
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Desktop.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "platform/Platform.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "link/ui/KV_UsbController.h"
#include "maintenance/KV_UpdatePanel.h"
#include "ops/Library.h"
#include "ops/AutoBackup.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "widgets/LiteralLabel.h"
#include "tests/support/BoardLines.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::board_has;
using test::count_kind;

class MaintenanceTest : public test::WindowTest {
protected:
    MaintenanceTest() : WindowTest("korvane_maint_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        record_commands();
        attach_pedal("TSV0417A");
    }

    std::string package(const std::string& name, const std::string& header, size_t image_bytes)
    {
        const std::string path = home_ + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out << header;
        for (size_t i = 0; i < 2 * image_bytes; ++i) out.put(char(i % 253));
        return path;
    }

    // A click on one of the panel's buttons: a toggle turns on, then the
    // panel's callback runs.
    void press(Fl_Button* b)
    {
        if (b->type() == FL_TOGGLE_BUTTON) b->value(1);
        b->do_callback();
    }
};

TEST_F(MaintenanceTest, PedalInUpdateModeAtStartUpIsUpdatedFromThePanel)
{
    pedal_.set_update_mode(true);
    pedal_.set_firmware_version({2, 4, 1});
    Korvane& w = start();
    KV_UpdatePanel& panel = *ui(w).update_panel;
    ASSERT_TRUE(panel.visible());
    EXPECT_FALSE(ui(w).connect_button->active());
    EXPECT_FALSE(ui(w).menu_button->active());
    EXPECT_FALSE(ui(w).quit_button->active());
    EXPECT_FALSE(panel.update_button->active());
    EXPECT_TRUE(panel.cancel_button->active());
    EXPECT_STREQ(panel.installed_box->label(), "2.4.1");

    // A package that is not one: "File error", Update Now stays off.
    dialogs_.file_answers = {{package("bad.fdt", "Z\n5\n", 0)}};
    press(panel.browse_button);
    EXPECT_EQ(dialogs_.shown.back().kind, "alert");
    EXPECT_STREQ(ui(w).usb->progress->label(), "File error");
    EXPECT_FALSE(panel.update_button->active());
    EXPECT_TRUE(board_has(w, "  > Failed to open firmware package file - Error code : " + std::to_string(EINVAL) + "."));

    // A good one: its version and notes shown, Update Now offered.
    dialogs_.file_answers = {{package("good.fdt", "Z\n5\n2\nFaster taps\nNew arps\n", 1500)}};
    press(panel.browse_button);
    EXPECT_EQ(dialogs_.shown.back().kind, "file");
    EXPECT_EQ(dialogs_.shown.back().text, "Browse Firmware (.fdt)");
    EXPECT_STREQ(panel.package_box->label(), "Firmware 2.3.5");
    char* notes = panel.notes_text->text();
    EXPECT_STREQ(notes, "Faster taps\nNew arps\n");
    std::free(notes);
    EXPECT_FALSE(panel.icon_box->visible());
    EXPECT_TRUE(panel.update_button->active());
    EXPECT_TRUE(board_has(w, "  Firmware package file ready."));
    EXPECT_EQ(ui(w).usb->progress->x(), 385);   // the end step put the bar back

    // A pedal in update mode cannot be backed up: Cancel sends nothing,
    // Continue goes on without a safety backup.
    commands_.clear();
    dialogs_.choice_answers = {0};
    press(panel.update_button);
    EXPECT_EQ(dialogs_.shown.back().text.rfind("The presets in your pedal could not be backed up before updating "
                                               "the firmware:", 0),
              0u);
    EXPECT_TRUE(commands_.empty());
    EXPECT_TRUE(panel.update_button->active());
    dialogs_.choice_answers = {1};
    press(panel.update_button);
    EXPECT_EQ(panel.update_button->value(), 0);
    EXPECT_EQ(std::count(commands_.begin(), commands_.end(), 0xC7), 2 * 6);   // address and page
    EXPECT_EQ(pedal_.firmware_version(), (FirmwareVersion{2, 3, 5}));
    EXPECT_FALSE(pedal_.update_mode());
    EXPECT_FALSE(panel.visible());
    for (Fl_Widget* c : {static_cast<Fl_Widget*>(ui(w).connect_button), static_cast<Fl_Widget*>(ui(w).menu_button),
                         static_cast<Fl_Widget*>(ui(w).quit_button), static_cast<Fl_Widget*>(ui(w).transport_panel)})
        EXPECT_TRUE(c->active());
    EXPECT_TRUE(ui(w).write_button->active());
    EXPECT_TRUE(board_has(w, "  Firmware update complete."));
    EXPECT_TRUE(board_has(w, "  Ready."));
    EXPECT_EQ(dialogs_.shown.back().kind, "message");
    EXPECT_STREQ(ui(w).usb->progress->label(), "Read complete");
    EXPECT_EQ(ui(w).usb->progress->x(), 385);
    EXPECT_EQ(ui(w).usb->progress->w(), 200);
    EXPECT_EQ(ui(w).usb->progress->labelsize(), 14);
    EXPECT_TRUE(exit_codes_.empty());
}

TEST_F(MaintenanceTest, AFailedTransferGivesTheEditorBackAndConnectOffersTheUpdateAgain)
{
    pedal_.set_update_mode(true);
    Korvane& w = start();
    KV_UpdatePanel& panel = *ui(w).update_panel;
    dialogs_.file_answers = {{package("good.fdt", "Z\n5\n0\n", 1500)}};
    press(panel.browse_button);
    ASSERT_TRUE(panel.update_button->active());

    // The pedal stops answering after two pages.
    int pages = 0;
    pedal_.set_request_observer([&](const PedalRequest& r) {
        if (r.name.rfind("Firmware page ", 0) == 0 && r.name.find("address") == std::string::npos && ++pages == 2)
            pedal_.set_no_answer(true);
    });
    dialogs_.choice_answers = {1};   // on without a safety backup (update mode)
    press(panel.update_button);
    EXPECT_FALSE(panel.visible());
    EXPECT_STREQ(ui(w).usb->progress->label(), "Update failed");
    EXPECT_TRUE(board_has(w, "  > Firmware update operation failed. Please try again."));
    EXPECT_TRUE(ui(w).connect_button->active());
    EXPECT_TRUE(pedal_.update_mode());
    EXPECT_NE(dialogs_.shown.back().text.find("USB communication problem has been detected."), std::string::npos);

    // Connect finds it still waiting: the panel again, with working buttons.
    pedal_.set_no_answer(false);
    w.connect(true);
    EXPECT_TRUE(panel.visible());
    EXPECT_TRUE(panel.cancel_button->active());
    EXPECT_TRUE(panel.update_button->active());
    dialogs_.choice_answers = {1};
    press(panel.update_button);
    EXPECT_FALSE(pedal_.update_mode());
    EXPECT_EQ(pedal_.firmware_version(), (FirmwareVersion{2, 3, 5}));
    EXPECT_TRUE(board_has(w, "  Firmware update complete."));
}

TEST_F(MaintenanceTest, CancelLeavesUpdateModeAndAFailedCancelKeepsThePanelWorking)
{
    pedal_.set_update_mode(true);
    Korvane& w = start();
    KV_UpdatePanel& panel = *ui(w).update_panel;

    // The pedal cannot be reached: the panel stays, and the next press of
    // Browse is a Browse, not another Cancel.
    pedal_.vanish_now();
    press(panel.cancel_button);
    EXPECT_TRUE(panel.visible());
    EXPECT_EQ(panel.cancel_button->value(), 0);
    EXPECT_NE(dialogs_.shown.back().text.find("USB communication problem is detected."), std::string::npos);
    EXPECT_FALSE(ui(w).transport_panel->active());
    press(panel.browse_button);
    EXPECT_EQ(dialogs_.shown.back().kind, "file");

    // Back again: Cancel sends 'Send One Message' and the editor comes back.
    driver_.detach_all();
    PedalModel fresh{clock_};
    fresh.set_update_mode(true);
    std::vector<uint8_t> seen;
    fresh.set_request_observer([&](const PedalRequest& r) { seen.push_back(r.command); });
    driver_.attach(kPedalDescription, "TSV0417A", &fresh);
    press(panel.cancel_button);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0xCF);
    EXPECT_FALSE(fresh.update_mode());
    EXPECT_FALSE(panel.visible());
    EXPECT_TRUE(ui(w).connect_button->active());
    EXPECT_TRUE(ui(w).menu_button->active());
    EXPECT_TRUE(ui(w).quit_button->active());
    EXPECT_TRUE(ui(w).transport_panel->active());
    EXPECT_TRUE(ui(w).write_button->active());
    EXPECT_TRUE(board_has(w, "  Firmware update cancelled by user."));
    EXPECT_TRUE(board_has(w, "  Ready."));
    EXPECT_TRUE(exit_codes_.empty());
}

TEST_F(MaintenanceTest, MenuOffersThePedalEntriesOnlyWhileThePresetListIsActive)
{
    Korvane& w = start();
    auto entries = w.main_menu_entries();
    ASSERT_EQ(entries.size(), 20u);
    auto active = [&](const std::string& text) {
        for (const auto& e : w.main_menu_entries())
            if (e.text == text) return e.active;
        ADD_FAILURE() << text;
        return false;
    };
    for (const char* heading : {"         S O F T W A R E ", "                   P E D A L", "            CONFIG | EDIT", ""})
        EXPECT_FALSE(active(heading)) << heading;
    for (const char* pedal : {" > Serial Number", " > Update Firmware", " > Factory Reset", " > Update Library",
                              " > Backup", " > Restore", " > Global Settings", " > MIDI Settings"})
        EXPECT_TRUE(active(pedal)) << pedal;

    EXPECT_TRUE(w.pick_menu_entry(" > About Korvane"));
    EXPECT_EQ(dialogs_.shown.back().text.rfind("  Korvane - version.2.5.1\n", 0), 0u);
    EXPECT_TRUE(w.pick_menu_entry(" > Keyboard"));
    EXPECT_EQ(dialogs_.shown.back().text, keyboard_text());
    EXPECT_TRUE(w.pick_menu_entry(" > Check for updates"));
    EXPECT_EQ(dialogs_.shown.back().kind, "page");
    // Without xdg-open (a Suggests of the package) the address is shown instead.
    dialogs_.pages_open = false;
    EXPECT_TRUE(w.pick_menu_entry(" > Report a problem"));
    EXPECT_NE(dialogs_.shown.back().text.find("https://www.brakwell.com/contact"), std::string::npos);
    EXPECT_NE(dialogs_.shown.back().text.find("xdg-utils"), std::string::npos);
    dialogs_.pages_open = true;
    EXPECT_TRUE(w.pick_menu_entry(" > Serial Number"));
    EXPECT_EQ(dialogs_.shown.back().text, "Your pedal's serial number is : TSV0417A \n");
    EXPECT_TRUE(w.pick_menu_entry(" > Update Firmware"));
    EXPECT_EQ(dialogs_.shown.back().text.rfind("To update your pedal's firmware do the following :", 0), 0u);
    EXPECT_FALSE(w.pick_menu_entry("                   P E D A L"));

    // After Connect found no pedal the pedal entries grey; the rest stay.
    driver_.detach_all();
    w.connect(true);
    for (const char* pedal : {" > Serial Number", " > Factory Reset", " > Update Library", " > Backup",
                              " > Global Settings"})
        EXPECT_FALSE(active(pedal)) << pedal;
    for (const char* other : {" > About Korvane", " > Report a problem", " > Register your pedal", " > Quit"})
        EXPECT_TRUE(active(other)) << other;
    EXPECT_FALSE(w.pick_menu_entry(" > Factory Reset"));

    EXPECT_TRUE(w.pick_menu_entry(" > Quit"));
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
}

TEST_F(MaintenanceTest, LibraryUpdateAndFactoryResetFromTheMenu)
{
    Korvane& w = start();
    for (auto& block : pedal_.memory().library) block.fill(0);
    pedal_.slot(7)->title = make_title("Mine");
    pedal_.memory().globals.fill(5);

    dialogs_.choice_answers = {1};
    ASSERT_TRUE(w.pick_menu_entry(" > Update Library"));
    EXPECT_EQ(std::count(commands_.begin(), commands_.end(), 0x80 | 37), 2);   // address and block
    EXPECT_NE(std::count(pedal_.memory().library[62].begin(), pedal_.memory().library[62].end(), 0), 512);
    EXPECT_EQ(dialogs_.shown.back().text, "Algorithm Library in your pedal is now updated.");
    EXPECT_STREQ(ui(w).usb->progress->label(), "Library update OK");
    EXPECT_TRUE(ui(w).menu_button->active());
    EXPECT_TRUE(ui(w).dashboard->active());

    // "Cancel" sends nothing.
    commands_.clear();
    ASSERT_TRUE(w.pick_menu_entry(" > Factory Reset"));
    EXPECT_EQ(std::count_if(commands_.begin(), commands_.end(), [](uint8_t c) { return c >= 0x40 && c < 0x80; }), 0);

    dialogs_.choice_answers = {1};
    ASSERT_TRUE(w.pick_menu_entry(" > Factory Reset"));
    EXPECT_NE(title_text(pedal_.slot(7)->title), "Mine");
    // Each overwrite was preceded by a safety backup, taken once the user
    // said Proceed (the cancelled reset took none); the reset's holds "Mine".
    const auto backups = ops::list_auto_backups(ops::auto_backup_folder(w.presets_folder_path()));
    ASSERT_EQ(backups.size(), 2u);   // library update, the reset
    const FileRead kept = read_file_limited(backups.back(), kDataFileLimit);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(title_text(image_title(kept.bytes.data(), 7)), "Mine");
    EXPECT_EQ(std::memcmp(ui(w).globals, ops::factory_globals_record().data(), 34), 0);
    EXPECT_EQ(std::memcmp(pedal_.memory().globals.data(), ui(w).globals, 34), 0);
    EXPECT_TRUE(board_has(w, "  > Factory reset successful."));
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(7)), title_text(pedal_.slot(7)->title));
    EXPECT_EQ(ui(w).usb->progress->value(), 100);
    EXPECT_TRUE(ui(w).connect_button->active());
    EXPECT_TRUE(ui(w).write_button->active());
    EXPECT_EQ(count_kind(dialogs_, "alert"), 0);
}

TEST(DialogText, TheSupportAddressReachesTheToolkitWhole)
{
    // The toolkit draws "@@" as one '@'; a single one would start a symbol
    // and cut the address off.
    EXPECT_EQ(literal_label("> < Direct support email : support@brakwell.com >"),
              "> < Direct support email : support@@brakwell.com >");
    EXPECT_NE(Korvane::about_text().find(kSupportEmail), std::string::npos);
}

TEST(DialogText, HelpTextsNameThisSystemAndItsFolders)
{
    const std::string about = Korvane::about_text();
    EXPECT_NE(about.find("Linux"), std::string::npos) << about;
    EXPECT_NE(about.find("MIT licence"), std::string::npos) << about;
    EXPECT_EQ(about.find("All rights reserved"), std::string::npos) << about;
    for (const char* foreign : {"Windows", "OS X", "Vista", "Monterey"})
        EXPECT_EQ(about.find(foreign), std::string::npos) << foreign;
    const std::string tips = Korvane::offline_tips_text();
    EXPECT_NE(tips.find(home_drive() + "/Brakwell/Korvane/presets"), std::string::npos) << tips;
    for (const char* foreign : {"C:/", "(Mac)", "(Windows)"}) EXPECT_EQ(tips.find(foreign), std::string::npos) << foreign;
    const std::string keys = keyboard_text();
    for (const char* key : {"Tab", "Ctrl+S", "Ctrl+D", "Ctrl+Z", "Ctrl+R", "F10", "Ctrl+Plus", "Ctrl+Minus", "Ctrl+0"})
        EXPECT_NE(keys.find(key), std::string::npos) << key;
}

} // namespace
} // namespace kv
