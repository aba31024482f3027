// The offline list, its save prompt, and backup and restore from the main
// window, against the simulated pedal through the in-process driver with a
// manual clock: files on disk, what the list shows, what the pedal plays,
// and that failed writes, bad files and cancelled questions lose nothing.

// GoogleTest and the pedal model before the toolkit: the X11 headers define None and Bool.
#include <filesystem>
#include <gtest/gtest.h>
#include "sim/PedalModel.h"

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/KorvaneTestAccess.h"
#include "editor/KV_Parameters.h"
#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"
#include "library/KV_TransportPanel.h"
#include "library/core/BackupFile.h"
#include "library/core/OfflinePresets.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/ProgramImage.h"
#include "widgets/TextInput.h"
#include "tests/support/WindowFixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Toggle_Button.H>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

PresetParameters params_with(uint8_t volume, AlgorithmId x, AlgorithmId y, uint8_t depth)
{
    PresetParameters p = default_parameters();
    p.volume = volume;
    p.algorithm_x = x;
    p.algorithm_y = y;
    p.depth_x = depth;
    return p;
}

class OfflineTest : public test::WindowTest {
protected:
    OfflineTest() : WindowTest("korvane_offline_") {}
    void SetUp() override
    {
        WindowTest::SetUp();
        folder_ = home_ + "/Brakwell/Korvane/presets/";
        record_commands();
    }

    // The pedal goes on the driver as the window is built.
    Korvane& start()
    {
        attach_pedal();
        return WindowTest::start();
    }
    void after_start() override { commands_.clear(); }

    // "+", a name typed, "Save".
    void save_as(Korvane& w, const std::string& name)
    {
        ui(w).preset_panel->add_button->do_callback();
        ASSERT_TRUE(ui(w).preset_prompt->visible());
        ui(w).preset_prompt->name_input->value(name.c_str());
        ui(w).preset_prompt->name_input->do_callback();   // what typing does
        ui(w).preset_prompt->save_button->do_callback();
    }
    std::vector<std::string> listed(const Korvane& w) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < ui(w).preset_panel->preset_count; ++i) out.push_back(ui(w).preset_panel->name_of(i));
        return out;
    }
    std::string list_file() const
    {
        const Bytes b = slurp(folder_ + "presets.lst");
        return std::string(b.begin(), b.end());
    }
    int alerts() const
    {
        int n = 0;
        for (const auto& s : dialogs_.shown) n += s.kind == "alert" ? 1 : 0;
        return n;
    }
    std::string last_alert() const
    {
        for (auto it = dialogs_.shown.rbegin(); it != dialogs_.shown.rend(); ++it)
            if (it->kind == "alert") return it->text;
        return {};
    }
    bool sent(uint8_t command) const
    {
        for (uint8_t c : commands_)
            if (c == command) return true;
        return false;
    }

    std::string folder_;
};

TEST_F(OfflineTest, SavingCleansTheNameWritesTheFileAndListsIt)
{
    Korvane& w = start();
    ui(w).dashboard->load_parameters(params_with(5, 4, 12, 99));
    ui(w).preset_panel->add_button->do_callback();
    EXPECT_TRUE(ui(w).preset_prompt->visible());
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_FALSE(ui(w).preset_panel->active());
    EXPECT_STREQ(ui(w).preset_prompt->name_input->value(), KV_PresetPrompt::kNameHint);
    EXPECT_EQ(ui(w).preset_panel->add_button->value(), 0);

    // Save with nothing typed: the alert, the prompt stays.
    ui(w).preset_prompt->save_button->do_callback();
    EXPECT_EQ(last_alert(), "Please type in the preset name in the provided space.");
    EXPECT_TRUE(ui(w).preset_prompt->visible());
    EXPECT_FALSE(exists(folder_ + KV_PresetPrompt::kNameHint + std::string(".lop")));

    ui(w).preset_prompt->name_input->value("Lead/Solo & Co");
    ui(w).preset_prompt->name_input->do_callback();
    ui(w).preset_prompt->save_button->do_callback();
    EXPECT_STREQ(ui(w).preset_prompt->name_input->value(), "Lead-Solo n Co");
    EXPECT_FALSE(ui(w).preset_prompt->visible());
    EXPECT_TRUE(ui(w).dashboard->active());
    EXPECT_TRUE(ui(w).preset_panel->active());
    EXPECT_EQ(listed(w), std::vector<std::string>{"Lead-Solo n Co"});
    EXPECT_EQ(ui(w).preset_panel->selected(), 0);
    EXPECT_STREQ(ui(w).preset_panel->count_field->value(), "1");
    const Bytes file = slurp(folder_ + "Lead-Solo n Co.lop");
    ASSERT_EQ(file.size(), 14u + 48u);
    EXPECT_EQ(0, std::memcmp(file.data() + 15, ui(w).dashboard->params.data(), kPresetParametersSize));
    EXPECT_EQ(0, std::memcmp(file.data() + 50, ui(w).transport_panel->edit_name.text, kPresetTitleSize));
    EXPECT_EQ(list_file(), folder_ + "Lead-Solo n Co.lop\n");
    EXPECT_EQ(alerts(), 1);
}

TEST_F(OfflineTest, AListThatCannotBeReadIsShownAndNeverRewritten)
{
    // A list over the limit: thousands of entries the program cannot load.
    ensure_data_folder(home_);
    const std::string list = folder_ + "presets.lst";
    {
        std::FILE* f = std::fopen(list.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    ASSERT_EQ(::truncate(list.c_str(), off_t(kPresetListReadLimit) + 10), 0);

    Korvane& w = start();
    EXPECT_NE(last_alert().find("The list of offline presets could not be read."), std::string::npos) << last_alert();
    EXPECT_NE(last_alert().find("larger than the limit"), std::string::npos) << last_alert();
    EXPECT_EQ(ui(w).preset_panel->preset_count, 0);

    save_as(w, "Kept apart");
    EXPECT_NE(last_alert().find("The preset could not be saved; nothing was changed."), std::string::npos);
    EXPECT_NE(last_alert().find("could not be read, so nothing is changed"), std::string::npos) << last_alert();
    EXPECT_FALSE(exists(folder_ + "Kept apart.lop"));
    struct stat st {};
    ASSERT_EQ(::stat(list.c_str(), &st), 0);
    EXPECT_EQ(size_t(st.st_size), kPresetListReadLimit + 10);
}

TEST_F(OfflineTest, ReplacingAsksFirstAndBadNamesOrFailedWritesChangeNothing)
{
    Korvane& w = start();
    save_as(w, "Clean");
    save_as(w, "Lead");
    ASSERT_EQ(listed(w), (std::vector<std::string>{"Clean", "Lead"}));

    // "clean": asked; Cancel leaves everything and the prompt open.
    dialogs_.choice_answers = {0};
    save_as(w, "clean");
    EXPECT_EQ(dialogs_.shown.back().text, "A preset with the same name already exists, continue to replace?");
    EXPECT_TRUE(ui(w).preset_prompt->visible());
    EXPECT_FALSE(ui(w).dashboard->active());
    EXPECT_TRUE(exists(folder_ + "Clean.lop"));
    // "Yes just replace it": Clean goes, clean is the last item.
    dialogs_.choice_answers = {1};
    ui(w).preset_prompt->save_button->do_callback();
    EXPECT_EQ(listed(w), (std::vector<std::string>{"Lead", "clean"}));
    EXPECT_FALSE(exists(folder_ + "Clean.lop"));
    EXPECT_TRUE(exists(folder_ + "clean.lop"));
    EXPECT_EQ(list_file(), folder_ + "Lead.lop\n" + folder_ + "clean.lop\n");

    // Names that cannot be file names: refused, nothing written.
    const std::string list_before = list_file();
    for (const char* bad : {"..", ".", "tab\there", "0123456789012345678901234567890123456789"}) {
        const int before = alerts();
        save_as(w, bad);
        EXPECT_EQ(alerts(), before + 1) << bad;
        EXPECT_TRUE(ui(w).preset_prompt->visible()) << bad;
        ui(w).preset_prompt->cancel_button->do_callback();
    }
    EXPECT_EQ(list_file(), list_before);
    EXPECT_EQ(listed(w).size(), 2u);

    // A file that cannot be written: reported, not listed, the replaced
    // preset kept.
    ASSERT_EQ(mkdir((folder_ + "Blocked.lop").c_str(), 0755), 0);
    save_as(w, "Blocked");
    EXPECT_NE(last_alert().find("could not be saved"), std::string::npos);
    EXPECT_EQ(listed(w).size(), 2u);
    EXPECT_EQ(list_file(), list_before);
    EXPECT_TRUE(ui(w).preset_prompt->visible());
}

TEST_F(OfflineTest, AddingFilesCopiesThemUnderTheirNameLoadsAndPlaysThem)
{
    Korvane& w = start();
    const PresetParameters vibe = params_with(7, 20, 5, 44);
    const std::string outside = home_ + "/shared_by_a_friend.lop";
    put(outside, encode_preset_file("Warm Vibe", PresetRecord{vibe, make_title("Vibe")}));
    const std::string hostile = home_ + "/evil.lop";
    put(hostile, encode_preset_file("../../escape", PresetRecord{vibe, make_title("Evil")}));
    const std::string damaged = home_ + "/damaged.lop";
    put(damaged, Bytes{'a', 'b', '\n', 1, 2, 3});

    ui(w).preset_panel->add_button->do_callback();
    dialogs_.file_answers = {{outside}};
    ui(w).preset_prompt->add_files_button->do_callback();
    EXPECT_EQ(listed(w), std::vector<std::string>{"Warm Vibe"});
    EXPECT_EQ(slurp(folder_ + "Warm Vibe.lop"), slurp(outside));
    // The Dashboard holds (and sends) the block as it loads every block.
    EXPECT_EQ(0, std::memcmp(ui(w).dashboard->params.data(), loaded_parameters(vibe).data(), kPresetParametersSize));
    EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), loaded_parameters(vibe).data(), kPresetParametersSize));
    EXPECT_TRUE(sent(0xC5));
    EXPECT_TRUE(sent(0xC6));
    EXPECT_FALSE(ui(w).preset_prompt->visible());
    EXPECT_EQ(title_text(ui(w).transport_panel->edit_name), "Vibe");

    // A file that already is the library's own is listed, not copied again.
    struct stat before {};
    ::stat((folder_ + "Warm Vibe.lop").c_str(), &before);
    ui(w).preset_panel->add_button->do_callback();
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{folder_ + "Warm Vibe.lop"}};
    ui(w).preset_prompt->add_files_button->do_callback();
    struct stat after {};
    ::stat((folder_ + "Warm Vibe.lop").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(listed(w), std::vector<std::string>{"Warm Vibe"});
    EXPECT_TRUE(exists(folder_ + "Warm Vibe.lop"));

    // A name from a file is cleaned like a typed one: it cannot leave the folder.
    ui(w).preset_panel->add_button->do_callback();
    dialogs_.file_answers = {{hostile}};
    ui(w).preset_prompt->add_files_button->do_callback();
    EXPECT_EQ(listed(w), (std::vector<std::string>{"Warm Vibe", "..-..-escape"}));
    EXPECT_TRUE(exists(folder_ + "..-..-escape.lop"));
    EXPECT_FALSE(exists(home_ + "/escape.lop"));

    // A damaged file: reported; nothing listed, loaded or sent.
    commands_.clear();
    const PresetParameters shown = ui(w).dashboard->params;
    ui(w).preset_panel->add_button->do_callback();
    dialogs_.file_answers = {{damaged}};
    ui(w).preset_prompt->add_files_button->do_callback();
    EXPECT_NE(last_alert().find("damaged.lop"), std::string::npos);
    EXPECT_EQ(listed(w).size(), 2u);
    EXPECT_EQ(0, std::memcmp(ui(w).dashboard->params.data(), shown.data(), kPresetParametersSize));
    EXPECT_TRUE(commands_.empty());
    EXPECT_FALSE(ui(w).preset_prompt->visible());
}

TEST_F(OfflineTest, PickingAndRemovingLoadAndPlayTheRightPreset)
{
    Korvane& w = start();
    const PresetParameters p[3] = {params_with(4, 3, 10, 1), params_with(5, 6, 11, 2), params_with(8, 9, 12, 3)};
    const char* names[3] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; ++i) {
        ui(w).dashboard->load_parameters(p[i]);
        save_as(w, names[i]);
    }
    ui(w).dashboard->load_parameters(default_parameters());

    // Picking "Two" loads it and plays it.
    ui(w).preset_panel->select(1);
    ui(w).preset_panel->load_selected();
    EXPECT_EQ(0, std::memcmp(ui(w).dashboard->params.data(), loaded_parameters(p[1]).data(), kPresetParametersSize));
    EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), loaded_parameters(p[1]).data(), kPresetParametersSize));

    // Reading a slot of the pedal, or an edit, takes the selection away.
    ui(w).transport_panel->select_slot(3);
    ui(w).transport_panel->on_request({KV_TransportPanel::SlotEvent::slot_selected, {}});
    EXPECT_EQ(ui(w).preset_panel->selected(), -1);
    ui(w).preset_panel->select(1);
    ui(w).preset_panel->load_selected();
    ASSERT_EQ(ui(w).preset_panel->selected(), 1);
    ui(w).dashboard->on_preview(PreviewRequest::parameters);
    EXPECT_EQ(ui(w).preset_panel->selected(), -1);

    // "X" with nothing selected.
    ui(w).preset_panel->clear_selection();
    ui(w).preset_panel->remove_button->do_callback();
    EXPECT_EQ(last_alert(), "Please select the preset you wish to remove from the list.");
    EXPECT_EQ(ui(w).preset_panel->remove_button->value(), 0);

    // Removing the last of three selects, loads and plays the new last; a
    // cancelled question removes nothing.
    ui(w).preset_panel->select(2);
    dialogs_.choice_answers = {0};
    ui(w).preset_panel->remove_button->do_callback();
    EXPECT_EQ(listed(w).size(), 3u);
    // The preset loaded after the removal replaces the unsaved edit (the
    // offline preset picked earlier over slot 4's): that is asked about too.
    dialogs_.choice_answers = {1, 1};
    ui(w).preset_panel->remove_button->do_callback();
    ASSERT_GE(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[dialogs_.shown.size() - 2].text, "Confirm to remove the selected preset?");
    EXPECT_EQ(dialogs_.shown.back().text.rfind("Discard the changes to ", 0), 0u);
    EXPECT_EQ(listed(w), (std::vector<std::string>{"One", "Two"}));
    EXPECT_FALSE(exists(folder_ + "Three.lop"));
    EXPECT_EQ(ui(w).preset_panel->selected(), 1);
    EXPECT_EQ(0, std::memcmp(pedal_.playing().parameters.data(), loaded_parameters(p[1]).data(), kPresetParametersSize));
    EXPECT_STREQ(ui(w).preset_panel->count_field->value(), "2");

    // A picked file that went away: reported, nothing loaded or sent.
    std::remove((folder_ + "One.lop").c_str());
    commands_.clear();
    ui(w).preset_panel->select(0);
    ui(w).preset_panel->load_selected();
    EXPECT_NE(last_alert().find("One.lop"), std::string::npos);
    EXPECT_TRUE(commands_.empty());
    EXPECT_EQ(0, std::memcmp(ui(w).dashboard->params.data(), loaded_parameters(p[1]).data(), kPresetParametersSize));

    // Removing down to none leaves an empty list and loads nothing.
    dialogs_.choice_answers = {1, 1, 1};
    ui(w).preset_panel->select(0);
    ui(w).preset_panel->remove_button->do_callback();
    commands_.clear();
    ui(w).preset_panel->select(0);
    ui(w).preset_panel->remove_button->do_callback();
    EXPECT_TRUE(listed(w).empty());
    EXPECT_EQ(ui(w).preset_panel->preset_list->size(), 0);
    EXPECT_TRUE(commands_.empty());
    EXPECT_EQ(list_file(), "");

    // Tips.
    ui(w).preset_panel->add_button->do_callback();
    ui(w).preset_prompt->tips_button->do_callback();
    EXPECT_EQ(dialogs_.shown.back().kind, "message");
    EXPECT_EQ(dialogs_.shown.back().text, Korvane::offline_tips_text());
}

TEST_F(OfflineTest, BackupAndRestoreFromTheWindow)
{
    for (int s = 0; s < kSlotCount; ++s) pedal_.memory().slots[size_t(s)].title = make_title("Saved " + std::to_string(s));
    Korvane& w = start();

    // A backup asked for and cancelled writes nothing.
    dialogs_.choice_answers = {0};
    w.backup_presets();
    EXPECT_EQ(dialogs_.shown.back().text, ops::kBackupQuestion);
    const auto backups = [&] {
        std::vector<std::string> found;
        std::error_code none;   // no presets folder before the first file
        for (const auto& e : std::filesystem::directory_iterator(folder_, none))
            if (e.path().filename().string().rfind("Tessivar_Backup_", 0) == 0) found.push_back(e.path().string());
        return found;
    };
    EXPECT_TRUE(backups().empty());
    dialogs_.choice_answers = {1};
    w.backup_presets();
    ASSERT_EQ(backups().size(), 1u);
    const std::string path = backups().front();
    // Another at once never replaces it.
    dialogs_.choice_answers = {1};
    w.backup_presets();
    ASSERT_EQ(backups().size(), 2u);
    EXPECT_EQ(slurp(backups().front()), slurp(backups().back()));
    for (const std::string& b : backups())
        if (b != path) std::filesystem::remove(b);
    // Save as...: the chooser opens in the presets folder with the dated
    // name; the file goes where it says, ".bkp" added to a bare name.
    dialogs_.choice_answers = {2};
    dialogs_.file_answers = {{folder_ + "Before the gig"}};
    const size_t before_save = dialogs_.shown.size();
    w.backup_presets();
    ASSERT_GT(dialogs_.shown.size(), before_save + 1);
    EXPECT_EQ(dialogs_.shown[before_save + 1].kind, "save");   // after the question
    EXPECT_EQ(dialogs_.suggested.rfind(folder_ + "Tessivar_Backup_", 0), 0u) << dialogs_.suggested;
    ASSERT_TRUE(exists(folder_ + "Before the gig.bkp"));
    EXPECT_EQ(slurp(folder_ + "Before the gig.bkp"), slurp(path));
    std::filesystem::remove(folder_ + "Before the gig.bkp");
    // Save as... cancelled writes nothing.
    dialogs_.choice_answers = {2};
    w.backup_presets();
    EXPECT_EQ(backups().size(), 1u);
    const Bytes backup = slurp(path);
    ASSERT_EQ(backup.size(), kPresetImageSize);
    EXPECT_EQ(0, std::memcmp(backup.data() + slot_title_offset(9), pedal_.memory().slots[9].title.text, 12));

    // The pedal changes; a restore whose chooser is cancelled stores nothing
    // but reads everything again, and gives every control back.
    for (auto& slot : pedal_.memory().slots) slot.title = make_title("Changed");
    commands_.clear();
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {};
    w.restore_presets();
    EXPECT_FALSE(sent(0x40));
    EXPECT_TRUE(sent(0xC4));
    EXPECT_TRUE(ui(w).menu_button->active());
    EXPECT_TRUE(ui(w).write_button->active());

    // The restore of the backup brings every title back.
    commands_.clear();
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{path}};
    w.restore_presets();
    EXPECT_EQ(title_text(pedal_.memory().slots[9].title), "Saved 9");
    EXPECT_EQ(title_text(pedal_.memory().slots[31].title), "Saved 31");
    // Each preset went with the programs built for its block.
    const AlgorithmLibrary library(std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc");
    ASSERT_TRUE(library.usable());
    for (int s : {0, 9, 31}) {
        const PedalSlot& slot = pedal_.memory().slots[size_t(s)];
        const ops::SlotPrograms p = ops::library_programs(library)(slot.parameters);
        EXPECT_EQ(0, std::memcmp(p.x.bytes, slot.program_x.bytes, kDspProgramSize)) << s;
        EXPECT_EQ(0, std::memcmp(p.y.bytes, slot.program_y.bytes, kDspProgramSize)) << s;
    }
    bool restored_message = false;
    for (const auto& s : dialogs_.shown) restored_message |= s.text == "Your pedal has been restored from backup.";
    EXPECT_TRUE(restored_message);
    EXPECT_NE(ui(w).text_board->contents().find("  > Presets restore successful."), std::string::npos);
    EXPECT_TRUE(ui(w).dashboard->active());

    // A file that is not a backup: "File error", nothing stored, read again.
    const std::string bad = folder_ + "bad.bkp";
    put(bad, Bytes(1000, 1));
    commands_.clear();
    dialogs_.choice_answers = {1};
    dialogs_.file_answers = {{bad}};
    w.restore_presets();
    EXPECT_FALSE(sent(0x40));
    EXPECT_TRUE(sent(0xC4));
    EXPECT_EQ(last_alert().rfind("A problem is encountered while trying to access the backup file.", 0), 0u);
}

}  // namespace
}  // namespace kv
