// Backup, restore and writing all presets, against the simulated pedal on a
// hand-driven clock: a backup is the pedal's memory byte for byte, a restore
// brings changed presets back, a failing store or a pedal that stops
// answering is reported and loses nothing on disk, a bad file sends nothing.
#include "library/core/BackupFile.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Backup.h"
#include "platform/Clock.h"
#include "preset/AlgorithmLibrary.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SimulatedPedal.h"
#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

// The shared recording reporter, also counting how often the progress bar
// was given the label of a store in progress.
class Reporter : public test::RecordingReporter {
public:
    void progress(double v, std::optional<std::string_view> l, ops::Bar b) override
    {
        if (l && *l == ops::kWorkingLabel) ++working;
        test::RecordingReporter::progress(v, l, b);
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const auto& d : dialogs)
            if (d.rfind("message:", 0) == 0) out.push_back(d.substr(8));
        return out;
    }
    int working = 0;
};

class BackupTest : public ::testing::Test, protected testing_support::PedalOnLink {
protected:
    BackupTest()
    {
        link.set_console([](const std::string&) {});
        link.set_event_pump([this] { clock.advance(0.001); });
        library.load(std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc");
        // A pedal whose slots all differ.
        for (int s = 0; s < kSlotCount; ++s) {
            PedalSlot& slot = *pedal.slot(s);
            for (size_t i = 0; i < kPresetParametersSize; ++i) slot.parameters.data()[i] = uint8_t(s * 7 + i);
            slot.parameters.algorithm_x = uint8_t(s % 38);
            slot.parameters.algorithm_y = uint8_t((s + 5) % 38);
            // Within the editor's rules, which a restore checks first.
            slot.parameters.set_routing(uint8_t(s % 3));
            slot.parameters.speed_x[1] &= 0x07;
            slot.parameters.speed_y[1] &= 0x07;
            for (Engine e : {Engine::X, Engine::Y})
                for (int sp = 0; sp < 3; ++sp) slot.parameters.set_sp(e, sp, 0);
            slot.title = make_title("Slot " + std::to_string(s));
        }
    }
    void SetUp() override { ASSERT_TRUE(scratch_.ok()); }

    // The pedal's presets as a backup holds them.
    Bytes pedal_image() const
    {
        Bytes image(kPresetImageSize);
        for (int s = 0; s < kSlotCount; ++s) {
            const PedalSlot& slot = *pedal.slot(s);
            std::memcpy(image.data() + slot_parameters_offset(s), slot.parameters.data(), kPresetParametersSize);
            std::memcpy(image.data() + slot_title_offset(s), slot.title.text, kPresetTitleSize);
        }
        return image;
    }
    static Bytes slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> folder_names() const
    {
        std::vector<std::string> out;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
        return out;
    }

    AlgorithmLibrary library;
    Reporter report;
    test::ScratchFolder scratch_{"korvane_backup_"};
    std::string dir_ = scratch_.path() + "/";
};

TEST_F(BackupTest, BackupIsThePedalsMemoryAndAFailedTransferKeepsTheEarlierFile)
{
    ASSERT_TRUE(library.usable());
    const std::string path = dir_ + "Tessivar_Backup_03-07-2025.bkp";
    const ops::BackupResult r = ops::backup(link, report, path);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(slurp(path), pedal_image());
    ASSERT_EQ(report.messages().size(), 1u);
    EXPECT_EQ(report.messages()[0].rfind("Backup complete.", 0), 0u);
    // The message names the file it wrote, not another system's folders.
    EXPECT_NE(report.messages()[0].find(path), std::string::npos) << report.messages()[0];
    EXPECT_EQ(report.messages()[0].find("C:/"), std::string::npos);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  File write operation OK.", "  > Backup file created."}));
    EXPECT_EQ(report.label, "Backup complete");

    // The pedal changes, then stops answering half way through the next
    // backup of the same name: the first backup stays as it was, with no
    // partial file beside it, and the failure is reported.
    const Bytes first = slurp(path);
    pedal.slot(3)->title = make_title("Changed");
    pedal.set_short_answer(true);
    report = Reporter{};
    const ops::BackupResult failed = ops::backup(link, report, path);
    EXPECT_EQ(failed.outcome, ops::BackupResult::Outcome::TransferFailed);
    EXPECT_EQ(slurp(path), first);
    EXPECT_EQ(folder_names(), std::vector<std::string>{"Tessivar_Backup_03-07-2025.bkp"});
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_TRUE(report.messages().empty());
    EXPECT_EQ(report.lines.front(), "  Backup operation failed.");
    EXPECT_EQ(report.label, "Backup failed");
    EXPECT_EQ(report.bar, ops::Bar::Error);

    // A pedal that does not answer at all: the same.
    pedal.set_short_answer(false);
    pedal.set_no_answer(true);
    EXPECT_EQ(ops::backup(link, report, path).outcome, ops::BackupResult::Outcome::TransferFailed);
    EXPECT_EQ(slurp(path), first);

    // A disk that fills up during the backup: a file error, the earlier
    // backup as it was, nothing left beside it.
    pedal.set_no_answer(false);
    {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto* handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 700;
        setrlimit(RLIMIT_FSIZE, &small);
        report = Reporter{};
        const ops::BackupResult full = ops::backup(link, report, path);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(full.outcome, ops::BackupResult::Outcome::WriteFailed);
        EXPECT_EQ(full.error, "cannot write " + path + ": " + std::strerror(EFBIG));
        EXPECT_EQ(report.lines, (std::vector<std::string>{"  Backup operation failed.", "  > " + full.error}));
        // The system's reason is what the user reads first.
        ASSERT_EQ(report.alerts.size(), 1u);
        EXPECT_EQ(report.alerts[0].rfind(full.error + "\n", 0), 0u) << report.alerts[0];
    }
    EXPECT_EQ(slurp(path), first);
    EXPECT_EQ(folder_names(), std::vector<std::string>{"Tessivar_Backup_03-07-2025.bkp"});

    // A backup that cannot be created at all (no such folder).
    pedal.set_no_answer(false);
    report = Reporter{};
    EXPECT_EQ(ops::backup(link, report, dir_ + "missing/x.bkp").outcome, ops::BackupResult::Outcome::CreateFailed);
    const std::string missing = "cannot write " + dir_ + "missing/x.bkp: " + std::strerror(ENOENT);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Backup operation failed.", "  > " + missing}));
    ASSERT_FALSE(report.alerts.empty());
    EXPECT_EQ(report.alerts.back().rfind(missing + "\n", 0), 0u) << report.alerts.back();
    EXPECT_EQ(report.alerts.back().find("memory"), std::string::npos);
}

TEST_F(BackupTest, RestoreBringsChangedPresetsBackByteForByte)
{
    const std::string path = dir_ + "b.bkp";
    ASSERT_TRUE(ops::backup(link, report, path).ok());
    const Bytes saved = pedal_image();

    // The pedal's presets change.
    for (int s = 0; s < kSlotCount; ++s) {
        pedal.slot(s)->parameters.volume = 9;
        pedal.slot(s)->title = make_title("Other");
    }
    ASSERT_NE(pedal_image(), saved);

    std::array<uint8_t, kPresetImageSize> work{};
    report = Reporter{};
    const ops::ProgramsFor programs = ops::library_programs(library);
    const ops::RestoreResult r = ops::restore(link, report, path, work, programs);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(pedal_image(), saved);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), work.begin()));
    // Each slot got the programs built for its block.
    for (int s : {0, 17, 31}) {
        const ops::SlotPrograms p = programs(pedal.slot(s)->parameters);
        EXPECT_EQ(0, std::memcmp(p.x.bytes, pedal.slot(s)->program_x.bytes, kDspProgramSize)) << s;
        EXPECT_EQ(0, std::memcmp(p.y.bytes, pedal.slot(s)->program_y.bytes, kDspProgramSize)) << s;
    }
    EXPECT_EQ(report.messages(), std::vector<std::string>{"Your pedal has been restored from backup."});
    EXPECT_EQ(report.lines, std::vector<std::string>{"  > Presets restore successful."});
    EXPECT_EQ(report.label, "Restore complete");
    EXPECT_EQ(report.working, kSlotCount);
}

TEST_F(BackupTest, RestoreWhoseSeventhStoreFailsKeepsTheFirstSixAndReportsIt)
{
    std::array<uint8_t, kPresetImageSize> image{};
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 3 + 1);
    const Bytes before = pedal_image();
    // The pedal stops listening once the seventh store's header is in.
    pedal.set_request_observer([this](const PedalRequest& q) {
        if (q.name == "Store preset 6 parameters & title") pedal.set_no_answer(true);
    });
    const ops::RestoreResult r = ops::restore_image(link, report, image, ops::library_programs(library));
    EXPECT_EQ(r.outcome, ops::RestoreResult::Outcome::WriteFailed);
    EXPECT_EQ(r.write.failure, ops::WriteAllResult::Failure::Store);
    EXPECT_EQ(r.write.slot, 6);
    EXPECT_EQ(r.write.link.status, LinkStatus::timeout);
    const Bytes after = pedal_image();
    for (int s = 0; s < kSlotCount; ++s) {
        const Bytes& want = s < 6 ? Bytes(image.begin(), image.end()) : before;
        EXPECT_EQ(0, std::memcmp(after.data() + slot_parameters_offset(s), want.data() + slot_parameters_offset(s),
                                 kPresetParametersSize))
            << s;
        EXPECT_EQ(0, std::memcmp(after.data() + slot_title_offset(s), want.data() + slot_title_offset(s), kPresetTitleSize))
            << s;
    }
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_EQ(report.alerts[0], ops::restore_failed_text());
    EXPECT_EQ(report.lines, std::vector<std::string>{"  > Preset restore failed. Please try again."});
    EXPECT_EQ(report.label, "Preset restore error");
    EXPECT_EQ(report.bar, ops::Bar::Error);
}

TEST_F(BackupTest, RestoreVerificationCatchesAPedalThatKeepsSomethingElse)
{
    std::array<uint8_t, kPresetImageSize> image{};
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i);
    // Every store goes through, but the pedal's memory of slot 20's title is
    // changed before the read-back.
    pedal.set_request_observer([this](const PedalRequest& q) {
        if (q.name == "Store preset 31 Y-Data") pedal.slot(20)->title = make_title("Tampered");
    });
    const ops::WriteAllResult r = ops::write_all(link, report, image, ops::library_programs(library));
    EXPECT_EQ(r.failure, ops::WriteAllResult::Failure::Verify);
    EXPECT_EQ(r.status(), 1);
}

TEST_F(BackupTest, RestoreOfAFileThatIsNot1504BytesSendsNothing)
{
    std::array<uint8_t, kPresetImageSize> work{};
    work.fill(0xAB);
    int requests = 0;
    pedal.set_request_observer([&](const PedalRequest&) { ++requests; });
    for (size_t size : {size_t(1503), size_t(1505), size_t(0)}) {
        const std::string path = dir_ + "bad.bkp";
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        report = Reporter{};
        const ops::RestoreResult r = ops::restore(link, report, path, work, ops::library_programs(library));
        EXPECT_EQ(r.outcome, ops::RestoreResult::Outcome::FileError) << size;
        ASSERT_EQ(report.alerts.size(), 1u);
        EXPECT_EQ(report.alerts[0], ops::backup_file_problem_text());
        EXPECT_EQ(report.label, "File error");
        EXPECT_EQ(report.lines.front(), "  Failed to open selected backup file - Error code : 22.");
    }
    report = Reporter{};
    EXPECT_EQ(ops::restore(link, report, dir_ + "none.bkp", work, ops::library_programs(library)).file_error, ENOENT);
    EXPECT_EQ(report.lines.front(), "  Failed to open selected backup file - Error code : 2.");
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(work[0], 0xAB);
}

}  // namespace
// After a failed store the user is told what each slot holds: those stored
// before hold the backup, the failed one may hold either, the rest are as
// they were, for the first and the last slot too.
TEST(RestoreSlotsText, SaysWhatEverySlotHoldsAfterAFailedStore)
{
    const std::pair<int, const char*> cases[] = {
        {0, "slot 1 may hold the backup's preset or its old one; slots 2 to 32 are unchanged."},
        {1, "slot 1 holds the backup's preset; slot 2 may hold the backup's preset or its old one; "
            "slots 3 to 32 are unchanged."},
        {6, "slots 1 to 6 hold the backup's presets; slot 7 may hold the backup's preset or its old one; "
            "slots 8 to 32 are unchanged."},
        {30, "slots 1 to 30 hold the backup's presets; slot 31 may hold the backup's preset or its old one; "
             "slot 32 is unchanged."},
        {31, "slots 1 to 31 hold the backup's presets; slot 32 may hold the backup's preset or its old one."},
    };
    for (const auto& [slot, text] : cases) EXPECT_EQ(ops::restored_slots_text(slot), text) << slot;
}

}  // namespace kv
