// `korvane copy` and `korvane swap` against the simulated pedal through the
// in-process driver: what the slots hold afterwards, the question before the
// pedal is overwritten, the safety backup that a swap takes first (and its
// refusal to go on without one unless --no-backup), and usage errors that
// send nothing.

#include "cli/Terminal.h"
#include "link/InProcessDriver.h"
#include "ops/AutoBackup.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "tests/support/CliPedal.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace kv {
namespace {

class CliSlotsTest : public ::testing::Test, protected test::CliPedal {
protected:
    CliSlotsTest()
    {
        // The pedal's presets hold the programs that bin/'s library builds, as
        // a pedal whose presets were stored by this program does.
        pedal.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        for (int s = 0; s < kSlotCount; ++s) pedal.memory().slots[s].title = make_title("Slot " + std::to_string(s + 1));
        pedal.memory().slots[6].parameters.flags |= bits::kAutoStomp | bits::kBypassOnPc;
    }
    std::string backup_folder() const { return drive + "/Brakwell/Korvane/presets/autobackup/"; }

    test::ScratchHome home{"kv_cli_slots_", false};
    const std::string drive = home.path();
};

TEST_F(CliSlotsTest, CopyAndSwapMoveWholePresetsAfterAsking)
{
    const PedalMemory before = pedal.memory();

    // Without --yes and no terminal: refused, nothing stored.
    EXPECT_EQ(run({"copy", "7", "12"}), 2);
    EXPECT_FALSE(stored_any());
    EXPECT_NE(err.find("Copy preset 7 (\"Slot 7\") over preset 12 (\"Slot 12\")"), std::string::npos);

    ASSERT_EQ(run({"copy", "--yes", "7", "12"}), 0) << err;
    EXPECT_EQ(out, "Preset 12 now holds \"Slot 7\" (verified).\n");
    EXPECT_TRUE(pedal.memory().slots[11] == before.slots[6]);
    EXPECT_TRUE(pedal.memory().slots[11].parameters.auto_stomp());
    EXPECT_TRUE(pedal.memory().slots[11].parameters.bypass_on_pc());

    ASSERT_EQ(run({"swap", "--yes", "1", "7"}), 0) << err;
    EXPECT_EQ(out, "Preset 1 now holds \"Slot 7\", preset 7 \"Slot 1\" (verified).\n");
    EXPECT_TRUE(pedal.memory().slots[0] == before.slots[6]);
    EXPECT_TRUE(pedal.memory().slots[6] == before.slots[0]);
    // The swap kept the pedal as it was in the presets folder's autobackup/.
    const std::vector<std::string> backups = ops::list_auto_backups(backup_folder());
    ASSERT_EQ(backups.size(), 1u);
    const FileRead bkp = read_file_limited(backups[0], kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    ASSERT_EQ(bkp.bytes.size(), kPresetImageSize);
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 0)), "Slot 1");
    EXPECT_EQ(title_text(image_title(bkp.bytes.data(), 11)), "Slot 7");   // after the copy, before the swap
}

TEST_F(CliSlotsTest, SwapRefusesWithoutItsSafetyBackupUnlessToldNotToMakeOne)
{
    const PedalMemory before = pedal.memory();
    // Something in the way of the backup folder.
    ensure_data_folder(drive);
    std::FILE* f = std::fopen((drive + "/Brakwell/Korvane/presets/autobackup").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    EXPECT_EQ(run({"swap", "--yes", "3", "4"}), 1);
    EXPECT_FALSE(stored_any());
    EXPECT_NE(err.find("Safety backup failed."), std::string::npos);
    EXPECT_NE(err.find("Give --no-backup to swap without one."), std::string::npos);
    EXPECT_TRUE(pedal.memory() == before);

    ASSERT_EQ(run({"swap", "--yes", "--no-backup", "3", "4"}), 0) << err;
    EXPECT_TRUE(pedal.memory().slots[2] == before.slots[3]);
    EXPECT_TRUE(pedal.memory().slots[3] == before.slots[2]);
}

TEST_F(CliSlotsTest, ASwapThatStopsHalfWayNamesTheBackupToRestore)
{
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 1 parameters & title") pedal.set_no_answer(true);
    };
    EXPECT_EQ(run({"swap", "--yes", "2", "9"}), 1);
    const std::vector<std::string> backups = ops::list_auto_backups(backup_folder());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(err.find("put them back with: korvane restore --yes " + backups[0]), std::string::npos) << err;

    // Without a backup the two records are printed instead.
    pedal.set_no_answer(false);
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 1 parameters & title") pedal.set_no_answer(true);
    };
    const PresetRecord second{pedal.memory().slots[8].parameters, pedal.memory().slots[8].title};
    EXPECT_EQ(run({"swap", "--yes", "--no-backup", "2", "9"}), 1);
    EXPECT_NE(err.find("preset 9: "), std::string::npos) << err;
    char first_byte[4];
    std::snprintf(first_byte, sizeof first_byte, "%02X", second.parameters.flags);
    EXPECT_NE(err.find(std::string("preset 9: ") + first_byte), std::string::npos) << err;
}

TEST_F(CliSlotsTest, RestoreLeavesASafetyBackupOfThePedalAsItWas)
{
    // A backup file of other presets to restore.
    std::vector<uint8_t> other(kPresetImageSize);
    for (int s = 0; s < kSlotCount; ++s) {
        PresetParameters p = pedal.memory().slots[s].parameters;
        p.depth_x = uint8_t(s * 3);
        set_image_parameters(other.data(), s, p);
        set_image_title(other.data(), s, make_title("Restored " + std::to_string(s)));
    }
    const std::string file = drive + "/other.bkp";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(other.data(), 1, other.size(), f), other.size());
    std::fclose(f);

    std::vector<uint8_t> before(kPresetImageSize);
    for (int s = 0; s < kSlotCount; ++s) {
        set_image_parameters(before.data(), s, pedal.memory().slots[s].parameters);
        set_image_title(before.data(), s, pedal.memory().slots[s].title);
    }
    const auto globals_before = pedal.memory().globals;

    ASSERT_EQ(run({"restore", "--yes", file}), 0) << err;
    EXPECT_EQ(title_text(pedal.memory().slots[7].title), "Restored 7");
    const std::vector<std::string> backups = ops::list_auto_backups(backup_folder());
    ASSERT_EQ(backups.size(), 1u);
    const FileRead bkp = read_file_limited(backups[0], kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_EQ(bkp.bytes, before);
    const FileRead glo = read_file_limited(backups[0].substr(0, backups[0].size() - 4) + ".globals", kDataFileLimit);
    ASSERT_TRUE(glo.ok());
    EXPECT_EQ(glo.bytes, std::vector<uint8_t>(globals_before.begin(), globals_before.end()));
    // Restoring the safety backup gives the pedal its presets back.
    ASSERT_EQ(run({"restore", "--yes", backups[0]}), 0) << err;
    EXPECT_EQ(title_text(pedal.memory().slots[7].title), "Slot 8");

    // A backup that cannot be written stops the restore before anything is sent.
    for (const std::string& b : ops::list_auto_backups(backup_folder())) {
        std::remove(b.c_str());
        std::remove((b.substr(0, b.size() - 4) + ".globals").c_str());
    }
    ASSERT_EQ(::rmdir(backup_folder().c_str()), 0);
    f = std::fopen((drive + "/Brakwell/Korvane/presets/autobackup").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(run({"restore", "--yes", file}), 1);
    EXPECT_FALSE(stored_any());
    EXPECT_NE(err.find("Give --no-backup to go on without one."), std::string::npos) << err;
    ASSERT_EQ(run({"restore", "--yes", "--no-backup", file}), 0) << err;
    EXPECT_EQ(title_text(pedal.memory().slots[7].title), "Restored 7");
}

TEST_F(CliSlotsTest, RestoringTheOldestOfTenSafetyBackupsKeepsItForTheNextTry)
{
    for (int i = 0; i < 10; ++i) ASSERT_EQ(run({"swap", "--yes", "1", "2"}), 0) << err;
    const std::vector<std::string> ten = ops::list_auto_backups(backup_folder());
    ASSERT_EQ(ten.size(), 10u);
    const std::string oldest = ten.front();
    const PedalMemory first = pedal.memory();

    // The restore takes a safety backup first (the eleventh), then fails part way.
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 15 parameters & title") pedal.set_no_answer(true);
    };
    EXPECT_EQ(run({"restore", "--yes", oldest}), 1);
    EXPECT_NE(err.find("storing slot 16 failed"), std::string::npos) << err;
    EXPECT_TRUE(file_exists(oldest));
    EXPECT_TRUE(file_exists(oldest.substr(0, oldest.size() - 4) + ".globals"));
    const std::vector<std::string> after = ops::list_auto_backups(backup_folder());
    EXPECT_EQ(after.size(), 10u);
    EXPECT_EQ(after.front(), oldest);
    // The backup taken just now is there too: it is what the pedal held.
    EXPECT_EQ(after.back().find(backup_folder() + "Tessivar_AutoBackup_000011_"), 0u) << after.back();

    // The next try with the same file succeeds and keeps it again.
    on_request = nullptr;
    pedal.set_no_answer(false);
    ASSERT_EQ(run({"restore", "--yes", oldest}), 0) << err;
    EXPECT_TRUE(file_exists(oldest));
    const FileRead image = read_file_limited(oldest, kDataFileLimit);
    ASSERT_TRUE(image.ok());
    for (int s = 0; s < kSlotCount; ++s) {
        EXPECT_EQ(0, std::memcmp(pedal.memory().slots[s].parameters.data(), image.bytes.data() + s * kPresetParametersSize,
                                 kPresetParametersSize));
    }
    (void)first;
}

// One operation, one open: a command holds the pedal from its first exchange
// to its end. A pedal another program holds is named, nothing is sent and
// the command fails with status 1.
TEST_F(CliSlotsTest, ACommandOpensThePedalOnceAndAPedalInUseIsNamed)
{
    const std::string file = drive + "/one.lop";
    const std::string image = drive + "/all.bkp";
    const std::vector<std::vector<std::string>> commands = {
        {"list"},
        {"read", "1", file},
        {"write", "--yes", "3", file},
        {"copy", "--yes", "7", "12"},
        {"swap", "--yes", "--no-backup", "1", "2"},
        {"backup", image},
        {"restore", "--yes", image},
        {"globals", "show"},
    };
    for (const auto& args : commands) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        driver.clear_log();
        ASSERT_EQ(run(args), 0) << err;
        EXPECT_EQ(driver.open_count(), 1) << "the port stays open for the whole command";
        EXPECT_EQ(driver.close_count(), 1);
        EXPECT_FALSE(driver.is_open());
    }

    driver.set_held_by(4242);
    for (const auto& args : commands) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(run(args), 1);
        const std::string told = "korvane " + args[0] + ": the pedal is in use by another program (pid 4242).\n";
        ASSERT_NE(err.find(told), std::string::npos) << err;
        EXPECT_EQ(err.find(told), err.rfind(told)) << "said once";
        EXPECT_EQ(err.find("no pedal found"), std::string::npos) << err;
        EXPECT_TRUE(requests.empty());
    }
    driver.set_held_by(0);
    EXPECT_EQ(run({"list"}), 0) << err;
}

// Each slot command asks before it overwrites anything; a "no" at the
// terminal stores nothing, takes no safety backup and ends with status 3
// (the user declined), a "yes" goes on.
TEST_F(CliSlotsTest, EverySlotCommandAnsweredNoStoresNothingAndExitsThree)
{
    const std::vector<std::vector<std::string>> commands = {{"copy", "3", "12"}, {"swap", "3", "12"}, {"move", "3", "12"}};
    auto backups = [this] {
        std::error_code ignored;
        const auto files = std::filesystem::directory_iterator(backup_folder(), ignored);
        return std::distance(begin(files), end(files));
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const auto before = backups();
        answer = "n";
        EXPECT_EQ(run(args), 3) << err;
        EXPECT_NE(err.find("[y/N]"), std::string::npos) << err;
        EXPECT_FALSE(stored_any());
        EXPECT_EQ(backups(), before);
        answer = "y";
        EXPECT_EQ(run(args), 0) << err;
        EXPECT_TRUE(stored_any());
    }
}

TEST_F(CliSlotsTest, UsageErrorsSendNothing)
{
    const std::vector<std::vector<std::string>> bad = {
        {"copy"},          {"copy", "1"},          {"copy", "1", "2", "3"}, {"copy", "0", "2"},
        {"copy", "1", "33"}, {"copy", "4", "4"},   {"copy", "x", "2"},      {"swap", "1"},
        {"swap", "-1", "2"}, {"swap", "5", "5"},   {"swap", "1", "100"},    {"swap", "1", "2.0"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        std::vector<std::string> with_yes = args;
        with_yes.push_back("--yes");
        EXPECT_EQ(run(with_yes), 2);
        EXPECT_TRUE(requests.empty());
        EXPECT_NE(err.find("Usage: korvane " + args[0]), std::string::npos) << err;
    }
}

} // namespace
} // namespace kv
