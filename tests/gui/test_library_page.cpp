// The Library page and the sharing of presets from the main window, against
// the simulated pedal through the in-process driver with a manual clock: the
// pedal's 32 presets exported from the preset pages' menu and imported into
// the library byte for byte, a setlist sent with one store failing (the
// slots done and the backup named), and a damaged metadata file kept aside
// when the page opens.

// GoogleTest and the pedal model before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_TransportPanel.h"
#include "library/core/LibraryMeta.h"
#include "library/core/SharingFormat.h"
#include "library/core/LibrarySearch.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "tests/support/WindowFixture.h"
#include "widgets/Zoom.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Table_Row.H>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

class LibraryPageTest : public test::WindowTest {
protected:
    LibraryPageTest() : WindowTest("korvane_library_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        folder_ = home_ + "/Brakwell/Korvane/presets/";
        pedal_.set_request_observer([this](const PedalRequest& r) {
            if (on_request) on_request(r);
        });
        for (int s = 0; s < kSlotCount; ++s) pedal_.memory().slots[s].title = make_title("Sound " + std::to_string(s + 1));
    }
    // The pedal goes on the driver as the window is built.
    Korvane& start()
    {
        attach_pedal();
        return WindowTest::start();
    }
    void open_library(Korvane& w)
    {
        ui(w).tabs->value(ui(w).library_page);
        ui(w).tabs->do_callback();
    }
    // The files in the presets folder whose name starts with `prefix`.
    std::vector<std::string> files(const std::string& prefix) const
    {
        std::vector<std::string> out;
        if (DIR* d = opendir(folder_.c_str())) {
            while (const dirent* e = readdir(d))
                if (std::string(e->d_name).rfind(prefix, 0) == 0) out.push_back(folder_ + e->d_name);
            closedir(d);
        }
        return out;
    }
    std::string last(const char* kind) const
    {
        for (auto it = dialogs_.shown.rbegin(); it != dialogs_.shown.rend(); ++it)
            if (it->kind == kind) return it->text;
        return {};
    }
    PresetRecord slot_record(int s) { return PresetRecord{pedal_.memory().slots[s].parameters, pedal_.memory().slots[s].title}; }
    // Picks the item with this text from the slot menu of `slot`.
    void slot_menu(Korvane& w, int slot, const std::string& text)
    {
        ui(w).transport_panel->menu_popup = [text](const Fl_Menu_Item* m, int, int) -> const Fl_Menu_Item* {
            for (int depth = 0; m->text || depth > 0; ++m) {
                if (!m->text) {
                    --depth;
                    continue;
                }
                if (m->flags & FL_SUBMENU) ++depth;
                if (text == m->text) return m;
            }
            return nullptr;
        };
        ui(w).transport_panel->open_slot_menu(slot, 10, 10);
    }

    std::string folder_;
    std::function<void(const PedalRequest&)> on_request;
};

TEST_F(LibraryPageTest, ThePedalsPresetsExportedFromThePresetPagesImportByteForByte)
{
    Korvane& w = start();
    slot_menu(w, 3, "Export all 32 presets...");
    const std::vector<std::string> exported = files("Korvane_Export_");
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_NE(last("message").find(exported.front()), std::string::npos);
    const SharingImport file = read_sharing_file(exported.front());
    ASSERT_TRUE(file.ok) << file.error;
    ASSERT_EQ(file.presets.size(), 32u);
    for (int s = 0; s < kSlotCount; ++s)
        EXPECT_EQ(0, std::memcmp(file.presets[size_t(s)].record.data(), slot_record(s).data(), kPresetRecordSize)) << s;

    // Imported through the Library page: 32 offline presets, each file the record.
    open_library(w);
    dialogs_.file_answers = {{exported.front()}};
    ui(w).library_page->import_button->do_callback();
    ASSERT_EQ(ui(w).preset_panel->library.size(), 32u);
    EXPECT_EQ(ui(w).library_page->rows().size(), 32u);
    EXPECT_EQ(ui(w).library_page->shown().size(), 32u);
    for (int s = 0; s < kSlotCount; ++s) {
        const OfflineEntry& e = ui(w).preset_panel->library.entries()[size_t(s)];
        EXPECT_EQ(e.name, "Sound " + std::to_string(s + 1));
        const PresetFile f = read_preset_file(e.path);
        ASSERT_TRUE(f.ok());
        EXPECT_EQ(0, std::memcmp(f.record.data(), slot_record(s).data(), kPresetRecordSize)) << s;
    }
    // The search narrows the table as it is typed.
    ui(w).library_page->search->value("sound 1");
    ui(w).library_page->search->do_callback();
    EXPECT_EQ(ui(w).library_page->shown().size(), 13u);   // both words: 1, 10-19, 21, 31

    // One preset from its row's menu, in the same second: a second file.
    slot_menu(w, 5, "Export this preset...");
    const std::vector<std::string> both = files("Korvane_Export_");
    ASSERT_EQ(both.size(), 2u);
    const std::string second = both[0] == exported.front() ? both[1] : both[0];
    const SharingImport one = read_sharing_file(second);
    ASSERT_TRUE(one.ok);
    ASSERT_EQ(one.presets.size(), 1u);
    EXPECT_EQ(one.presets[0].name, "Sound 6");
    EXPECT_EQ(0, std::memcmp(one.presets[0].record.data(), slot_record(5).data(), kPresetRecordSize));
}

TEST_F(LibraryPageTest, ASetlistWithAFailingStoreNamesTheSlotsDoneAndTheBackup)
{
    Korvane& w = start();
    slot_menu(w, 0, "Export all 32 presets...");
    open_library(w);
    dialogs_.file_answers = {{files("Korvane_Export_").front()}};
    ui(w).library_page->import_button->do_callback();
    ASSERT_EQ(write_setlist(folder_, Setlist{"Friday", {"Sound 21", "Sound 22", "Sound 23", "Sound 24", "Sound 25"}}), "");
    open_library(w);   // the list of setlists again
    ASSERT_EQ(ui(w).library_page->setlist_choice->size(), 2);
    const PresetRecord slot7 = slot_record(6), slot8 = slot_record(7);

    // The third store (slot 7) finds the pedal gone.
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 6 parameters & title") pedal_.set_no_answer(true);
    };
    ui(w).library_page->setlist_choice->value(0);
    ui(w).library_page->first_slot_input->value("5");
    dialogs_.choice_answers = {1};   // "Send"
    ui(w).library_page->send_button->do_callback();
    on_request = nullptr;
    pedal_.set_no_answer(false);

    const std::string alert = last("alert");
    EXPECT_NE(alert.find("stopped at Preset 7"), std::string::npos) << alert;
    EXPECT_NE(alert.find("Written and verified: Preset 5, Preset 6."), std::string::npos) << alert;
    const std::vector<std::string> backups = [&] {
        std::vector<std::string> out;
        if (DIR* d = opendir((folder_ + "autobackup").c_str())) {
            while (const dirent* e = readdir(d))
                if (std::string(e->d_name).find(".bkp") != std::string::npos) out.push_back(e->d_name);
            closedir(d);
        }
        return out;
    }();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(alert.find(backups.front()), std::string::npos) << alert;
    EXPECT_EQ(title_text(pedal_.memory().slots[4].title), "Sound 21");
    EXPECT_EQ(title_text(pedal_.memory().slots[5].title), "Sound 22");
    EXPECT_EQ(0, std::memcmp(slot_record(7).data(), slot8.data(), kPresetRecordSize));
    (void)slot7;
    // The rows of the preset pages show what the slots now hold.
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(4)), "Sound 21");
}

TEST_F(LibraryPageTest, ADamagedMetadataFileIsKeptAsideWhenThePageOpens)
{
    ASSERT_EQ(std::system(("mkdir -p '" + folder_ + "'").c_str()), 0);
    std::ofstream(folder_ + "library.json") << "{\"format\": \"korvane-library\", \"presets\": [";
    Korvane& w = start();
    open_library(w);
    const std::string alert = last("alert");
    EXPECT_NE(alert.find(folder_ + "library.damaged-1.json"), std::string::npos) << alert;
    const FileRead kept = read_file_limited(folder_ + "library.damaged-1.json", 4096);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(std::string(kept.text()), "{\"format\": \"korvane-library\", \"presets\": [");
}

// The page's rows at the window's zoom: the rows set after the table was
// sized take the zoom's height too (not the toolkit's 25 pixels), so the
// letters' tails stay in their row and at 75 % every row fits.
TEST(LibraryPageZoom, RowsFollowTheZoom)
{
    for (double zoom : {0.75, 1.5, 2.0, 1.0}) {
        Fl_Double_Window win(1070, 650);
        KV_LibraryPanel page(370, 63, 700, 590);
        win.end();
        apply_zoom(win, zoom);
        page.set_rows(std::vector<LibraryRow>(11));
        Fl_Table_Row* table = nullptr;
        for (int i = 0; i < page.children() && !table; ++i) table = dynamic_cast<Fl_Table_Row*>(page.child(i));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->rows(), 11);
        for (int r = 0; r < table->rows(); ++r) EXPECT_EQ(table->row_height(r), zoomed(20)) << "row " << r << " at " << zoom;
        EXPECT_LE(table->col_header_height() + 11 * table->row_height(0), table->h()) << "11 rows fit at " << zoom;
        reset_zoom();
    }
}

}  // namespace
}  // namespace kv
