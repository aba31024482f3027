// The window, the library folder and the pedal agree, against the simulated
// pedal through the in-process driver: changes the command line makes to the
// presets folder (real `korvane` processes) show on the Library page, the
// drop-down and the count, and a window edit made after them keeps them; a
// move that stops part-way after "Continue" past a failed backup keeps the
// preset it displaced; after Discard, a drag onto a slot, a setlist that
// fails part-way and an arp sequence that could not be read, every row and
// page shows what the pedal holds (or that it is not known).
//
// With KV_SHOTS set to a folder, the Library page and the Arp Editor with
// its unread sequence are saved there as pictures of the screen.

// GoogleTest and the pedal model before the toolkit: the X11 headers define None and Bool.
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/Korvane.h"
#include "app/LibraryController.h"
#include "arp/ui/KV_ArpCore.h"
#include "arp/ui/KV_ArpEditor.h"
#include "library/KV_LibraryPanel.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TransportPanel.h"
#include "library/core/LibraryMeta.h"
#include "library/core/OfflinePresets.h"
#include "library/core/SharingFormat.h"
#include "platform/AtomicFile.h"
#include "platform/SafeFile.h"
#include "tests/support/KorvaneTestAccess.h"
#include "tests/support/WindowFixture.h"
#include "widgets/Input.h"
#include "widgets/TextInput.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Table_Row.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The toolkit's alert as it was shown (its width), looked at and closed
// from a timeout while it waits.
struct SeenAlert {
    int w = 0;
    std::string shot;   // a picture of the screen with it goes here when set
};
SeenAlert seen_alert;

void look_at_alert(void*)
{
    Fl_Window* box = Fl::modal();
    if (!box || !box->shown()) return Fl::repeat_timeout(0.1, look_at_alert);
    seen_alert.w = box->w();
    if (!seen_alert.shot.empty())
        if (std::system(("import -window root '" + seen_alert.shot + "' 2>/dev/null").c_str()) != 0)
            seen_alert.shot.clear();
    box->hide();
}

// Dialogs that run a hook as each question is asked (before it is answered).
struct HookedDialogs : RecordingDialogs {
    std::function<void(const std::string&)> on_question;
    int choice(const std::string& text, const char* b0, const char* b1, const char* b2) override
    {
        if (on_question) on_question(text);
        return RecordingDialogs::choice(text, b0, b1, b2);
    }
};

class LibraryWindowTest : public test::WindowTest {
protected:
    LibraryWindowTest() : WindowTest("korvane_libwin_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        set_dialogs(&hooked_);
        folder_ = home_ + "/Brakwell/Korvane/presets/";
        ASSERT_EQ(std::system(("mkdir -p '" + folder_ + "'").c_str()), 0);
        pedal_.set_request_observer([this](const PedalRequest& r) {
            if (on_request) on_request(r);
        });
        for (int s = 0; s < kSlotCount; ++s) pedal_.memory().slots[s].title = make_title("Sound " + std::to_string(s + 1));
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        set_dialogs(nullptr);
    }
    Korvane& start()
    {
        attach_pedal();
        return WindowTest::start();
    }
    PresetRecord slot_record(int s) const
    {
        return PresetRecord{pedal_.memory().slots[s].parameters, pedal_.memory().slots[s].title};
    }
    // Offline presets "Lib 1" ... "Lib n" (slot records of the pedal, titled
    // "Lib n"), written as files and listed, before the window starts.
    void make_library(int n)
    {
        std::string list;
        for (int i = 1; i <= n; ++i) {
            PresetRecord r = slot_record((i - 1) % kSlotCount);
            r.title = make_title("Lib " + std::to_string(i));
            const std::string name = "Lib " + std::to_string(i);
            ASSERT_TRUE(write_file_atomically(folder_ + name + ".lop", encode_preset_file(name, r)));
            list += folder_ + name + ".lop\n";
        }
        std::ofstream(folder_ + "presets.lst") << list;
    }
    void open_library(Korvane& w)
    {
        ui(w).tabs->value(ui(w).library_page);
        ui(w).tabs->do_callback();
    }
    // The shown row of the offline preset called `name`, or -1.
    int row_of(Korvane& w, const std::string& name)
    {
        const KV_LibraryPanel& page = *ui(w).library_page;
        for (size_t r = 0; r < page.shown().size(); ++r)
            if (page.rows()[page.shown()[r]].name == name) return int(r);
        return -1;
    }
    std::vector<std::string> selected_names(Korvane& w)
    {
        std::vector<std::string> out;
        for (size_t e : ui(w).library_page->selected_entries()) out.push_back(ui(w).preset_panel->library.entries()[e].name);
        return out;
    }
    int questions(const std::string& text) const
    {
        int n = 0;
        for (const auto& d : hooked_.shown)
            if (d.kind == "choice" && d.text.find(text) != std::string::npos) ++n;
        return n;
    }
    std::string last(const char* kind) const
    {
        for (auto it = hooked_.shown.rbegin(); it != hooked_.shown.rend(); ++it)
            if (it->kind == kind) return it->text;
        return {};
    }
    static bool board_has(Korvane& w, const std::string& text)
    {
        for (const std::string& l : test::board_lines(w))
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    static std::string board(Korvane& w)
    {
        std::string out;
        for (const std::string& l : test::board_lines(w)) out += l + "\n";
        return out;
    }
    std::string dialogs_text() const
    {
        std::string out;
        for (const auto& d : hooked_.shown) out += d.kind + ": " + d.text + "\n";
        return out;
    }

    // `korvane ARGS` against this test's folders, as a program of its own.
    std::string korvane_command(const std::string& args) const
    {
        return "HOME='" + home_ + "' XDG_CONFIG_HOME='" + home_ + "/.config' XDG_STATE_HOME='" + home_ +
               "/.state' HOMEDRIVE='" + home_ + "' '" + std::string(KV_BINARY_DIR) + "/korvane' " + args +
               " >/dev/null 2>&1";
    }
    int korvane(const std::string& args) const { return std::system(korvane_command(args).c_str()); }
    pid_t korvane_in_background(const std::string& args) const
    {
        const std::string cmd = korvane_command(args);
        const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
        pid_t pid = -1;
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
        return pid;
    }
    // Lets the window take its events until `done` holds (true) or `limit`
    // seconds have passed (false).
    static bool pump_until(const std::function<bool()>& done, double limit)
    {
        const auto t0 = Clock::now();
        while (!done()) {
            if (seconds_since(t0) > limit) return false;
            Fl::wait(0.02);
        }
        return true;
    }
    // The whole screen into $KV_SHOTS/<name>.png, when KV_SHOTS is set.
    void shot(Korvane& w, const std::string& name)
    {
        const char* dir = std::getenv("KV_SHOTS");
        if (!dir || !*dir) return;
        w.redraw();
        pump_until([] { return false; }, 0.3);
        Fl::flush();
        const std::string file = std::string(dir) + "/" + name + ".png";
        EXPECT_EQ(std::system(("import -window root '" + file + "' 2>/dev/null || xwd -root -silent | convert xwd:- '" +
                               file + "'").c_str()),
                  0);
    }

    std::string folder_;
    HookedDialogs hooked_;
    std::function<void(const PedalRequest&)> on_request;
};

// --- the window follows the presets folder --------------------------------------

TEST_F(LibraryWindowTest, OutsideChangesShowWithinASecondAndWindowEditsKeepThem)
{
    ASSERT_EQ(access((std::string(KV_BINARY_DIR) + "/korvane").c_str(), X_OK), 0) << "korvane is not built";
    make_library(3);
    Korvane& w = start();
    open_library(w);
    shot(w, "library-page");
    ASSERT_EQ(ui(w).library_page->rows().size(), 3u);
    LibraryController& library = *ui(w).library_controller;

    // An import of 200 presets by the command line while the window runs:
    // the page, the drop-down and the count follow, a few times, not 200.
    std::vector<SharedPreset> presets;
    for (int i = 0; i < 200; ++i) {
        SharedPreset p;
        p.name = "Outside " + std::to_string(1000 + i);
        p.record = slot_record(i % kSlotCount);
        presets.push_back(p);
    }
    const std::string text = encode_sharing_file(presets);
    std::ofstream(home_ + "/many.tessivar.json") << text;
    const int before = library.folder_refreshes();
    const pid_t import = korvane_in_background("presets import '" + home_ + "/many.tessivar.json'");
    ASSERT_GT(import, 0);
    int status = -1;
    ASSERT_TRUE(pump_until([&] { return waitpid(import, &status, WNOHANG) == import; }, 120)) << "the import never ended";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_TRUE(pump_until([&] { return ui(w).library_page->rows().size() == 203u; }, 5))
        << "the page never showed the imported presets: " << ui(w).library_page->rows().size();
    EXPECT_EQ(ui(w).preset_panel->preset_count, 203);
    EXPECT_EQ(std::string(ui(w).preset_panel->count_field->value()), "203");
    const int refreshes = library.folder_refreshes() - before;
    EXPECT_GE(refreshes, 1);
    EXPECT_LE(refreshes, 50) << "one refresh per change";
    std::printf("200 presets imported from outside: %d refreshes of the window\n", refreshes);

    // A tag added by the command line shows within a second.
    ASSERT_EQ(korvane("presets tag 'Lib 2' outside"), 0);
    const auto t0 = Clock::now();
    ASSERT_TRUE(pump_until(
        [&] {
            const int r = row_of(w, "Lib 2");
            if (r < 0) return false;
            const LibraryRow& row = ui(w).library_page->rows()[ui(w).library_page->shown()[size_t(r)]];
            return row.tags == std::vector<std::string>{"outside"};
        },
        1.0))
        << "the outside tag did not show within a second";
    std::printf("outside tag shown after %.3f s\n", seconds_since(t0));

    // The page's editor is filled for "Lib 3"; then the command line tags it
    // and writes its notes, and the window saves a tag of its own before it
    // has seen either: both tags and the outside notes stay.
    ui(w).library_page->select_entry(*ui(w).preset_panel->library.find("Lib 3"));   // a click on its row
    ASSERT_EQ(korvane("presets tag 'Lib 3' cli"), 0);
    ASSERT_EQ(korvane("presets note 'Lib 3' 'written outside'"), 0);
    ui(w).library_page->tags_input->value("mine");
    ui(w).library_page->save_meta_button->do_callback();
    LibraryMeta meta(folder_);
    ASSERT_TRUE(meta.load().ok);
    const PresetMeta* m = meta.find("Lib 3");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->tags, (std::vector<std::string>{"cli", "mine"}));
    EXPECT_EQ(m->notes, "written outside");
    const PresetMeta* m2 = meta.find("Lib 2");
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->tags, std::vector<std::string>{"outside"});

    // "+" after an outside import the window has not seen yet: the list
    // keeps every entry.
    std::ofstream(home_ + "/five.tessivar.json") << encode_sharing_file(std::vector<SharedPreset>(
        presets.begin(), presets.begin() + 5));
    for (SharedPreset& p : presets) p.name = "Five " + p.name;
    std::ofstream(home_ + "/five.tessivar.json") << encode_sharing_file(std::vector<SharedPreset>(
        presets.begin(), presets.begin() + 5));
    ASSERT_EQ(korvane("presets import '" + home_ + "/five.tessivar.json'"), 0);
    ui(w).preset_panel->add_button->do_callback();
    ui(w).preset_prompt->name_input->value("Saved Here");
    ui(w).preset_prompt->name_input->do_callback();   // what typing does
    ui(w).preset_prompt->save_button->do_callback();
    OfflineLibrary on_disk(folder_);
    on_disk.load();
    EXPECT_EQ(on_disk.size(), 209u);
    EXPECT_TRUE(on_disk.find("Saved Here").has_value());
    EXPECT_TRUE(on_disk.find("Five Outside 1004").has_value());
    shot(w, "library-page-after-outside-changes");
}

// --- a move that stops part-way ---------------------------------------------------

TEST_F(LibraryWindowTest, AMoveAfterContinuePastAFailedBackupKeepsThePresetItDisplaced)
{
    Korvane& w = start();
    std::vector<PresetRecord> before;
    for (int s = 0; s < kSlotCount; ++s) before.push_back(slot_record(s));
    // The safety backup's Read All gets no answer; the question that follows
    // is answered "Continue" with the pedal answering again, and the pedal
    // drops off the bus as the move's second store arrives.
    int stores = 0;
    on_request = [&](const PedalRequest& r) {
        if (r.name == "ReadAll") pedal_.set_no_answer(true);
        if (r.name.find("parameters & title") != std::string::npos && ++stores == 2) pedal_.vanish_now();
    };
    hooked_.on_question = [&](const std::string& text) {
        if (text.find("could not be backed up") != std::string::npos) pedal_.set_no_answer(false);
    };
    hooked_.choice_answers = {3, 1};   // "Move here", "Continue"
    ui(w).transport_panel->request_slot_action(KV_TransportPanel::SlotEvent::slot_drop, 1, 29);
    on_request = nullptr;
    ASSERT_EQ(questions("could not be backed up"), 1);

    const std::string alert = last("alert");
    const std::string kept_dir = folder_ + "autobackup/";
    std::vector<std::string> kept;
    if (DIR* d = opendir(kept_dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::strstr(e->d_name, ".lop")) kept.push_back(kept_dir + e->d_name);
        closedir(d);
    }
    ASSERT_EQ(kept.size(), 1u) << alert << "\n" << board(w);
    EXPECT_NE(alert.find(kept.front()), std::string::npos) << alert;
    const PresetFile f = read_preset_file(kept.front());
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(0, std::memcmp(f.record.data(), before[1].data(), kPresetRecordSize)) << "the moved preset";
    EXPECT_TRUE(board_has(w, "as it was"));
    // Slot 2 holds the old slot 3, slot 3 (where it stopped) is not known.
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(1)), "Sound 3");
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(2)), "< unknown >");
}

// --- window and pedal agree after librarian actions ------------------------------

TEST_F(LibraryWindowTest, AfterDiscardEveryRowShowsWhatThePedalHolds)
{
    make_library(4);
    Korvane& w = start();
    open_library(w);
    // Picked: previewed on the selected slot 1, whose row shows it, marked.
    ui(w).library_page->row_picked(row_of(w, "Lib 2"));
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(0)), "Lib 2");
    EXPECT_TRUE(ui(w).transport_panel->unsaved_mark());
    // Another slot, Discard: slot 1's row is the pedal's again.
    hooked_.choice_answers = {1};
    click(ui(w).transport_panel->slots[3].bank_button);
    ASSERT_EQ(questions("Discard the changes to Lib 2?"), 1);
    EXPECT_EQ(ui(w).transport_panel->current_slot, 3);
    for (int s = 0; s < kSlotCount; ++s)
        EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(s)), title_text(pedal_.memory().slots[s].title)) << s;
    EXPECT_FALSE(ui(w).transport_panel->unsaved_mark());
}

TEST_F(LibraryWindowTest, ADraggedRowIsWrittenWithoutSelectingRowsOrTakingTheEditorsName)
{
    make_library(12);
    Korvane& w = start();
    open_library(w);
    KV_LibraryPanel& page = *ui(w).library_page;
    page.row_picked(row_of(w, "Lib 2"));
    page.select_entry(*ui(w).preset_panel->library.find("Lib 2"));
    ASSERT_EQ(selected_names(w), std::vector<std::string>{"Lib 2"});
    const PresetTitle editing = ui(w).transport_panel->edit_name;

    // "Lib 7" pressed and dragged up across five rows, then left onto slot 6.
    Fl_Table_Row& table = *reinterpret_cast<Fl_Table_Row*>(page.table);
    // Cells as the table lays them out (not scrolled): column 1, the name.
    const int top = table.y() + Fl::box_dy(table.box()) + (table.col_header() ? table.col_header_height() : 0);
    const int rx = table.x() + Fl::box_dx(table.box()) + table.col_width(0), rw = table.col_width(1);
    const int rh = table.row_height(0);
    const int ry = top + row_of(w, "Lib 7") * rh;
    const int ty = top + row_of(w, "Lib 2") * rh, th = rh;
    KV_TransportPanel& slots = *ui(w).transport_panel;
    Fl_Widget* target = slots.slots[5].name_field;
    const int drop_x = target->x() + target->w() / 2, drop_y = target->y() + target->h() / 2;
    ASSERT_EQ(slots.row_at(drop_x, drop_y), 5);
    Fl::e_x = Fl::e_x_root = rx + rw / 2;
    Fl::e_y = Fl::e_y_root = ry + rh / 2;
    Fl::e_keysym = FL_Button + 1;
    Fl::e_state = FL_BUTTON1;
    Fl::handle(FL_PUSH, &w);
    ASSERT_EQ(Fl::pushed(), static_cast<Fl_Widget*>(&table)) << "the press did not reach the table at " << rx + rw / 2 << "," << ry + rh / 2 << " table " << table.x() << "," << table.y() << " " << table.w() << "x" << table.h() << " visible " << table.visible_r();
    for (int y = ry + rh / 2; y >= ty + th / 2; y -= 4) {   // up across the rows
        Fl::e_y = Fl::e_y_root = y;
        Fl::handle(FL_DRAG, &w);
    }
    for (int x = rx + rw / 2; x >= drop_x; x -= 20) {   // left to the slot
        Fl::e_x = Fl::e_x_root = x;
        Fl::e_y = Fl::e_y_root = ty + th / 2 + (drop_y - ty - th / 2) * (rx + rw / 2 - x) / std::max(1, rx + rw / 2 - drop_x);
        Fl::handle(FL_DRAG, &w);
    }
    Fl::e_x = Fl::e_x_root = drop_x;
    Fl::e_y = Fl::e_y_root = drop_y;
    Fl::handle(FL_DRAG, &w);
    hooked_.choice_answers = {1};   // "Write"
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, &w);
    Fl::flush();

    ASSERT_EQ(questions("Write \"Lib 7\" into Preset 6"), 1) << dialogs_text();
    EXPECT_EQ(title_text(pedal_.memory().slots[5].title), "Lib 7");
    EXPECT_EQ(title_text(slots.slot_name(5)), "Lib 7");
    // The drag selected nothing and the editor keeps its preset's name.
    EXPECT_EQ(selected_names(w), std::vector<std::string>{"Lib 2"});
    EXPECT_EQ(title_text(slots.edit_name), title_text(editing));
    // The editor still holds Lib 2 unchanged: stepping on asks nothing.
    page.row_picked(row_of(w, "Lib 3"));
    EXPECT_EQ(questions("Discard the changes"), 0);
    EXPECT_EQ(title_text(slots.slot_name(0)), "Lib 3");
}

TEST_F(LibraryWindowTest, ASetlistThatFailsPartWayRereadsTheSlotAndItsMessageFitsTheScreen)
{
    make_library(30);
    Korvane& w = start();
    std::vector<std::string> names;
    for (int i = 1; i <= 30; ++i) names.push_back("Lib " + std::to_string(i));
    ASSERT_EQ(write_setlist(folder_, Setlist{"Long", names}), "");
    open_library(w);
    // The 29th store's header arrives spoiled (one parameter bit): the
    // pedal keeps it, the read-back shows it.
    int stores = 0;
    on_request = [&](const PedalRequest& r) {
        if (r.name.find("parameters & title") != std::string::npos && ++stores == 28) pedal_.spoil_next_headers(2);
    };
    ui(w).library_page->setlist_choice->value(0);
    ui(w).library_page->first_slot_input->value("1");
    hooked_.choice_answers = {1};   // "Send"
    ui(w).library_page->send_button->do_callback();
    on_request = nullptr;

    const std::string alert = last("alert");
    ASSERT_NE(alert.find("stopped at Preset 29"), std::string::npos) << alert;
    // The row and the window's image show what the pedal holds now.
    EXPECT_EQ(title_text(ui(w).transport_panel->slot_name(28)), title_text(pedal_.memory().slots[28].title));
    EXPECT_EQ(0, std::memcmp(image_record(ui(w).work_buffer, 28).data(), slot_record(28).data(), kPresetRecordSize));

    // The message, as the dialog gets it, fits the screen; as written it did not.
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh);
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    auto widest = [](const std::string& text) {
        double most = 0;
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            most = std::max(most, fl_width(text.c_str() + start, int(end - start)));
            start = end + 1;
        }
        return most;
    };
    const std::string wide = alert + " " + alert;   // as on a screen of half the width
    EXPECT_GT(widest(wide), sw - 160);
    EXPECT_LE(widest(wrap_to_screen(wide)), sw - 160);
    EXPECT_LE(widest(wrap_to_screen(alert)), sw - 160);
    EXPECT_EQ(wrap_to_screen("short\nlines"), "short\nlines");

    // The toolkit's own alert with that text: its box and its button on the screen.
    seen_alert = {};
    if (const char* dir = std::getenv("KV_SHOTS"); dir && *dir) seen_alert.shot = std::string(dir) + "/setlist-alert.png";
    Fl::add_timeout(0.2, look_at_alert);
    Dialogs().alert(wide);
    EXPECT_GT(seen_alert.w, 0) << "the alert was never shown";
    EXPECT_LE(seen_alert.w, sw) << "the alert is wider than the screen";
}

TEST_F(LibraryWindowTest, AnArpSequenceThatCouldNotBeReadAtStartIsShownAsSoAndNotEditable)
{
    // Slot 1 plays ARP.FI on DSP-X; its sequence's answer is cut short.
    pedal_.memory().slots[0].parameters.algorithm_x = 32;
    bool cut = false;
    on_request = [&](const PedalRequest& r) {
        if (r.name == "Read preset 0" && !cut) pedal_.set_short_answer(true);
        if (r.name == "GET_ARPDATA" && !cut) {
            cut = true;
            pedal_.set_short_answer(false);
        }
    };
    Korvane& w = start();
    on_request = nullptr;
    ASSERT_TRUE(cut);
    pick_tab(ui(w).arp_editor);
    KV_ArpEditor& arp = *ui(w).arp_editor;
    EXPECT_TRUE(arp.sequence_unread(Engine::X)) << board(w);
    EXPECT_FALSE(arp.core(Engine::X).editing_active());
    EXPECT_FALSE(arp.save_button->active());
    EXPECT_FALSE(arp.slot_choice->active());
    EXPECT_TRUE(board_has(w, "Arp sequence of DSP-X could not be read."));
    shot(w, "arp-editor-unread");

    // No sequence button is lit; clicking one reads it: editing comes back.
    for (const Fl_Button* b : arp.core(Engine::X).sequence_buttons) EXPECT_EQ(b->value(), 0);
    arp.core(Engine::X).sequence_buttons[0]->do_callback();
    EXPECT_FALSE(arp.sequence_unread(Engine::X));
    EXPECT_TRUE(arp.core(Engine::X).editing_active());
}

}  // namespace
}  // namespace kv
