// The firmware update: the package reader on good and bad packages, then
// whole updates and cancels against the simulated pedal in update mode, on a
// hand-driven clock.

#include "tests/support/SimulatedPedal.h"

#include "ops/Backup.h"
#include "ops/Firmware.h"
#include "ops/Library.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/PresetMigration.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

using testing_support::RecordingReporter;
using testing_support::SimulatedPedal;
using Bytes = std::vector<uint8_t>;

const std::string kLibraryPath = std::string(KV_SOURCE_DIR) + "/bin/error_log.fvc";

// A package: the header lines as given, then the data.
Bytes package_bytes(const std::string& header, const Bytes& data)
{
    Bytes out(header.begin(), header.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Image A counts up from 1, image B down from 200: no page may mix them.
Bytes two_images(size_t each)
{
    Bytes d(2 * each);
    for (size_t i = 0; i < each; ++i) {
        d[i] = uint8_t(1 + i % 251);
        d[each + i] = uint8_t(200 - i % 199);
    }
    return d;
}

class TempDir {
public:
    TempDir()
    {
        path_ = ::testing::TempDir() + "korvane_fw_XXXXXX";
        if (!mkdtemp(path_.data())) path_.clear();
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name, const Bytes& content) const
    {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
        return p;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// ---------------------------------------------------------------------------
// The package reader

TEST(FirmwarePackage, HeaderNotesImagesAndPages)
{
    // Z and 5: version value 0x23, patch 5.
    const auto r = ops::parse_firmware_package(package_bytes("Z rest ignored\n5\n2\nFirst note\r\nSecond note\n", two_images(1500)));
    ASSERT_TRUE(r.ok());
    const auto& p = *r.package;
    EXPECT_EQ(p.version, 0x23);
    EXPECT_EQ(p.patch, 5);
    EXPECT_EQ(p.version_text(), "Firmware 2.3.5");
    EXPECT_EQ(p.notes, (std::vector<std::string>{"First note", "Second note"}));
    EXPECT_EQ(p.image_size(), 1500u);
    EXPECT_EQ(p.pages_sent(), 6);

    // The sixth page: the image's last 220 bytes, then 36 zeros - never bytes
    // of the other image.
    for (const char* serial : {"TSV0X496", "TSV0X497"}) {
        const bool b = ops::FirmwarePackage::takes_image_b(serial);
        const Bytes last = p.page(serial, 5);
        ASSERT_EQ(last.size(), 256u);
        const uint8_t* image = p.data.data() + (b ? 1500 : 0);
        EXPECT_EQ(std::memcmp(last.data(), image + 1280, 220), 0) << serial;
        EXPECT_EQ(std::count(last.begin() + 220, last.end(), 0), 36) << serial;
        const Bytes first = p.page(serial, 0);
        EXPECT_EQ(std::memcmp(first.data(), image, 256), 0) << serial;
    }
    // The serial number counts from its sixth character.
    EXPECT_FALSE(ops::FirmwarePackage::takes_image_b("TSV0X496"));
    EXPECT_TRUE(ops::FirmwarePackage::takes_image_b("TSV0X497"));
    EXPECT_TRUE(ops::FirmwarePackage::takes_image_b("AB1239000X"));
    EXPECT_FALSE(ops::FirmwarePackage::takes_image_b("TSV0417A"));   // 17A reads 17
    EXPECT_FALSE(ops::FirmwarePackage::takes_image_b("TSV0"));       // too short: image A
    EXPECT_FALSE(ops::FirmwarePackage::takes_image_b(""));

    // Digits, capitals and the 98-character limit.
    EXPECT_EQ(ops::package_character_value('0'), 0);
    EXPECT_EQ(ops::package_character_value('9'), 9);
    EXPECT_EQ(ops::package_character_value('A'), 10);
    EXPECT_EQ(ops::package_character_value('F'), 15);
    const std::string longest(98, 'n');
    EXPECT_TRUE(ops::parse_firmware_package(package_bytes("2\n0\n1\n" + longest + "\n", two_images(1))).ok());
}

TEST(FirmwarePackage, PageCountIsCappedAt256)
{
    // 65536 bytes fill 256 pages exactly; a byte more would need 257.
    auto exact = ops::parse_firmware_package(package_bytes("2\n0\n0\n", two_images(65536)));
    ASSERT_TRUE(exact.ok());
    EXPECT_EQ(exact.package->pages_needed(), 256u);
    EXPECT_EQ(exact.package->pages_sent(), 256);
    auto over = ops::parse_firmware_package(package_bytes("2\n0\n0\n", two_images(65537 + 300)));
    ASSERT_TRUE(over.ok());
    EXPECT_EQ(over.package->pages_needed(), 258u);
    EXPECT_EQ(over.package->pages_sent(), 256);
}

TEST(FirmwarePackage, BadPackagesAreRefusedWithTheirReason)
{
    using F = ops::PackageFault;
    const Bytes data = two_images(600);
    const struct {
        const char* what;
        Bytes bytes;
        F fault;
    } cases[] = {
        {"empty file", {}, F::ShortHeader},
        {"two header lines", package_bytes("Z\n5\n", {}), F::ShortHeader},
        {"third line without newline", package_bytes("Z\n5\n0", {}), F::ShortHeader},
        {"empty version line", package_bytes("\n5\n0\n", data), F::ShortHeader},
        {"empty patch line", package_bytes("Z\n\n0\n", data), F::ShortHeader},
        {"negative note count", package_bytes("Z\n5\n-1\n", data), F::BadNoteCount},
        {"more notes than lines", package_bytes("Z\n5\n3\na\nb\n", {}), F::BadNoteCount},
        {"huge note count", package_bytes("Z\n5\n99999999999999999999\na\n", {}), F::BadNoteCount},
        {"no data", package_bytes("Z\n5\n1\nnote\n", {}), F::NoData},
        {"one data byte", package_bytes("Z\n5\n0\n", {0x42}), F::NoData},
        {"long header line", package_bytes(std::string(99, 'Z') + "\n5\n0\n", data), F::LineTooLong},
        {"long note line", package_bytes("Z\n5\n1\n" + std::string(99, 'x') + "\n", data), F::LineTooLong},
    };
    for (const auto& c : cases) {
        const auto r = ops::parse_firmware_package(c.bytes);
        EXPECT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.fault, c.fault) << c.what;
    }
}

TEST(FirmwarePackage, FilesThatAreNotPackagesAreRefusedWithoutBlocking)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    using F = ops::PackageFault;

    auto missing = ops::read_firmware_package(dir.path() + "/none.fdt");
    EXPECT_EQ(missing.fault, F::Unreadable);
    EXPECT_EQ(missing.error_number, ENOENT);

    auto folder = ops::read_firmware_package(dir.path());
    EXPECT_EQ(folder.fault, F::Unreadable);
    EXPECT_EQ(folder.error_number, ENODEV);

    // A FIFO with no writer would block an ordinary open for ever.
    const std::string fifo = dir.path() + "/pipe.fdt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto pipe = ops::read_firmware_package(fifo);
    EXPECT_EQ(pipe.fault, F::Unreadable);
    EXPECT_EQ(pipe.error_number, ENODEV);

    auto big = ops::read_firmware_package(dir.file("big.fdt", package_bytes("Z\n5\n0\n", Bytes(2u << 20, 1))));
    EXPECT_EQ(big.fault, F::Unreadable);
    EXPECT_EQ(big.error_number, EFBIG);

    // Browsing reports: the alert, "File error" in the error colour, the
    // line with the error code; a good package its one line.
    RecordingReporter report;
    ops::browse_firmware_package(report, dir.path() + "/none.fdt");
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("trying to access the firmware file"), std::string::npos);
    ASSERT_TRUE(report.last_labelled());
    EXPECT_EQ(*report.last_labelled()->label, "File error");
    EXPECT_EQ(report.last_labelled()->bar, ops::Bar::Error);
    EXPECT_TRUE(report.has_line("  > Failed to open firmware package file - Error code : " + std::to_string(ENOENT) + "."));

    RecordingReporter good;
    const auto ok = ops::browse_firmware_package(good, dir.file("good.fdt", package_bytes("Z\n5\n0\n", two_images(10))));
    EXPECT_TRUE(ok.ok());
    EXPECT_TRUE(good.alerts.empty());
    EXPECT_EQ(good.lines, (std::vector<std::string>{"  Firmware package file ready."}));
}

// ---------------------------------------------------------------------------
// Against the simulated pedal

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        sim.pedal.set_update_mode(true);
        package = dir.file("tessivar.fdt", package_bytes("Z\n5\n2\nFaster taps\nNew arps\n", two_images(1500)));
    }

    // What the connect sequence found: the pedal's state bytes and serial.
    ops::PedalInfo found(int major, int minor, int patch, const std::string& serial = "TSV0417A")
    {
        sim.pedal.set_firmware_version({major, minor, patch});
        sim.pedal.set_serial_number(serial);
        ops::PedalInfo info;
        info.serial_number = serial;
        const auto s = sim.pedal.pedal_state_bytes();
        info.firmware_version = s[0];
        info.pedal_mode = s[1];
        return info;
    }

    ops::FirmwareResult run(const ops::PedalInfo& before)
    {
        ops::FirmwareUpdate request{package, before, kLibraryPath};
        return ops::update_firmware(sim.link, report, request, ops::PresetImage(image.data(), image.size()), globals);
    }

    TempDir dir;
    SimulatedPedal sim;
    RecordingReporter report;
    std::string package;
    std::array<uint8_t, kPresetImageSize> image{};
    std::array<uint8_t, kGlobalsSize> globals{};
};

TEST_F(FirmwareUpdateTest, PagesEchoedVersionSetAndPresetsConvertedByThePreviousVersion)
{
    // Firmware 2.2.4: rule D, which moves algorithm codes above 8 up by one.
    const ops::PedalInfo before = found(2, 2, 4);
    PedalSlot& slot3 = *sim.pedal.slot(3);
    slot3.parameters.algorithm_x = 9;
    slot3.parameters.sp1_x = 0;
    PedalSlot& slot4 = *sim.pedal.slot(4);
    slot4.parameters.algorithm_x = 8;
    slot4.parameters.algorithm_y = 8;
    const PedalSlot untouched = slot4;

    const auto r = run(before);
    ASSERT_EQ(r.outcome, ops::FirmwareOutcome::Updated);
    EXPECT_EQ(r.pages_total, 6);
    EXPECT_EQ(r.pages_sent, 6);
    EXPECT_NE(sim.console.find("Number of pages = 6\n"), std::string::npos);

    // Image A (serial 417) in the pedal, 36 zeros after its last 220 bytes.
    const Bytes want = two_images(1500);
    EXPECT_EQ(std::memcmp(sim.pedal.memory().firmware.data(), want.data(), 1500), 0);
    EXPECT_EQ(std::count(sim.pedal.memory().firmware.begin() + 1500, sim.pedal.memory().firmware.begin() + 1536, 0), 36);
    // Page addresses 0x0000 to 0x0500, then Set Version 0xC8 0x23 0x05.
    int page = 0;
    for (const auto& w : sim.driver.writes())
        if (w.size() == 3 && w[0] == 0xC7) {
            EXPECT_EQ(w[1], 0);
            EXPECT_EQ(w[2], page++);
        }
    EXPECT_EQ(page, 6);
    EXPECT_TRUE(r.version_set);
    EXPECT_EQ(sim.pedal.firmware_version(), (FirmwareVersion{2, 3, 5}));
    EXPECT_FALSE(sim.pedal.update_mode());

    // Rule D: slot 3 stored again with algorithm 10 and programs built from
    // the library; slot 4 (code 8) left alone. No AUX change for rule D.
    ASSERT_EQ(r.rule, MigrationRule::D);
    EXPECT_EQ(sim.pedal.slot(3)->parameters.algorithm_x, 10);
    AlgorithmLibrary library(kLibraryPath);
    DspProgram x{}, y{};
    ops::library_program_builder(library)(sim.pedal.slot(3)->parameters, x, y);
    EXPECT_EQ(std::memcmp(sim.pedal.slot(3)->program_x.data(), x.data(), kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(sim.pedal.slot(3)->program_y.data(), y.data(), kDspProgramSize), 0);
    EXPECT_TRUE(*sim.pedal.slot(4) == untouched);
    EXPECT_GE(r.migration.rewritten, 1);
    EXPECT_EQ(r.migration.failed_stores, 0);
    EXPECT_FALSE(r.aux_migrated);
    EXPECT_EQ(sim.count(0xC1), 0);

    // Reported: percent labels, the message, two lines, "Read complete".
    const auto labels = report.labels();
    ASSERT_GE(labels.size(), 6u);
    EXPECT_EQ(labels[0], " 17%");
    EXPECT_EQ(labels[2], " 50%");
    EXPECT_EQ(labels[5], "100%");
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_NE(report.messages[0].find("Firmware has been successfully updated."), std::string::npos);
    EXPECT_TRUE(report.alerts.empty());
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Firmware update complete.", "  Ready."}));
    EXPECT_EQ(*report.last_labelled()->label, "Read complete");
    EXPECT_TRUE(r.read_ok());
    // The image read back holds the converted preset.
    EXPECT_EQ(image_parameters(image.data(), 3).algorithm_x, 10);
}

TEST_F(FirmwareUpdateTest, OlderFirmwareAlsoMovesTheAuxCodesAndSerial497TakesImageB)
{
    const ops::PedalInfo before = found(2, 1, 0, "TSV0X497");
    auto g = factory_globals();
    g[0] = 1;
    g[1] = 14;
    g[2] = 5;
    sim.pedal.memory().globals = g;

    const auto r = run(before);
    ASSERT_EQ(r.outcome, ops::FirmwareOutcome::Updated);
    EXPECT_EQ(r.rule, MigrationRule::C);
    EXPECT_TRUE(r.aux_migrated);
    EXPECT_EQ(sim.pedal.memory().globals[0], 3);
    EXPECT_EQ(sim.pedal.memory().globals[1], 15);   // 16 capped at 15
    EXPECT_EQ(sim.pedal.memory().globals[2], 7);
    EXPECT_EQ(std::memcmp(sim.pedal.memory().globals.data() + 3, g.data() + 3, kGlobalsSize - 3), 0);
    EXPECT_EQ(std::memcmp(globals.data(), sim.pedal.memory().globals.data(), kGlobalsSize), 0);

    const Bytes want = two_images(1500);
    EXPECT_EQ(std::memcmp(sim.pedal.memory().firmware.data(), want.data() + 1500, 1500), 0);
}

TEST_F(FirmwareUpdateTest, CurrentFirmwareNeedsNoConversionAndNoLibrary)
{
    const ops::PedalInfo before = found(2, 4, 0);
    ops::FirmwareUpdate request{package, before, dir.path() + "/no_library.fvc"};
    const auto r = ops::update_firmware(sim.link, report, request, ops::PresetImage(image.data(), image.size()), globals);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::Updated);
    EXPECT_FALSE(r.rule);
    EXPECT_EQ(sim.count(0xC1), 0);
    EXPECT_TRUE(r.read_ok());
}

TEST_F(FirmwareUpdateTest, APageTimeoutIsAUsbFailureAndStopsTheUpdate)
{
    const ops::PedalInfo before = found(2, 4, 0);
    // The pedal stops answering after its third page.
    int pages = 0;
    sim.on_request = [&](const PedalRequest& req) {
        if (req.name.rfind("Firmware page ", 0) == 0 && req.name.find("address") == std::string::npos && ++pages == 3)
            sim.pedal.set_no_answer(true);
    };
    const auto r = run(before);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::PageFailed);
    EXPECT_EQ(r.pages_sent, 3);
    EXPECT_FALSE(r.version_set);
    EXPECT_TRUE(sim.pedal.update_mode());
    EXPECT_EQ(sim.pedal.firmware_version(), (FirmwareVersion{2, 4, 0}));
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("USB communication problem has been detected."), std::string::npos);
    EXPECT_TRUE(report.messages.empty());
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  > Firmware update operation failed. Please try again."}));
    EXPECT_EQ(*report.last_labelled()->label, "Update failed");
    EXPECT_EQ(report.last_labelled()->bar, ops::Bar::Error);
    // Nothing after the failed fourth page: no fifth, no Set Version.
    int page_heads = 0;
    for (const auto& w : sim.driver.writes()) {
        if (w.size() == 3 && w[0] == 0xC7) ++page_heads;
        EXPECT_FALSE(w.size() == 3 && w[0] == 0xC8);
    }
    EXPECT_EQ(page_heads, 4);
}

TEST_F(FirmwareUpdateTest, APageAddressThatNeverLeavesIsAFailureToo)
{
    // The pedal stops taking data: the page address stays in the transmit
    // queue, which the page write reports as a timeout - not as success.
    const ops::PedalInfo before = found(2, 4, 0);
    sim.driver.set_transmit_stalled(true);
    const auto r = run(before);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::PageFailed);
    EXPECT_EQ(r.pages_sent, 0);
    EXPECT_NE(sim.console.find("Waiting for pedal to receive command & page-address data TIMEOUT."), std::string::npos);
    EXPECT_EQ(*report.last_labelled()->label, "Update failed");
    EXPECT_TRUE(report.messages.empty());
}

TEST_F(FirmwareUpdateTest, AnEchoThatDiffersAbortsTheUpdate)
{
    const ops::PedalInfo before = found(2, 4, 0);
    sim.pedal.corrupt_next_echoes(1);
    const auto r = run(before);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::EchoMismatch);
    EXPECT_EQ(r.pages_sent, 0);
    EXPECT_TRUE(sim.pedal.update_mode());
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  > Update aborted due to errors. Please try again."}));
    EXPECT_EQ(*report.last_labelled()->label, "Update aborted");
}

TEST_F(FirmwareUpdateTest, APackageGoneSinceBrowsingOrWithoutItsLibraryIsNotSent)
{
    const ops::PedalInfo before = found(2, 2, 0);
    ASSERT_TRUE(ops::browse_firmware_package(report, package).ok());
    std::remove(package.c_str());
    auto r = run(before);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::PackageGone);
    EXPECT_FALSE(r.transfer_ended());
    EXPECT_EQ(*report.last_labelled()->label, "File error");

    // Converting presets needs the library: without it nothing is sent.
    package = dir.file("again.fdt", package_bytes("Z\n5\n0\n", two_images(600)));
    ops::FirmwareUpdate request{package, before, dir.path() + "/missing.fvc"};
    r = ops::update_firmware(sim.link, report, request, ops::PresetImage(image.data(), image.size()), globals);
    EXPECT_EQ(r.outcome, ops::FirmwareOutcome::NoLibrary);
    EXPECT_TRUE(sim.driver.writes().empty());
    EXPECT_TRUE(sim.pedal.update_mode());
}

TEST_F(FirmwareUpdateTest, CancelSendsOneMessageAndReadsThePedal)
{
    const ops::PedalInfo before = found(2, 5, 0);
    bool left = false;
    const auto r = ops::cancel_update(sim.link, report, before, ops::PresetImage(image.data(), image.size()),
                                      [&] { left = true; });
    EXPECT_EQ(r.outcome, ops::CancelOutcome::Left);
    EXPECT_TRUE(left);
    ASSERT_FALSE(sim.driver.writes().empty());
    EXPECT_EQ(sim.driver.writes()[0], Bytes{0xCF});
    EXPECT_FALSE(sim.pedal.update_mode());
    EXPECT_TRUE(r.read.ok());
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("You've chosen to cancel"), std::string::npos);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Firmware update cancelled by user.", "  Ready."}));
    EXPECT_EQ(*report.last_labelled()->label, "Read complete");
}

// Both lines of a Cancel carry the time the button was pressed, however long
// the pause and the reading after it take.
TEST_F(FirmwareUpdateTest, CancelsLinesCarryTheTimeCancelWasPressed)
{
    struct Stamping : testing_support::RecordingReporter {
        int seconds = 0;
        std::vector<int> stamps;
        LocalTime now() override
        {
            LocalTime t;
            t.second = seconds++;
            return t;
        }
        void status(const LocalTime& when, std::string_view first, std::string_view second) override
        {
            stamps.push_back(when.second);
            RecordingReporter::status(when, first, second);
        }
    } stamping;
    const ops::PedalInfo before = found(2, 5, 0);
    const auto r = ops::cancel_update(sim.link, stamping, before, ops::PresetImage(image.data(), image.size()), {});
    ASSERT_EQ(r.outcome, ops::CancelOutcome::Left);
    ASSERT_EQ(stamping.lines, (std::vector<std::string>{"  Firmware update cancelled by user.", "  Ready."}));
    EXPECT_EQ(stamping.stamps, (std::vector<int>{0, 0}));
}

TEST_F(FirmwareUpdateTest, CancelThatCannotReachThePedalKeepsUpdateMode)
{
    const ops::PedalInfo before = found(2, 5, 0);
    sim.pedal.vanish_now();
    bool left = false;
    const auto r = ops::cancel_update(sim.link, report, before, ops::PresetImage(image.data(), image.size()),
                                      [&] { left = true; });
    EXPECT_EQ(r.outcome, ops::CancelOutcome::NotSent);
    EXPECT_FALSE(left);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_NE(report.alerts[0].find("USB communication problem is detected."), std::string::npos);
    EXPECT_TRUE(report.lines.empty());

    // A pedal whose firmware is too old leaves update mode, then the program
    // must end: the too-old alert, no read.
    SimulatedPedal old;
    old.pedal.set_update_mode(true);
    old.pedal.set_firmware_version({2, 2, 9});
    ops::PedalInfo info;
    info.firmware_version = old.pedal.pedal_state_bytes()[0];
    info.pedal_mode = old.pedal.pedal_state_bytes()[1];
    RecordingReporter old_report;
    const auto o = ops::cancel_update(old.link, old_report, info, ops::PresetImage(image.data(), image.size()));
    EXPECT_EQ(o.outcome, ops::CancelOutcome::TooOld);
    ASSERT_EQ(old_report.alerts.size(), 2u);
    EXPECT_NE(old_report.alerts[1].find("not compatible"), std::string::npos);
    EXPECT_EQ(old.count(0xC4), 0);
}

} // namespace
} // namespace kv
