// The main window's safety nets against the simulated pedal (in-process
// driver, manual clock): copying and swapping slots from a preset row's
// menu, the safety backup before a swap, and what the rows and the editor
// show afterwards.

// GoogleTest before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
// The pedal model before the toolkit too (its enums have a None).
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "editor/KV_Parameters.h"
#include "library/KV_TransportPanel.h"
#include "link/InProcessDriver.h"
#include "ops/AutoBackup.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "widgets/Input.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Menu_Item.H>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

class EditSafetyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home_ = ::testing::TempDir() + "korvane_safety_XXXXXX";
        ASSERT_NE(mkdtemp(home_.data()), nullptr);
        setenv("HOMEDRIVE", home_.c_str(), 1);
        setenv("USERPROFILE", home_.c_str(), 1);
        set_dialogs(&dialogs_);
        pedal_.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        for (int s = 0; s < kSlotCount; ++s) pedal_.memory().slots[s].title = make_title("Sound " + std::to_string(s + 1));
        pedal_.memory().slots[5].parameters.flags |= bits::kAutoStomp;
        pedal_.set_request_observer([this](const PedalRequest& r) { requests_.push_back(r.name); });
        driver_.attach(kPedalDescription, "TV12345", &pedal_);
        KorvaneSetup setup;
        setup.driver = &driver_;
        setup.clock = &clock_;
        setup.exit = [this](int code) { exit_codes_.push_back(code); };
        window_ = std::make_unique<Korvane>(kWindowWidth, kWindowHeight, kWindowTitle, setup);
        Fl::check();
    }
    void TearDown() override
    {
        window_.reset();
        set_dialogs(nullptr);
        (void)std::system(("rm -rf '" + home_ + "'").c_str());
    }
    KV_TransportPanel& pages() { return *window_->transport_panel; }
    std::string row_name(int slot) { return pages().slots[size_t(slot)].name_field->value(); }
    bool asked(const std::string& start) const
    {
        for (const auto& d : dialogs_.shown)
            if (d.kind == "choice" && d.text.rfind(start, 0) == 0) return true;
        return false;
    }
    // Picks the item of the row menu whose text starts with `item`, under `submenu`.
    void pick_from_row_menu(int row, const std::string& submenu, const std::string& item)
    {
        pages().menu_popup = [=](const Fl_Menu_Item* menu, int, int) -> const Fl_Menu_Item* {
            // Walks the item array: a submenu title, its items, a terminator.
            int depth = 0;
            std::string current;
            for (const Fl_Menu_Item* m = menu;; ++m) {
                if (!m->text) {
                    if (depth == 0) return nullptr;
                    --depth;
                    continue;
                }
                if (m->flags & FL_SUBMENU) {
                    ++depth;
                    current = m->text;
                    continue;
                }
                if (current == submenu && std::string(m->text).rfind(item, 0) == 0) return m;
            }
        };
        pages().open_slot_menu(row, 100, 100);
    }

    std::string home_;
    ManualClock clock_;
    PedalModel pedal_{clock_};
    InProcessDriver driver_{clock_};
    RecordingDialogs dialogs_;
    std::vector<int> exit_codes_;
    std::vector<std::string> requests_;
    std::unique_ptr<Korvane> window_;
};

TEST_F(EditSafetyTest, RowMenuCopiesAndSwapsSlotsAfterAsking)
{
    const PedalMemory before = pedal_.memory();

    // Cancel first: nothing is sent.
    requests_.clear();
    dialogs_.choice_answers = {0};
    pick_from_row_menu(5, "Copy to", "Preset 12 (6-B)");
    EXPECT_TRUE(asked("Copy Preset 6 (\"Sound 6\") over Preset 12 (\"Sound 12\")?"));
    EXPECT_TRUE(requests_.empty());

    dialogs_.choice_answers = {1};
    pick_from_row_menu(5, "Copy to", "Preset 12 (6-B)");
    EXPECT_TRUE(pedal_.memory().slots[11] == before.slots[5]);
    EXPECT_EQ(row_name(11), " Sound 6     ");
    EXPECT_EQ(pages().slots[11].s_switch->value(), 1);
    // The editor still edits slot 1 under its own name.
    EXPECT_EQ(pages().current_slot, 0);
    EXPECT_EQ(pages().edit_name_text(), "Sound 1     ");

    // Swapping the selected slot with another reads the selected slot again.
    dialogs_.choice_answers = {1};
    pick_from_row_menu(0, "Swap with", "Preset 3 (2-A)");
    EXPECT_TRUE(asked("Swap Preset 1 (\"Sound 1\") and Preset 3 (\"Sound 3\")?"));
    EXPECT_TRUE(pedal_.memory().slots[0] == before.slots[2]);
    EXPECT_TRUE(pedal_.memory().slots[2] == before.slots[0]);
    EXPECT_EQ(row_name(0), " Sound 3     ");
    EXPECT_EQ(row_name(2), " Sound 1     ");
    EXPECT_EQ(0, std::memcmp(window_->dashboard->params.data(), before.slots[2].parameters.data(), 33));
    // The swap kept all presets in the safety backup folder first.
    const auto backups = ops::list_auto_backups(ops::auto_backup_folder(window_->presets_folder_path()));
    ASSERT_EQ(backups.size(), 1u);
    const FileRead bkp = read_file_limited(backups[0], kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 0)), "Sound 1");
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 11)), "Sound 6");
}

} // namespace
} // namespace kv
