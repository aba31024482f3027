// Copying and swapping slots, and the safety backups taken before the
// pedal's presets are overwritten, against the simulated pedal on a
// hand-driven clock: what each slot holds afterwards (record and programs),
// what a failure half way leaves and how it is undone, and the backups'
// names, contents and count.

#include "cli/Terminal.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/AutoBackup.h"
#include "ops/Backup.h"
#include "ops/Slots.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "preset/AlgorithmLibrary.h"
#include "sim/FactoryData.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <array>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

namespace kv {
namespace {

// The operations' recording reporter with a clock that names the backups.
struct RecordingReporter : test::RecordingReporter {
    LocalTime stamp{2026, 12, 7, 10, 48, 0};
    LocalTime now() override { return stamp; }
    std::vector<std::string> questions() const
    {
        std::vector<std::string> q;
        for (const auto& d : dialogs)
            if (d.rfind("choice:", 0) == 0) q.push_back(d.substr(7));
        return q;
    }
};

bool write_file(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs("x", f);
    return std::fclose(f) == 0;
}

class SlotsTest : public ::testing::Test {
protected:
    SlotsTest()
    {
        pedal.set_memory(factory_memory(std::string(KV_SOURCE_DIR) + "/bin"));
        // Titles and switches that tell the slots apart.
        for (int s = 0; s < kSlotCount; ++s) {
            pedal.memory().slots[s].title = make_title("Slot " + std::to_string(s + 1));
        }
        pedal.memory().slots[2].parameters.flags |= bits::kAutoStomp;
        pedal.memory().slots[2].parameters.reserved[0] = 0x5A;
        pedal.memory().slots[9].parameters.flags |= bits::kBypassOnPc;
        driver.attach(kPedalDescription, "TV000001", &pedal);
        pedal.set_request_observer([this](const PedalRequest& r) {
            requests.push_back(r.name);
            if (on_request) on_request(r);
        });
        link.set_console([this](const std::string& s) { console += s; });
        link.set_event_pump([this] { clock.advance(0.001); });
        EXPECT_TRUE(library.usable());
    }
    ~SlotsTest() override
    {
        for (const std::string& p : ops::list_auto_backups(folder)) {
            std::remove(p.c_str());
            std::remove((p.substr(0, p.size() - 4) + ".globals").c_str());
        }
        std::remove((folder + "/blocked").c_str());
        std::remove((folder + "/notes.txt").c_str());
        ::rmdir(folder.c_str());
    }

    PresetRecord record_of(int slot) const
    {
        return PresetRecord{pedal.memory().slots[slot].parameters, pedal.memory().slots[slot].title};
    }
    // The slot holds exactly this record and the programs built for it.
    void expect_slot_holds(int slot, const PresetRecord& want)
    {
        SCOPED_TRACE("slot " + std::to_string(slot));
        const PedalSlot& got = pedal.memory().slots[slot];
        EXPECT_EQ(0, std::memcmp(got.parameters.data(), want.parameters.data(), kPresetParametersSize));
        EXPECT_EQ(0, std::memcmp(got.title.text, want.title.text, kPresetTitleSize));
        DspProgram x{}, y{};
        build(want.parameters, x, y);
        EXPECT_EQ(0, std::memcmp(got.program_x.bytes, x.bytes, kDspProgramSize));
        EXPECT_EQ(0, std::memcmp(got.program_y.bytes, y.bytes, kDspProgramSize));
    }
    std::vector<uint8_t> memory_image() const
    {
        std::vector<uint8_t> image(kPresetImageSize);
        for (int s = 0; s < kSlotCount; ++s) {
            set_image_parameters(image.data(), s, pedal.memory().slots[s].parameters);
            set_image_title(image.data(), s, pedal.memory().slots[s].title);
        }
        return image;
    }

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver{clock};
    UsbLink link{driver, clock};
    RecordingReporter report;
    AlgorithmLibrary library{std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc"};
    ops::ProgramBuilder build = ops::library_program_builder(library);
    std::vector<std::string> requests;
    std::function<void(const PedalRequest&)> on_request;
    std::string console;
    test::ScratchFolder scratch{"kv_slots_"};
    std::string folder = scratch.path();
};

TEST_F(SlotsTest, CopyStoresTheRecordWithTitleSwitchesAndProgramsAndReadsItBack)
{
    const PresetRecord source = record_of(2);
    const PedalMemory before = pedal.memory();

    const ops::SlotMoveResult r = ops::copy_slot(link, report, 2, 17, build);
    ASSERT_TRUE(r.ok());
    expect_slot_holds(17, source);
    expect_slot_holds(2, source);
    EXPECT_TRUE(pedal.memory().slots[17].parameters.auto_stomp());
    EXPECT_EQ(pedal.memory().slots[17].parameters.reserved[0], 0x5A);
    for (int s = 0; s < kSlotCount; ++s) {
        if (s != 17) {
            EXPECT_TRUE(pedal.memory().slots[s] == before.slots[s]) << s;
        }
    }
    // The header is not echoed by a store: the slot is read back after it.
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back(), "Read preset 17");
    EXPECT_TRUE(report.has("  Copy operation successful."));
    EXPECT_TRUE(report.has("  > Preset 18 now holds \"Slot 3\" from Preset 3."));
    EXPECT_EQ(report.label, "Copy complete");
    EXPECT_TRUE(report.alerts.empty());

    // A copy that cannot be stored: one retry, then the failure, reported.
    pedal.corrupt_next_echoes(4);   // both echoes of both attempts
    const ops::SlotMoveResult bad = ops::copy_slot(link, report, 4, 5, build);
    EXPECT_EQ(bad.outcome, ops::SlotMoveResult::Outcome::StoreFailed);
    EXPECT_EQ(bad.failed_slot, 5);
    EXPECT_EQ(report.label, "Copy error");
    EXPECT_EQ(report.bar, ops::Bar::Error);
    EXPECT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(console.find("--> Auto-retry triggered."), std::string::npos);

    // Bad slots are refused before anything is sent.
    requests.clear();
    EXPECT_EQ(ops::copy_slot(link, report, 3, 3, build).outcome, ops::SlotMoveResult::Outcome::Refused);
    EXPECT_EQ(ops::copy_slot(link, report, -1, 3, build).outcome, ops::SlotMoveResult::Outcome::Refused);
    EXPECT_EQ(ops::copy_slot(link, report, 3, 32, build).outcome, ops::SlotMoveResult::Outcome::Refused);
    EXPECT_TRUE(requests.empty());
}

TEST_F(SlotsTest, SwapExchangesTwoPresetsAfterASafetyBackupOfThePedal)
{
    const PresetRecord a = record_of(2), b = record_of(9);
    const std::vector<uint8_t> image_before = memory_image();
    const auto globals_before = pedal.memory().globals;

    const ops::SlotMoveResult r = ops::swap_slots(link, report, 2, 9, build, folder, ops::OnBackupFailure::Refuse);
    ASSERT_TRUE(r.ok());
    expect_slot_holds(9, a);
    expect_slot_holds(2, b);
    EXPECT_TRUE(pedal.memory().slots[9].parameters.auto_stomp());
    EXPECT_TRUE(pedal.memory().slots[2].parameters.bypass_on_pc());
    EXPECT_EQ(r.slots_changed, 2);
    EXPECT_TRUE(report.has("  > Preset 3 and Preset 10 have changed places."));
    EXPECT_EQ(report.label, "Swap complete");

    // The backup holds the pedal as it was before the swap, in the backup format.
    ASSERT_FALSE(r.backup_path.empty());
    EXPECT_EQ(r.backup_path, folder + "/Tessivar_AutoBackup_000001_2026-12-07_10-48-00.bkp");
    const FileRead bkp = read_file_limited(r.backup_path, kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    EXPECT_EQ(bkp.bytes, image_before);
    const FileRead glo =
        read_file_limited(folder + "/Tessivar_AutoBackup_000001_2026-12-07_10-48-00.globals", kDataFileLimit);
    ASSERT_TRUE(glo.ok());
    EXPECT_EQ(glo.bytes, std::vector<uint8_t>(globals_before.begin(), globals_before.end()));
    EXPECT_TRUE(report.has("  Safety backup of the presets saved."));

    // Swapping back gives every slot its first content again.
    const ops::SlotMoveResult back = ops::swap_slots(link, report, 9, 2, build, folder, ops::OnBackupFailure::Refuse);
    ASSERT_TRUE(back.ok());
    expect_slot_holds(2, a);
    expect_slot_holds(9, b);
    EXPECT_EQ(memory_image(), image_before);
    // A second backup in the same second gets the next number.
    EXPECT_EQ(back.backup_path, folder + "/Tessivar_AutoBackup_000002_2026-12-07_10-48-00.bkp");
}

TEST_F(SlotsTest, SwapStoppedHalfWayLeavesBothPresetsRecoverableFromTheBackup)
{
    const PresetRecord a = record_of(4), b = record_of(20);
    const std::vector<uint8_t> image_before = memory_image();

    // The pedal stops answering once the second store (into slot 4) has begun.
    on_request = [this](const PedalRequest& r) {
        if (r.name == "Store preset 4 parameters & title") pedal.set_no_answer(true);
    };
    const ops::SlotMoveResult r = ops::swap_slots(link, report, 4, 20, build, folder, ops::OnBackupFailure::Refuse);
    EXPECT_EQ(r.outcome, ops::SlotMoveResult::Outcome::StoreFailed);
    EXPECT_EQ(r.failed_slot, 4);
    EXPECT_EQ(r.slots_changed, 1);
    expect_slot_holds(20, a);   // the first store was verified
    EXPECT_EQ(report.label, "Swap error");
    EXPECT_TRUE(report.has("  > Both presets are kept in " + r.backup_path + ": restore it to undo the swap."));
    // Both records as they were come back with the result too.
    EXPECT_EQ(0, std::memcmp(r.first.data(), a.data(), kPresetRecordSize));
    EXPECT_EQ(0, std::memcmp(r.second.data(), b.data(), kPresetRecordSize));

    // The backup written before the swap holds both presets; restoring it (as
    // Menu > Restore and `korvane restore` do) undoes the half-done swap.
    pedal.set_no_answer(false);
    on_request = nullptr;
    const FileRead bkp = read_file_limited(r.backup_path, kDataFileLimit);
    ASSERT_TRUE(bkp.ok());
    ASSERT_EQ(bkp.bytes, image_before);
    std::array<uint8_t, kPresetImageSize> image{};
    ASSERT_TRUE(ops::restore(link, report, r.backup_path, image, ops::library_programs(library)).ok());
    expect_slot_holds(4, a);
    expect_slot_holds(20, b);
    EXPECT_EQ(memory_image(), image_before);

    // A first store that fails leaves the first slot untouched.
    pedal.corrupt_next_echoes(4);   // both echoes of both attempts
    const ops::SlotMoveResult first = ops::swap_slots(link, report, 4, 20, build, folder, ops::OnBackupFailure::Refuse);
    EXPECT_EQ(first.outcome, ops::SlotMoveResult::Outcome::StoreFailed);
    EXPECT_EQ(first.failed_slot, 20);
    expect_slot_holds(4, a);
}

TEST_F(SlotsTest, AFailedSafetyBackupAsksOrRefusesBeforeAnythingIsStored)
{
    const PedalMemory before = pedal.memory();
    // A file where the backup folder should be: the backup cannot be written.
    const std::string blocked = folder + "/blocked";
    ASSERT_TRUE(write_file(blocked));

    requests.clear();
    ops::SlotMoveResult r = ops::swap_slots(link, report, 0, 1, build, blocked + "/", ops::OnBackupFailure::Refuse);
    EXPECT_EQ(r.outcome, ops::SlotMoveResult::Outcome::Refused);
    EXPECT_TRUE(report.questions().empty());
    EXPECT_TRUE(report.has("  Safety backup failed."));
    for (const auto& n : requests) EXPECT_EQ(n.find("Store"), std::string::npos) << n;

    report.answers = {0};   // Cancel
    r = ops::swap_slots(link, report, 0, 1, build, blocked + "/", ops::OnBackupFailure::Ask);
    EXPECT_EQ(r.outcome, ops::SlotMoveResult::Outcome::Refused);
    ASSERT_EQ(report.questions().size(), 1u);
    EXPECT_EQ(report.questions()[0].rfind("The presets in your pedal could not be backed up before swapping two presets:", 0),
              0u);
    EXPECT_TRUE(pedal.memory() == before);

    report.answers = {1};   // Continue
    r = ops::swap_slots(link, report, 0, 1, build, blocked + "/", ops::OnBackupFailure::Ask);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.backup_path.empty());
    EXPECT_TRUE(pedal.memory().slots[1] == before.slots[0]);

    // A pedal that does not answer: no backup, and nothing stored either.
    pedal.set_no_answer(true);
    r = ops::swap_slots(link, report, 0, 1, build, folder, ops::OnBackupFailure::Ask);
    EXPECT_EQ(r.outcome, ops::SlotMoveResult::Outcome::Refused);
    EXPECT_TRUE(report.has("  > the pedal's presets could not be read."));
}

TEST_F(SlotsTest, SafetyBackupsKeepTheTenNewest)
{
    std::vector<std::string> made;
    for (int i = 0; i < 12; ++i) {
        report.stamp.minute = 10 + i / 2;   // two backups within each minute's same second
        const ops::AutoBackupResult r = ops::auto_backup(link, report, folder);
        ASSERT_TRUE(r.ok) << r.error;
        made.push_back(r.path);
        EXPECT_EQ(r.removed, i >= 10 ? 1 : 0);
    }
    const std::vector<std::string> kept = ops::list_auto_backups(folder);
    ASSERT_EQ(kept.size(), 10u);
    EXPECT_EQ(kept, std::vector<std::string>(made.begin() + 2, made.end()));
    EXPECT_NE(kept.back().find("_000012_2026-12-07_10-15-00.bkp"), std::string::npos);
    for (const std::string& gone : {made[0], made[1]}) {
        EXPECT_FALSE(file_exists(gone));
        EXPECT_FALSE(file_exists(gone.substr(0, gone.size() - 4) + ".globals"));
    }
    // Other files in the folder are never touched.
    ASSERT_TRUE(write_file(folder + "/notes.txt"));
    ops::prune_auto_backups(folder, 0);
    EXPECT_TRUE(file_exists(folder + "/notes.txt"));
    EXPECT_TRUE(ops::list_auto_backups(folder).empty());
}

TEST_F(SlotsTest, SafetyBackupRotationFollowsTheSequenceAndRemovesOnlyOurFiles)
{
    // Files that look like safety backups but were not written by the
    // program, and one of an earlier version (date only, the oldest).
    const std::vector<std::string> foreign = {
        folder + "/Tessivar_AutoBackup_2020-01-01_00-00-00 keep.bkp",
        folder + "/Tessivar_AutoBackup_000000_2020-01-01_00-00-00.bkp",
        folder + "/Tessivar_AutoBackup_12_2020-01-01_00-00-00.bkp",
        folder + "/Tessivar_AutoBackup_000003_2020-01-01_00-00-00.bkp.txt",
    };
    for (const std::string& f : foreign) ASSERT_TRUE(write_file(f));
    const std::string legacy = folder + "/Tessivar_AutoBackup_2019-05-05_10-00-00";
    ASSERT_TRUE(write_file(legacy + ".bkp"));
    ASSERT_TRUE(write_file(legacy + ".globals"));

    struct Step {
        int year, hour;   // the local time the backup is stamped with
    };
    // The clock is set back (and the zone changed) half way: the later
    // backups carry older dates than the first ones.
    const std::vector<Step> steps = {{2026, 10}, {2026, 11}, {2026, 12}, {2026, 13}, {2025, 1}, {2025, 2},
                                     {2026, 9},  {2024, 3},  {2024, 4},  {2024, 5},  {2024, 6}, {2023, 7}};
    std::vector<std::string> made;
    for (const Step& step : steps) {
        report.stamp.year = step.year;
        report.stamp.hour = step.hour;
        const ops::AutoBackupResult r = ops::auto_backup(link, report, folder);
        ASSERT_TRUE(r.ok) << r.error;
        // What the user is told to restore from is there.
        EXPECT_TRUE(file_exists(r.path));
        EXPECT_TRUE(file_exists(r.globals_path));
        made.push_back(r.path);
    }
    // The ten newest by sequence; the earlier version's backup went first,
    // with its .globals, then the first numbered one.
    const std::vector<std::string> kept = ops::list_auto_backups(folder);
    EXPECT_EQ(kept, std::vector<std::string>(made.begin() + 2, made.end()));
    EXPECT_FALSE(file_exists(legacy + ".bkp"));
    EXPECT_FALSE(file_exists(legacy + ".globals"));
    for (const std::string& gone : {made[0], made[1]}) {
        EXPECT_FALSE(file_exists(gone));
        EXPECT_FALSE(file_exists(gone.substr(0, gone.size() - 4) + ".globals"));
    }
    EXPECT_NE(made.back().find("Tessivar_AutoBackup_000012_2023-12-07_07-"), std::string::npos) << made.back();
    for (const std::string& f : foreign) EXPECT_TRUE(file_exists(f)) << f;

    // The backup chosen for a restore (here the oldest kept one) survives the
    // safety backup taken before the restore; the next older goes instead.
    const std::string chosen = kept.front();
    const ops::AutoBackupResult r = ops::auto_backup(link, report, folder, {chosen});
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(file_exists(chosen));
    EXPECT_FALSE(file_exists(kept[1]));
    EXPECT_EQ(ops::list_auto_backups(folder).size(), 10u);
    // Also when it is named through another path.
    const std::string other_path = folder + "/../" + folder.substr(folder.rfind('/') + 1) + "/" +
                                   chosen.substr(chosen.rfind('/') + 1);
    EXPECT_EQ(ops::prune_auto_backups(folder, 1, {other_path}), 9);
    EXPECT_TRUE(file_exists(chosen));
    EXPECT_EQ(ops::list_auto_backups(folder).size(), 1u);
    EXPECT_EQ(ops::prune_auto_backups(folder, 0, {chosen}), 0);
    EXPECT_EQ(ops::list_auto_backups(folder), std::vector<std::string>{chosen});

    for (const std::string& f : foreign) std::remove(f.c_str());
}

} // namespace
} // namespace kv
