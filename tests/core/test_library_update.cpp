// The algorithm library update and the factory reset against the simulated
// pedal, on a hand-driven clock: every block written and echoed, the one
// retry, files refused before anything is sent, and the factory presets and
// global record restored.

#include "tests/support/SimulatedPedal.h"

#include "ops/Backup.h"
#include "ops/Library.h"
#include "preset/AlgorithmLibrary.h"

#include "tests/support/ScratchHome.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace kv {
namespace {

using testing_support::RecordingReporter;
using testing_support::SimulatedPedal;
using Bytes = std::vector<uint8_t>;

const std::string kBin = std::string(KV_SOURCE_DIR) + "/bin";

Bytes file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A copy of bin/ that a test may change.
class DataFolder {
public:
    DataFolder()
    {
        if (!scratch_.ok()) return;
        for (const char* f : {"error_log.fvc", "dispdata.bin", "arpdata.bin", "factoryset.fap"}) put(f, file_bytes(kBin + "/" + f));
    }
    void put(const std::string& name, const Bytes& b) const
    {
        std::ofstream(path_ + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    void remove(const std::string& name) const { std::filesystem::remove(path_ + "/" + name); }
    const std::string& path() const { return path_; }

private:
    test::ScratchFolder scratch_{"korvane_lib_"};
    std::string path_ = scratch_.path();
};

class LibraryUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The pedal's library starts blank, so every block written shows.
        for (auto& block : sim.pedal.memory().library) block.fill(0);
        report.answers = {1};   // "Proceed"
    }
    ops::LibraryUpdateResult run() { return ops::update_library(sim.link, report, data.path(), serial, hold); }
    int library_writes() const
    {
        int n = 0;
        for (const auto& w : sim.driver.writes())
            if (w.size() == 1 && w[0] >= 0x80 && w[0] < 0xC0) ++n;
        return n;
    }

    SimulatedPedal sim;
    RecordingReporter report;
    DataFolder data;
    std::string serial;
    std::vector<bool> holds;
    std::function<void(bool)> hold = [this](bool on) { holds.push_back(on); };
};

TEST_F(LibraryUpdateTest, EveryBlockIsWrittenAndEchoedWithOneRetryAfterAMismatch)
{
    // The first echo comes back spoiled: block 0 is written a second time.
    sim.pedal.corrupt_next_echoes(1);
    const auto r = run();
    ASSERT_EQ(r.outcome, ops::MaintenanceOutcome::Done);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.retries, 1);
    EXPECT_EQ(serial, "TSV0417A");   // found again before asking
    ASSERT_EQ(report.questions.size(), 1u);
    EXPECT_EQ(report.questions[0], "Proceed to update the Algorithm Library in your pedal?");
    EXPECT_EQ(holds, (std::vector<bool>{true, false}));

    // 38 algorithms, 5 display blocks (2560 bytes), 2 arp blocks, and the retry.
    EXPECT_EQ(r.blocks_written, 38 + 5 + 2);
    EXPECT_EQ(library_writes(), 38 + 5 + 2 + 1);
    AlgorithmLibrary library(kBin + "/error_log.fvc");
    ASSERT_TRUE(library.usable());
    const auto& mem = sim.pedal.memory().library;
    for (int a = 0; a < 38; ++a) EXPECT_EQ(std::memcmp(mem[size_t(a)].data(), library.image(a).data(), 512), 0) << a;
    const Bytes display = file_bytes(kBin + "/dispdata.bin");
    for (int k = 0; k < 5; ++k) EXPECT_EQ(std::memcmp(mem[size_t(38 + k)].data(), display.data() + 512 * k, 512), 0) << k;
    const Bytes arp = file_bytes(kBin + "/arpdata.bin");
    EXPECT_EQ(std::memcmp(mem[62].data(), arp.data(), 512), 0);
    EXPECT_EQ(std::memcmp(mem[63].data(), arp.data() + 512, 384), 0);
    EXPECT_EQ(std::count(mem[63].begin() + 384, mem[63].end(), 0), 128);
    for (int b = 43; b < 62; ++b) EXPECT_EQ(std::count(mem[size_t(b)].begin(), mem[size_t(b)].end(), 0), 512) << b;
    // Address bytes: block 37 is 0xA5, block 63 is 0xBF.
    bool saw_a5 = false, saw_bf = false;
    for (const auto& w : sim.driver.writes()) {
        saw_a5 = saw_a5 || (w.size() == 1 && w[0] == 0xA5);
        saw_bf = saw_bf || (w.size() == 1 && w[0] == 0xBF);
    }
    EXPECT_TRUE(saw_a5 && saw_bf);

    const size_t triggered = sim.console.find("--> Auto-retry triggered.\n");
    ASSERT_NE(triggered, std::string::npos);
    EXPECT_NE(sim.console.find("--> Auto-retry successful.\n", triggered), std::string::npos);
    EXPECT_EQ(report.messages, (std::vector<std::string>{"Algorithm Library in your pedal is now updated."}));
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  > Library update successful."}));
    EXPECT_EQ(*report.last_labelled()->label, "Library update OK");
}

// A block whose exchange fails (nothing or too little went out, or no echo
// came back) is given the same one retry as a block whose echo differs.
TEST_F(LibraryUpdateTest, ABlockWhoseExchangeFailsIsRetriedOnce)
{
    // Armed once the user said Proceed: the first block's address byte fails.
    hold = [this](bool on) {
        if (on) sim.driver.fail_next_write(FT_IO_ERROR, 0);
    };
    const auto r = run();
    ASSERT_EQ(r.outcome, ops::MaintenanceOutcome::Done);
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(r.retries, 1);
    EXPECT_EQ(r.blocks_written, 38 + 5 + 2);
    AlgorithmLibrary library(kBin + "/error_log.fvc");
    ASSERT_TRUE(library.usable());
    EXPECT_EQ(std::memcmp(sim.pedal.memory().library[0].data(), library.image(0).data(), 512), 0);
    EXPECT_NE(sim.console.find("--> Auto-retry successful.\n"), std::string::npos);
}

TEST_F(LibraryUpdateTest, DisplayProgressAndPaddingFollowTheFileLength)
{
    Bytes display(1000);
    for (size_t i = 0; i < display.size(); ++i) display[i] = uint8_t(0x10 + i % 200);
    data.put("dispdata.bin", display);
    const auto r = run();
    ASSERT_EQ(r.outcome, ops::MaintenanceOutcome::Done);
    const auto& mem = sim.pedal.memory().library;
    EXPECT_EQ(std::memcmp(mem[39].data(), display.data() + 512, 488), 0);
    EXPECT_EQ(std::count(mem[39].begin() + 488, mem[39].end(), 0), 24);
    // After the two display blocks: 80 % and 88 %.
    const auto labels = report.labels();
    ASSERT_GE(labels.size(), 40u);
    EXPECT_EQ(labels[38], " 80%");
    EXPECT_EQ(labels[39], " 88%");

    // An empty display file sends no block and is no error.
    data.put("dispdata.bin", {});
    report.answers = {1};
    sim.driver.clear_log();
    EXPECT_EQ(run().outcome, ops::MaintenanceOutcome::Done);
    EXPECT_EQ(library_writes(), 38 + 2);
}

TEST_F(LibraryUpdateTest, ABlockThatFailsTwiceEndsItsGroupButTheNextGroupsAreWritten)
{
    sim.pedal.corrupt_next_echoes(2);
    const auto r = run();
    EXPECT_EQ(r.outcome, ops::MaintenanceOutcome::Failed);
    EXPECT_EQ(r.errors, 1);
    EXPECT_NE(sim.console.find("--> Auto-retry failed to fix.\n"), std::string::npos);
    // Blocks 1 to 37 not sent; display and arp blocks still written.
    EXPECT_EQ(library_writes(), 2 + 5 + 2);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("Library reset has failed"), std::string::npos);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  > Library update failed. Please try again."}));
    EXPECT_EQ(*report.last_labelled()->label, "Library update error");
    EXPECT_EQ(report.last_labelled()->bar, ops::Bar::Error);
}

TEST_F(LibraryUpdateTest, MissingShortOrOversizedFilesAreRefusedBeforeAnythingIsSent)
{
    const struct {
        const char* what;
        const char* file;
        std::function<void(const DataFolder&)> spoil;
    } cases[] = {
        {"no library", "error_log.fvc", [](const DataFolder& d) { d.remove("error_log.fvc"); }},
        {"short library", "error_log.fvc", [](const DataFolder& d) { d.put("error_log.fvc", Bytes(172 + 512 * 37, 1)); }},
        {"no display data", "dispdata.bin", [](const DataFolder& d) { d.remove("dispdata.bin"); }},
        {"display data into the arp blocks", "dispdata.bin", [](const DataFolder& d) { d.put("dispdata.bin", Bytes(24 * 512 + 1, 1)); }},
        {"no arp data", "arpdata.bin", [](const DataFolder& d) { d.remove("arpdata.bin"); }},
        {"short arp data", "arpdata.bin", [](const DataFolder& d) { d.put("arpdata.bin", Bytes(895, 1)); }},
    };
    for (const auto& c : cases) {
        DataFolder folder;
        c.spoil(folder);
        SimulatedPedal pedal;
        RecordingReporter rep;
        rep.answers = {1};
        std::string s;
        const auto r = ops::update_library(pedal.link, rep, folder.path(), s);
        EXPECT_EQ(r.outcome, ops::MaintenanceOutcome::BadFile) << c.what;
        EXPECT_TRUE(rep.questions.empty()) << c.what;
        for (const auto& w : pedal.driver.writes()) EXPECT_FALSE(w.size() == 1 && w[0] >= 0x80 && w[0] < 0xC0) << c.what;
        ASSERT_EQ(rep.alerts.size(), 1u) << c.what;
        EXPECT_NE(rep.alerts[0].find(c.file), std::string::npos) << c.what;
        EXPECT_EQ(*rep.last_labelled()->label, "Library update error") << c.what;
    }

    // No pedal: reported before the question; "Cancel": nothing sent.
    sim.pedal.vanish_now();
    EXPECT_EQ(run().outcome, ops::MaintenanceOutcome::NotFound);
    EXPECT_TRUE(report.has_line("  Pedal is not found."));
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_EQ(report.alerts[0].rfind("Pedal is not connected -", 0), 0u);
    SimulatedPedal other;
    RecordingReporter declined;
    std::string s;
    EXPECT_EQ(ops::update_library(other.link, declined, data.path(), s).outcome, ops::MaintenanceOutcome::Declined);
    EXPECT_EQ(library_writes(), 0);
    EXPECT_EQ(other.requests.size(), 0u);
}

// ---------------------------------------------------------------------------
// Factory reset

class FactoryResetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A pedal whose presets and globals were all changed by its user.
        for (int s = 0; s < kSlotCount; ++s) {
            PedalSlot& slot = *sim.pedal.slot(s);
            slot.title = make_title("USER " + std::to_string(s));
            slot.parameters.volume = 4;
            std::memset(slot.program_x.bytes, 0xDE, kDspProgramSize);
        }
        sim.pedal.memory().globals.fill(9);
        report.answers = {1};
    }
    ops::FactoryResetResult run()
    {
        return ops::factory_reset(sim.link, report, data.path(), serial, ops::PresetImage(image.data(), image.size()),
                                  globals, [this](bool on) { holds.push_back(on); });
    }

    SimulatedPedal sim;
    RecordingReporter report;
    DataFolder data;
    std::string serial;
    std::array<uint8_t, kPresetImageSize> image{};
    std::array<uint8_t, kGlobalsSize> globals{};
    std::vector<bool> holds;
};

TEST_F(FactoryResetTest, RestoresTheFactoryPresetsWithTheirProgramsAndTheFactoryGlobals)
{
    const auto r = run();
    ASSERT_EQ(r.outcome, ops::MaintenanceOutcome::Done);
    EXPECT_EQ(r.stored, 32);
    EXPECT_TRUE(r.verified);
    EXPECT_TRUE(r.globals_sent);
    EXPECT_EQ(holds, (std::vector<bool>{true, false}));

    const Bytes master = file_bytes(kBin + "/factoryset.fap");
    ASSERT_EQ(master.size(), kPresetImageSize);
    AlgorithmLibrary library(kBin + "/error_log.fvc");
    const auto build = ops::library_program_builder(library);
    for (int s = 0; s < kSlotCount; ++s) {
        const PedalSlot& slot = *sim.pedal.slot(s);
        const PresetParameters want = image_parameters(master.data(), s);
        EXPECT_EQ(std::memcmp(&slot.parameters, &want, kPresetParametersSize), 0) << s;
        const PresetTitle title = image_title(master.data(), s);
        EXPECT_EQ(std::memcmp(&slot.title, &title, kPresetTitleSize), 0) << s;
        DspProgram x{}, y{};
        build(want, x, y);
        EXPECT_EQ(std::memcmp(slot.program_x.data(), x.data(), kDspProgramSize), 0) << s;
        EXPECT_EQ(std::memcmp(slot.program_y.data(), y.data(), kDspProgramSize), 0) << s;
    }
    // 3, 10, 2, 0x60, 0, 14 ... 42, in the pedal and in the caller's copy.
    const auto factory = ops::factory_globals_record();
    EXPECT_EQ(factory[0], 3);
    EXPECT_EQ(factory[3], 0x60);
    EXPECT_EQ(factory[33], 42);
    EXPECT_EQ(std::memcmp(sim.pedal.memory().globals.data(), factory.data(), kGlobalsSize), 0);
    EXPECT_EQ(globals, factory);

    EXPECT_EQ(report.questions, (std::vector<std::string>{"Proceed to reset your pedal to factory setting?"}));
    EXPECT_EQ(report.messages, (std::vector<std::string>{"Your pedal has been restored to factory setting."}));
    EXPECT_TRUE(report.has_line("  > Factory reset successful."));
    EXPECT_TRUE(r.read.ok());
    EXPECT_EQ(std::memcmp(image.data(), master.data(), kPresetImageSize), 0);
    // The last label is the result's; the reading afterwards leaves the bar at 100.
    EXPECT_EQ(*report.last_labelled()->label, "Factory reset OK");
    EXPECT_EQ(report.progresses.back().value, 100);
}

TEST_F(FactoryResetTest, AMasterFileOfTheWrongSizeIsNeverWritten)
{
    Bytes master = file_bytes(kBin + "/factoryset.fap");
    master.push_back(0);
    data.put("factoryset.fap", master);
    const PedalMemory before = sim.pedal.memory();
    const auto r = run();
    EXPECT_EQ(r.outcome, ops::MaintenanceOutcome::BadFile);
    EXPECT_EQ(sim.count(0x40), 0);
    for (int s = 0; s < kSlotCount; ++s) EXPECT_TRUE(*sim.pedal.slot(s) == before.slots[size_t(s)]) << s;
    EXPECT_EQ(sim.pedal.memory().globals, before.globals);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("Factory master file"), std::string::npos);
    EXPECT_TRUE(report.has_line("  > Factory reset failed. Please try again."));
    EXPECT_EQ(*report.last_labelled()->label, "Factory reset error");
    // The presets are read all the same.
    EXPECT_TRUE(r.read.ok());
}

TEST_F(FactoryResetTest, AStoreThatFailsEndsTheResetAndKeepsTheGlobals)
{
    // The pedal goes deaf after the fifth preset stored.
    int stores = 0;
    sim.on_request = [&](const PedalRequest& req) {
        if (req.command >= 0x40 && req.command < 0x80 && req.name.find("Y-Data") != std::string::npos && ++stores == 5)
            sim.pedal.set_no_answer(true);
    };
    const auto r = run();
    EXPECT_EQ(r.outcome, ops::MaintenanceOutcome::Failed);
    EXPECT_EQ(r.stored, 5);
    EXPECT_FALSE(r.globals_sent);
    EXPECT_EQ(sim.pedal.memory().globals[0], 9);
    ASSERT_EQ(report.alerts.size(), 2u);   // the failure, then the read afterwards finds no pedal
    EXPECT_NE(report.alerts[0].find("Factory reset has failed"), std::string::npos);
    EXPECT_TRUE(report.has_line("  > Factory reset failed. Please try again."));
}

} // namespace
} // namespace kv
