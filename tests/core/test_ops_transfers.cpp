// The preset operations against the simulated pedal, on a hand-driven clock:
// connecting, reading a slot, storing with its one retry, previews, and the
// migration after a firmware update. What each reports is recorded.

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Connect.h"
#include "ops/Migration.h"
#include "ops/Texts.h"
#include "ops/Transfers.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SimulatedPedal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::RecordingReporter;

DspProgram program_with(uint8_t seed)
{
    DspProgram p{};
    for (size_t i = 0; i < kDspProgramSize; ++i) p.bytes[i] = uint8_t(seed + i * 7);
    return p;
}

class OpsTest : public ::testing::Test, protected testing_support::PedalOnLink {
protected:
    OpsTest()
    {
        link.set_event_pump([this] { clock.advance(0.001); });
    }

    ops::EditedPreset edited()
    {
        ops::EditedPreset p;
        p.parameters = pedal.memory().slots[3].parameters;
        p.parameters.depth_x = 201;
        p.parameters.algorithm_x = 12;
        p.title = make_title("Stored Here");
        p.program_x = program_with(3);
        p.program_y = program_with(90);
        return p;
    }

    RecordingReporter report;
};

TEST_F(OpsTest, ConnectReadsTheImageSlotZeroAndReportsReady)
{
    std::array<uint8_t, kPresetImageSize> image{};
    const ops::ConnectResult r = ops::connect(link, report, true, image);
    ASSERT_EQ(r.outcome, ops::ConnectOutcome::Online);
    EXPECT_EQ(r.pedal.firmware_text(), "2.5.0");
    EXPECT_EQ(r.pedal.serial_number, "TV000001");
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Connecting ...", "  Initialization OK - Firmware 2.5.0.",
                                                      "  Ready."}));
    EXPECT_EQ(report.label, "Read complete");
    for (int s = 0; s < kSlotCount; ++s)
        EXPECT_EQ(title_text(image_title(image.data(), s)), title_text(pedal.memory().slots[size_t(s)].title));
    EXPECT_EQ(std::memcmp(&r.read.slot0, &pedal.memory().slots[0], kPresetRecordSize), 0);
}

TEST_F(OpsTest, ConnectRefusesOldFirmwareAndStopsAtUpdateMode)
{
    std::array<uint8_t, kPresetImageSize> image{};
    pedal.set_firmware_version({2, 2, 9});
    EXPECT_EQ(ops::connect(link, report, false, image).outcome, ops::ConnectOutcome::TooOld);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_EQ(report.alerts[0], ops::too_old_text());

    pedal.set_firmware_version({15, 0, 0});
    report.lines.clear();
    EXPECT_EQ(ops::connect(link, report, false, image).outcome, ops::ConnectOutcome::Online);
    EXPECT_TRUE(report.has("  Initialization OK - Firmware 15.0.0."));

    pedal.set_update_mode(true);
    report.lines.clear();
    EXPECT_EQ(ops::connect(link, report, false, image).outcome, ops::ConnectOutcome::UpdateMode);
    EXPECT_EQ(report.lines, std::vector<std::string>{"  Connecting ..."});
}

TEST(OpsConnect, APedalThatMayNotBeOpenedGetsOneMoreLine)
{
    ManualClock clock;
    InProcessDriver empty(clock);
    UsbLink link(empty, clock);
    link.set_console([](const std::string&) {});
    RecordingReporter report;
    std::array<uint8_t, kPresetImageSize> image{};
    const auto hint = +[]() -> std::string { return "  > The pedal is on /dev/ttyUSB0 but you may not open it."; };
    EXPECT_EQ(ops::connect(link, report, false, image, hint).outcome, ops::ConnectOutcome::NotFound);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Connecting ...", "  Pedal is not found.",
                                                      "  > Connect your pedal to a USB port then click 'Connect'.",
                                                      "  > The pedal is on /dev/ttyUSB0 but you may not open it."}));
    EXPECT_TRUE(report.alerts.empty());
}

TEST_F(OpsTest, ReadSlotBringsTheRecordAndTheArpSequences)
{
    PedalSlot& slot = pedal.memory().slots[18];
    slot.parameters.algorithm_x = 31;   // ARP.TR on DSP-X
    slot.parameters.sp1_x = 1;
    const ops::SlotRead r = ops::read_slot(link, report, 18);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::memcmp(&r.record, &slot, kPresetRecordSize), 0);
    EXPECT_TRUE(r.sequences[0].has_value());
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Read operation from Preset 19 OK.",
                                                      "  > Param setting as was saved in your pedal is now displayed."}));
    EXPECT_EQ(report.label, "r e a d y");
    EXPECT_EQ(report.value, 0);
}

TEST_F(OpsTest, AFailedReadLeavesNothingAndSaysSo)
{
    pedal.set_no_answer(true);
    const ops::SlotRead r = ops::read_slot(link, report, 0);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_EQ(report.alerts[0], ops::read_write_failed_text());
    EXPECT_TRUE(report.has("  Read operation failed."));
    EXPECT_EQ(report.label, "r e a d y");
}

TEST_F(OpsTest, StoreHoldsExactlyTheEditedPresetAfterOneRetryOnAMismatch)
{
    const ops::EditedPreset p = edited();
    pedal.corrupt_next_echoes(1);
    const ops::StoreResult r = ops::write_slot(link, report, 3, p);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.retried);
    EXPECT_TRUE(report.alerts.empty());
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  Write (Store) operation successful.",
                                                      "  > Param setting as displayed has been saved to pedal."}));
    EXPECT_EQ(report.label, "Write complete");
    EXPECT_NE(console.find("--> Auto-retry triggered.\n"), std::string::npos);
    EXPECT_NE(console.find("--> Auto-retry successful.\n"), std::string::npos);

    const PedalSlot& stored = pedal.memory().slots[3];
    EXPECT_EQ(std::memcmp(&stored.parameters, &p.parameters, kPresetParametersSize), 0);
    EXPECT_EQ(title_text(stored.title), "Stored Here");
    EXPECT_EQ(std::memcmp(&stored.program_x, &p.program_x, kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(&stored.program_y, &p.program_y, kDspProgramSize), 0);
}

TEST_F(OpsTest, AStoreThatFailsTwiceOrTimesOutIsAFailure)
{
    pedal.corrupt_next_echoes(4);   // both echoes of both attempts
    ops::StoreResult r = ops::write_slot(link, report, 3, edited());
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.retried);
    EXPECT_EQ(r.link.status, LinkStatus::echo_mismatch);
    EXPECT_EQ(report.label, "Write error");
    EXPECT_EQ(report.bar, ops::Bar::Error);
    EXPECT_TRUE(report.has("   Write operation failed."));
    EXPECT_FALSE(report.has("  Write (Store) operation successful."));
    EXPECT_EQ(report.alerts.size(), 1u);

    // A timeout is not retried.
    console.clear();
    pedal.set_no_answer(true);
    r = ops::write_slot(link, report, 3, edited());
    EXPECT_EQ(r.link.status, LinkStatus::timeout);
    EXPECT_FALSE(r.retried);
    EXPECT_EQ(console.find("Auto-retry"), std::string::npos);
}

TEST_F(OpsTest, PreviewsReachThePedalAndAPedalThatStopsAnsweringIsOffline)
{
    ops::EditedPreset p = edited();
    EXPECT_TRUE(ops::preview_edit(link, report, PreviewRequest::parameters, p).ok());
    EXPECT_EQ(std::memcmp(&pedal.playing().parameters, &p.parameters, kPresetParametersSize), 0);
    EXPECT_TRUE(ops::preview_edit(link, report, PreviewRequest::program_y, p).ok());
    EXPECT_EQ(std::memcmp(&pedal.playing().program_y, &p.program_y, kDspProgramSize), 0);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"  parameter change ok.", "  parameter change ok."}));

    p.parameters.algorithm_y = 33;   // ARP.FI: its sequence comes back
    p.parameters.sp1_y = 1;
    const ops::PreviewResult seq = ops::preview_edit(link, report, PreviewRequest::sequence_y, p);
    EXPECT_TRUE(seq.ok());
    EXPECT_TRUE(seq.sequence.has_value());

    pedal.vanish_now();
    report.lines.clear();
    EXPECT_FALSE(ops::preview_edit(link, report, PreviewRequest::parameters, p).ok());
    EXPECT_EQ(report.lines, std::vector<std::string>{"  parameter change OFFLINE."});
}

TEST_F(OpsTest, OfflinePreviewSendsBothProgramsWithTheGaps)
{
    const ops::EditedPreset p = edited();
    const double t0 = clock.now();
    ops::preview_offline(link, p);
    EXPECT_GE(clock.now() - t0, 0.15);
    EXPECT_EQ(std::memcmp(&pedal.playing().parameters, &p.parameters, kPresetParametersSize), 0);
    EXPECT_EQ(std::memcmp(&pedal.playing().program_x, &p.program_x, kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(&pedal.playing().program_y, &p.program_y, kDspProgramSize), 0);
    EXPECT_TRUE(report.lines.empty());
}

// --- migration after a firmware update --------------------------------------------

// The version byte carries the major number in bits 4 to 6 and the minor in
// bits 0 to 3; bit 7 is no part of it. Every byte from 0x80 up reads as the
// byte without bit 7 does (a blank pedal's 0xFF is 7.15: nothing to migrate).
TEST(PresetMigration, VersionBytesWithBit7SetReadAsTheirLowSevenBits)
{
    for (int v = 0x80; v <= 0xFF; ++v) {
        const uint8_t byte = uint8_t(v);
        const uint8_t low = uint8_t(v & 0x7F);
        for (uint8_t mode : {uint8_t(0x80), uint8_t(0x87), uint8_t(0x88)}) {
            EXPECT_EQ(migration_rule(byte, mode), migration_rule(low, mode)) << std::hex << v;
        }
        EXPECT_EQ(version_major(byte), (v >> 4) & 7) << std::hex << v;
        EXPECT_EQ(version_minor(byte), v & 15) << std::hex << v;
    }
    EXPECT_EQ(migration_rule(0x90, 0x80), MigrationRule::A);    // 1.0
    EXPECT_EQ(migration_rule(0xA0, 0x87), MigrationRule::B);    // 2.0.7
    EXPECT_EQ(migration_rule(0xA2, 0x80), MigrationRule::D);    // 2.2
    EXPECT_FALSE(migration_rule(0xFF, 0x80).has_value());       // 7.15
    EXPECT_FALSE(migration_rule(0xB0, 0x80).has_value());       // 3.0
}

// Adding an offline preset from a file, and Cancel, play the edited preset
// again DSP-Y first: C3, C6, C3, C5, and no sequence is asked for.
TEST_F(OpsTest, AddedPresetIsPlayedDspYFirstWithoutAnArpFetch)
{
    ops::EditedPreset p = edited();
    p.parameters.algorithm_x = 31;   // an arp algorithm: preview_offline would fetch its sequence
    std::vector<uint8_t> commands;
    pedal.set_request_observer([&](const PedalRequest& q) {
        if (q.name.find("messageId") == std::string::npos) commands.push_back(q.command);   // Write Data's first part
    });
    ops::preview_added(link, p);
    EXPECT_EQ(commands, (std::vector<uint8_t>{0xC3, 0xC6, 0xC3, 0xC5}));
    EXPECT_EQ(std::memcmp(&pedal.playing().program_x, &p.program_x, kDspProgramSize), 0);
    EXPECT_EQ(std::memcmp(&pedal.playing().program_y, &p.program_y, kDspProgramSize), 0);
}

TEST(PresetMigration, RulesByTheirExamples)
{
    EXPECT_EQ(migration_rule(0x15, 0x80), MigrationRule::A);
    EXPECT_EQ(migration_rule(0x20, 0x87), MigrationRule::B);
    EXPECT_EQ(migration_rule(0x20, 0x88), MigrationRule::C);
    EXPECT_EQ(migration_rule(0x21, 0x80), MigrationRule::C);
    EXPECT_EQ(migration_rule(0x22, 0x85), MigrationRule::D);
    EXPECT_FALSE(migration_rule(0x23, 0x80).has_value());
    EXPECT_FALSE(migration_rule(0x30, 0x80).has_value());

    PresetParameters p = default_parameters();
    p.algorithm_x = 9;
    p.algorithm_y = 4;
    p.volume = 6;
    p.tap = 0;
    EXPECT_TRUE(migrate_preset(p, MigrationRule::C));
    EXPECT_EQ(p.algorithm_x, 10);

    PresetParameters q = default_parameters();
    q.algorithm_x = 8;
    q.algorithm_y = 4;
    q.volume = 6;
    q.tap = 0;
    EXPECT_FALSE(migrate_preset(q, MigrationRule::C));
    EXPECT_EQ(q.algorithm_x, 8);

    PresetParameters a = q;
    a.algorithm_x = 2;
    a.speed_x[0] = 0x34;
    a.speed_x[1] = 0x01;
    EXPECT_TRUE(migrate_preset(a, MigrationRule::A));
    EXPECT_EQ(a.algorithm_x, 1);
    EXPECT_EQ(a.speed_x_raw(), 512);

    PresetParameters b = q;
    b.algorithm_x = 1;
    b.speed_x[0] = 0x34;
    b.speed_x[1] = 0x01;
    EXPECT_TRUE(migrate_preset(b, MigrationRule::A));
    EXPECT_EQ(b.algorithm_x, 3);
    EXPECT_EQ(b.speed_x[0], 0x34);
    EXPECT_EQ(b.speed_x[1], 0x01);

    PresetParameters v = q;
    v.volume = 12;
    EXPECT_FALSE(migrate_preset(v, MigrationRule::D));
    EXPECT_TRUE(migrate_preset(v, MigrationRule::B));
    EXPECT_EQ(v.volume, 6);
}

TEST_F(OpsTest, MigrationStoresOnlyTheChangedPresetsUnderTheirOwnTitles)
{
    for (auto& s : pedal.memory().slots) {
        s.parameters.algorithm_x = 4;
        s.parameters.algorithm_y = 5;
        s.parameters.volume = 6;
        s.parameters.tap = 0;
    }
    pedal.memory().slots[7].parameters.algorithm_x = 9;
    pedal.memory().slots[7].title = make_title("Keep Me");
    const PedalSlot untouched = pedal.memory().slots[8];

    std::array<uint8_t, kPresetImageSize> image{};
    int built = 0;
    const ops::MigrationResult r = ops::read_everything_migrating(
        link, report, MigrationRule::C, image, [&](const PresetParameters&, DspProgram& x, DspProgram& y) {
            ++built;
            x = program_with(1);
            y = program_with(2);
        });
    EXPECT_TRUE(r.read.ok());
    EXPECT_EQ(r.rewritten, 1);
    EXPECT_EQ(built, 1);
    EXPECT_EQ(pedal.memory().slots[7].parameters.algorithm_x, 10);
    EXPECT_EQ(title_text(pedal.memory().slots[7].title), "Keep Me");
    EXPECT_TRUE(pedal.memory().slots[8] == untouched);
}

} // namespace
} // namespace kv
