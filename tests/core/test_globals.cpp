// The global record and the expression mapping as data, and the settings
// operations against the simulated pedal on a hand-driven clock: what the
// panels put into the record, the rotation on the wire, the AUX migration,
// the CC rules, the checks a record from a file must pass, and the commit of
// a mapping into a parameter block.

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Settings.h"
#include "platform/Clock.h"
#include "settings/ExpressionMapping.h"
#include "settings/GlobalsRecord.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SimulatedPedal.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::RecordingReporter;

// --- the record --------------------------------------------------------------------

TEST(GlobalsRecordTest, StartupAndFactoryRecordsMatchWhatThePedalShipsWith)
{
    EXPECT_EQ(GlobalsRecord::factory().bytes, factory_globals());
    GlobalsRecord s = GlobalsRecord::startup();
    EXPECT_EQ(s.bytes[0] | s.bytes[1] | s.bytes[2], 0);
    EXPECT_EQ(s.bytes[3], 0x60);
    EXPECT_EQ(s.pages_index(), 3);
    for (int k = 0; k < kCcFunctionCount; ++k) EXPECT_EQ(s.cc(k), 14 + k);
    EXPECT_TRUE(record_problems(GlobalsRecord::factory()).empty());
}

TEST(GlobalsRecordTest, WireOrderCarriesBytes3To33BeforeTheAuxActions)
{
    GlobalsRecord r;
    std::iota(r.bytes.begin(), r.bytes.end(), 0);
    const auto w = r.to_wire();
    for (size_t i = 0; i < 31; ++i) EXPECT_EQ(w[i], i + 3);
    EXPECT_EQ(w[31], 0);
    EXPECT_EQ(w[32], 1);
    EXPECT_EQ(w[33], 2);
    EXPECT_EQ(GlobalsRecord::from_wire(w.data()), r);
    // The simulator's own rotation agrees.
    EXPECT_EQ(globals_to_wire(r.bytes), w);
}

TEST(GlobalsRecordTest, GlobalPanelPartRoundTripsAndKeepsTheBitsItDoesNotOwn)
{
    // Byte 4 = 0xF5: tap tempo, blinking off, bits 4-5 set, channel 6.
    GlobalsRecord r = GlobalsRecord::startup();
    r.bytes[4] = 0xF5;
    const GlobalSettings s = r.global_settings();
    EXPECT_TRUE(s.tap_tempo);
    EXPECT_TRUE(s.blinking_off);
    EXPECT_EQ(r.midi_settings().channel_index, 5);
    GlobalsRecord confirmed = r;
    confirmed.apply(s);
    confirmed.apply(r.midi_settings());
    EXPECT_EQ(confirmed, r);

    // Turning both off keeps the channel and bits 4-5.
    GlobalSettings off = s;
    off.tap_tempo = false;
    off.blinking_off = false;
    confirmed.apply(off);
    EXPECT_EQ(confirmed.bytes[4], 0x35);

    // Pages 4, favourite 16B, pad on: byte 3 = 0xFF; and back.
    GlobalSettings full;
    full.aux = {7, 10, 2};
    full.favourite = 31;
    full.pages_index = 3;
    full.pad_6db = true;
    GlobalsRecord g = GlobalsRecord::startup();
    g.apply(full);
    EXPECT_EQ(g.bytes[3], 0xFF);
    EXPECT_EQ(g.bytes[0], 7);
    EXPECT_EQ(g.bytes[1], 10);
    EXPECT_EQ(g.bytes[2], 2);
    EXPECT_EQ(g.global_settings(), full);
    EXPECT_EQ(g.cc_map(), GlobalsRecord::startup().cc_map());

    // A list without selection goes out as 255.
    full.aux[1] = kAuxNoSelection;
    g.apply(full);
    EXPECT_EQ(g.bytes[1], 255);
}

TEST(GlobalsRecordTest, MidiPartTouchesOnlyTheChannelBitsAndTheMap)
{
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[4] = 0xC3;
    MidiSettings m = r.midi_settings();
    m.channel_index = 9;   // " Channel 10"
    m.cc[0] = 99;
    GlobalsRecord after = r;
    after.apply(m);
    EXPECT_EQ(after.bytes[4], 0xC9);
    EXPECT_EQ(after.cc(0), 99);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(after.bytes[i], r.bytes[i]);
    for (int k = 1; k < kCcFunctionCount; ++k) EXPECT_EQ(after.cc(k), r.cc(k));
}

TEST(GlobalsRecordTest, FavouriteListFollowsAnyAuxListOnFavorite)
{
    EXPECT_FALSE(favourite_list_enabled({3, 10, 2}));
    EXPECT_TRUE(favourite_list_enabled({7, 10, 2}));
    EXPECT_TRUE(favourite_list_enabled({3, 7, 2}));
    EXPECT_TRUE(favourite_list_enabled({3, 10, 7}));
    EXPECT_TRUE(favourite_list_enabled({7, 7, 7}));
    EXPECT_FALSE(favourite_list_enabled({kAuxNoSelection, 6, 8}));
}

TEST(GlobalsRecordTest, AuxTablesHaveALabelForEveryCodeAndHintsByContact)
{
    for (int code = 0; code < kAuxActionCount; ++code) EXPECT_FALSE(aux_action_name(code).empty()) << code;
    EXPECT_TRUE(aux_action_name(16).empty());
    EXPECT_TRUE(aux_action_name(255).empty());
    EXPECT_EQ(aux_action_name(kAuxFavorite), "Favorite");
    // The ramp hold hint differs between TIP and RING and is absent on both.
    EXPECT_EQ(aux_hint(AuxContact::Tip, 0), "( Hold 0.5 sec : Ramp Y )");
    EXPECT_EQ(aux_hint(AuxContact::Ring, 9), "( Hold 0.5 sec : Ramp X )");
    EXPECT_TRUE(aux_hint(AuxContact::TipRing, 0).empty());
    EXPECT_TRUE(aux_hint(AuxContact::Tip, 10).empty());
    EXPECT_EQ(aux_hint(AuxContact::TipRing, 12), "(Momentary action enabled)");
    EXPECT_TRUE(aux_hint(AuxContact::Tip, 200).empty());
    EXPECT_EQ(favourite_name(0), "1A");
    EXPECT_EQ(favourite_name(31), "16B");
    EXPECT_TRUE(favourite_name(32).empty());
}

TEST(GlobalsRecordTest, MigrationMovesActionCodesUpByTwoAtMost15)
{
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[0] = 0;
    r.bytes[1] = 12;
    r.bytes[2] = 14;
    const GlobalsRecord m = migrated_aux_codes(r);
    EXPECT_EQ(m.bytes[0], 2);
    EXPECT_EQ(m.bytes[1], 14);
    EXPECT_EQ(m.bytes[2], 15);
    for (size_t i = 3; i < kGlobalsRecordSize; ++i) EXPECT_EQ(m.bytes[i], r.bytes[i]);
}

TEST(GlobalsRecordTest, TypedCcNumbersAreClampedAndDuplicatesFound)
{
    EXPECT_EQ(parse_cc_text("150"), 99);
    EXPECT_EQ(parse_cc_text("007"), 7);
    EXPECT_EQ(parse_cc_text("-5"), 0);
    EXPECT_EQ(parse_cc_text(""), 0);
    EXPECT_EQ(parse_cc_text("abc"), 0);
    EXPECT_EQ(parse_cc_text("12x"), 12);
    EXPECT_EQ(parse_cc_text("99999999999999999999"), 99);
    const CcMap map = GlobalsRecord::startup().cc_map();
    EXPECT_TRUE(cc_in_use_elsewhere(map, 0, 15));    // row 1 holds 15
    EXPECT_FALSE(cc_in_use_elsewhere(map, 0, 14));   // its own value
    EXPECT_FALSE(cc_in_use_elsewhere(map, 0, 0));
}

TEST(GlobalsRecordTest, RecordsThePanelsWouldRefuseAreNamed)
{
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[1] = 16;
    r.bytes[5 + 16] = 120;   // X-SPEED
    r.bytes[5 + 1] = 14;     // DSP-Y on DSP-X's 14
    const auto p = record_problems(r);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0], "TIP + RING: AUX action code 16 is out of range (0 to 15, or 255 for none)");
    EXPECT_EQ(p[1], "CC number 120 of X-SPEED is above 99");
    EXPECT_EQ(p[2], "CC 14 is used by both DSP-X and DSP-Y");
}

TEST(GlobalsRecordTest, DescriptionNamesEverySettingOnce)
{
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[4] = 0xF5;
    const auto lines = describe(r);
    EXPECT_EQ(lines.size(), 3u + 6u + 29u);
    EXPECT_EQ(lines[0], "AUX TIP: Bank Down");
    EXPECT_EQ(lines[1], "AUX TIP + RING: Tap Tempo");
    EXPECT_EQ(lines[3], "Fave Preset: 1A");
    EXPECT_EQ(lines[4], "Preset Pages: 4");
    EXPECT_EQ(lines[6], "MIDI Channel: Channel 6");
    EXPECT_EQ(lines[7], "Footswitch B/X: Tap-Tempo");
    EXPECT_EQ(lines[8], "Tempo LED: Blinking Off");
    EXPECT_EQ(lines[9], "CC DSP-X: 14");
    EXPECT_EQ(lines.back(), "CC EXP PEDAL: 42");
}

// --- the expression mapping -----------------------------------------------------------

TEST(ExpressionMappingTest, MappedBitFollowsHeelAgainstToe)
{
    ExpressionMapping m = ExpressionMapping::initial();
    EXPECT_TRUE(m.mapped(Engine::X, Knob::Speed));
    m.set_level(Engine::X, Knob::Speed, false, 255);   // heel = toe
    EXPECT_FALSE(m.mapped(Engine::X, Knob::Speed));
    m.set_level(Engine::X, Knob::Speed, true, 128);    // apart again
    EXPECT_TRUE(m.mapped(Engine::X, Knob::Speed));
    EXPECT_TRUE(m.mapped(Engine::Y, Knob::Speed));     // the other engine untouched
}

TEST(ExpressionMappingTest, CommitSetsTheChangeCodeAndKeepsTheRotaryBits)
{
    PresetParameters block = default_parameters();
    block.focus = 0xFF;
    block.rotor = 0x11;   // both rotors fast, every ramp slow
    block.reserved[0] = 0xAB;
    ExpressionMapping m = ExpressionMapping::from_block(block);
    EXPECT_EQ(m.mapping_flags, 0xFC);
    m.set_fast(Engine::X, Knob::Tweak, true);
    const PresetParameters before = block;
    commit_mapping(block, m, kChangeX);
    EXPECT_EQ(block.focus, 0xFC);        // bits 0-1: DSP-X
    EXPECT_EQ(block.rotor, 0x13);        // bit 1 set, rotors kept
    commit_mapping(block, m, kChangeY);
    EXPECT_EQ(block.focus & 0x03, 1);
    // Nothing outside bytes 2, 3 and 19..30 moves.
    for (size_t i = 0; i < kPresetParametersSize; ++i) {
        if (i == 2 || i == 3 || (i >= 19 && i <= 30)) continue;
        EXPECT_EQ(block.data()[i], before.data()[i]) << i;
    }
    // Reloading shows the fast TWEAK ramp again.
    EXPECT_TRUE(ExpressionMapping::from_block(block).fast(Engine::X, Knob::Tweak));
    EXPECT_TRUE(speed_depth_exclusive(29));
    EXPECT_TRUE(speed_depth_exclusive(30));
    EXPECT_FALSE(speed_depth_exclusive(28));
}

// --- against the simulated pedal ------------------------------------------------------

class SettingsOpsTest : public ::testing::Test, protected testing_support::PedalOnLink {
protected:
    void SetUp() override
    {
        pedal.set_request_observer([this](const PedalRequest& r) { commands.push_back(r.command); });
    }
    RecordingReporter report;
    std::vector<uint8_t> commands;
};

TEST_F(SettingsOpsTest, ReadAndSendReachThePedalsRecord)
{
    pedal.memory().globals[4] = 0xF5;
    const auto read = ops::read_globals(link);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->bytes, pedal.memory().globals);

    GlobalsRecord r = *read;
    r.bytes[0] = 7;
    ASSERT_TRUE(ops::send_globals(link, report, r));
    EXPECT_EQ(pedal.memory().globals, r.bytes);
    EXPECT_EQ(report.dialogs, std::vector<std::string>{"message:Global Configuration setup complete."});
    EXPECT_EQ(report.lines, std::vector<std::string>{"  Global Config. setup complete."});
    EXPECT_EQ(report.value, 100);
    EXPECT_EQ(report.label, "Global setup complete");
    EXPECT_EQ(report.bar, ops::Bar::Level);
    // The request on the wire is the rotated record; GET_GLOBALS follows it to verify.
    ASSERT_GE(driver.writes().size(), 2u);
    EXPECT_EQ(driver.writes().back(), std::vector<uint8_t>{0xC1});
    const auto& w = driver.writes()[driver.writes().size() - 2];
    ASSERT_EQ(w.size(), 35u);
    EXPECT_EQ(w[0], 0xC2);
    EXPECT_EQ(w[1], r.bytes[3]);
    EXPECT_EQ(w[32], 7);
}

TEST_F(SettingsOpsTest, SetGlobalsCarriesBytes3To33FirstOnTheWire)
{
    GlobalsRecord r;
    std::iota(r.bytes.begin(), r.bytes.end(), 0);
    ASSERT_TRUE(ops::send_globals(link, report, r));
    std::vector<uint8_t> want{0xC2};
    for (int i = 3; i < 34; ++i) want.push_back(uint8_t(i));
    for (int i = 0; i < 3; ++i) want.push_back(uint8_t(i));
    ASSERT_GE(driver.writes().size(), 2u);
    EXPECT_EQ(driver.writes()[driver.writes().size() - 2], want);
    EXPECT_EQ(pedal.memory().globals, r.bytes);
    // And GET_GLOBALS brings it back in record order.
    EXPECT_EQ(ops::read_globals(link), r);
}

// SET_GLOBALS has no answer, so a deaf pedal takes it without a word: the
// settings count as set only once the pedal gives them back.
TEST_F(SettingsOpsTest, SettingsThePedalDidNotKeepAreReportedAsAFailure)
{
    const GlobalsBytes before = pedal.memory().globals;
    pedal.set_no_answer(true);
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[0] = 9;
    EXPECT_FALSE(ops::send_globals(link, report, r));
    EXPECT_EQ(pedal.memory().globals, before);
    EXPECT_EQ(report.alerts, std::vector<std::string>{ops::set_globals_failed_text()});
    EXPECT_EQ(report.bar, ops::Bar::Error);
}

TEST_F(SettingsOpsTest, FailedSendIsReportedAndLeavesThePedalAlone)
{
    const GlobalsBytes before = pedal.memory().globals;
    driver.fail_next_write(FT_IO_ERROR, 0);
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[0] = 9;
    EXPECT_FALSE(ops::send_globals(link, report, r));
    EXPECT_EQ(pedal.memory().globals, before);
    ASSERT_EQ(report.alerts.size(), 1u);
    EXPECT_EQ(report.alerts[0].rfind("USB communication error has occurred when trying to set Global Configuration.", 0), 0u);
    EXPECT_NE(report.alerts[0].find("< Direct support email : "), std::string::npos);
    EXPECT_EQ(report.lines, std::vector<std::string>{"  > Global Config. setup failed. Please try again."});
    EXPECT_EQ(report.value, 100);
    EXPECT_EQ(report.label, "error");
    EXPECT_EQ(report.bar, ops::Bar::Error);
}

TEST_F(SettingsOpsTest, MigrationRewritesOnlyAfterAGoodRead)
{
    pedal.memory().globals[0] = 0;
    pedal.memory().globals[1] = 12;
    pedal.memory().globals[2] = 14;
    pedal.memory().globals[4] = 0x35;
    GlobalsRecord copy = GlobalsRecord::startup();
    const ops::AuxMigration m = ops::migrate_aux_codes(link, report, copy);
    EXPECT_TRUE(m.ok());
    EXPECT_EQ(pedal.memory().globals[0], 2);
    EXPECT_EQ(pedal.memory().globals[1], 14);
    EXPECT_EQ(pedal.memory().globals[2], 15);
    EXPECT_EQ(pedal.memory().globals[4], 0x35);
    EXPECT_EQ(copy.bytes, pedal.memory().globals);
    EXPECT_TRUE(report.lines.empty());
    EXPECT_TRUE(report.alerts.empty());

    // A pedal that does not answer GET_GLOBALS gets no SET_GLOBALS.
    commands.clear();
    pedal.set_short_answer(true);
    const GlobalsBytes held = pedal.memory().globals;
    const GlobalsRecord copy_before = copy;
    const ops::AuxMigration f = ops::migrate_aux_codes(link, report, copy);
    EXPECT_FALSE(f.ok());
    EXPECT_FALSE(f.read);
    EXPECT_EQ(commands, std::vector<uint8_t>{0xC1});
    EXPECT_EQ(pedal.memory().globals, held);
    EXPECT_EQ(copy, copy_before);
    EXPECT_EQ(report.lines.size(), 2u);
}

TEST_F(SettingsOpsTest, LoadVerifiesByReadingBack)
{
    GlobalsRecord r = GlobalsRecord::factory();
    r.bytes[3] = 0xFF;
    r.bytes[4] = 0xF5;
    GlobalsRecord back;
    EXPECT_EQ(ops::load_globals(link, r, &back), ops::LoadOutcome::Verified);
    EXPECT_EQ(back, r);
    EXPECT_EQ(pedal.memory().globals, r.bytes);
    EXPECT_EQ(commands, (std::vector<uint8_t>{0xC2, 0xC1}));

    pedal.set_short_answer(true);
    EXPECT_EQ(ops::load_globals(link, GlobalsRecord::factory()), ops::LoadOutcome::ReadBackFailed);
    pedal.set_short_answer(false);
    driver.fail_next_write(FT_IO_ERROR, 0);
    EXPECT_EQ(ops::load_globals(link, r), ops::LoadOutcome::WriteFailed);
}

} // namespace
} // namespace kv
