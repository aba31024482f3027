// The arp editor's exchanges against the simulated pedal on a hand-driven
// clock: choosing a sequence reads it back from the pedal, previews send
// store flag 0 and leave the library alone, saving stores into the library,
// failures write the OFFLINE line and never hand on the link's stale buffer,
// and factory sequences come from "bin/arpdata.bin".

#include "arp/FactoryArpTable.h"
#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Arp.h"
#include "platform/Clock.h"
#include "preset/Catalogue.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/SimulatedPedal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

using test::RecordingReporter;

ArpSequence ramp(int base, bool tremolo)
{
    ArpSequence s;
    for (int k = 0; k < kArpSteps; ++k) s.set_level(k, base + 300 * k, tremolo);
    return s;
}

class OpsArpTest : public ::testing::Test, protected testing_support::PedalOnLink {
protected:
    OpsArpTest()
    {
        link.set_event_pump([this] {
            ++pumps;
            clock.advance(0.001);
        });
        pedal.set_request_observer([this](const PedalRequest& r) { requests.push_back(r); });
    }
    RecordingReporter report;
    std::vector<PedalRequest> requests;
    int pumps = 0;
};

TEST_F(OpsArpTest, ChoosingASequenceSwitchesTheEngineThenReadsThatSequence)
{
    // Sequence III of Arp Flanger (index 3) as the library holds it.
    const ArpSequence third = ramp(700, false);
    pedal.memory().set_arp(3, 2, third.bytes);

    PresetParameters p{};
    p.algorithm_x = 10;
    p.algorithm_y = 34;
    p.sp1_y = uint8_t(arp_selector(2));   // 4
    p.set_focus(Engine::Y);

    const double t0 = clock.now();
    const ops::SequenceFetch r = ops::fetch_chosen_sequence(link, report, p, Engine::Y);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(*r.sequence, third);
    // Change Core, a pause of 40 ms that keeps the window alive, then GET_ARPDATA
    // [0xC7, index 3, engine 1, selector 4].
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].command, 0xC3);
    EXPECT_EQ(requests[1].command, 0xC7);
    EXPECT_EQ(std::vector<uint8_t>(requests[1].head.begin(), requests[1].head.begin() + 4),
              (std::vector<uint8_t>{0xC7, 3, 1, 4}));
    EXPECT_EQ(pedal.playing().parameters.sp1_y, 4);
    EXPECT_GE(clock.now() - t0, 0.04);
    EXPECT_GT(pumps, 30);
    EXPECT_EQ(report.lines, std::vector<std::string>{"  Arp sequence read/write ok."});
}

TEST_F(OpsArpTest, PreviewSendsStoreFlagZeroAndSaveStoresIntoTheLibrary)
{
    const ArpSequence before = ArpSequence::from_bytes(pedal.memory().arp(6, 1).data(), kArpSequenceSize);
    ArpSequence edited = ramp(100, false);
    edited.set_step_count(5, false);
    const ops::ArpTarget target{Engine::X, kAlgorithmArpeggiator, uint8_t(arp_selector(1))};

    EXPECT_TRUE(ops::preview_sequence(link, report, target, edited).ok());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(requests[0].head.begin(), requests[0].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 0, 0, 6, 2}));
    EXPECT_EQ(pedal.playing().arp_x, edited.bytes);
    EXPECT_EQ(ArpSequence::from_bytes(pedal.memory().arp(6, 1).data(), kArpSequenceSize), before);

    // The store, then the library's copy read back to verify it (SET_ARPDATA has no answer).
    EXPECT_TRUE(ops::save_sequence(link, report, target, edited).ok());
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(requests[1].head.begin(), requests[1].head.begin() + 5),
              (std::vector<uint8_t>{0xC8, 0, 1, 6, 2}));
    EXPECT_EQ(std::vector<uint8_t>(requests[2].head.begin(), requests[2].head.begin() + 4),
              (std::vector<uint8_t>{0xC7, 6, 0, 2}));
    EXPECT_EQ(pedal.memory().arp(6, 1), edited.bytes);
    EXPECT_EQ(ArpSequence::from_bytes(link.buffer(), kArpSequenceSize), edited);

    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"  Arp sequence read/write ok.", "  Arp sequence saved to pedal."}));
    EXPECT_NE(console.find("Send SET_ARPDATA successful (37 bytes written)."), std::string::npos);
}

// SET_ARPDATA is never answered, so a deaf pedal would take a save without a
// word: the save counts only when the library gives the sequence back.
TEST_F(OpsArpTest, ASaveThePedalDidNotKeepIsReportedOffline)
{
    const ops::ArpTarget target{Engine::Y, kAlgorithmArpeggiator, uint8_t(arp_selector(2))};
    const auto before = pedal.memory().arp(6, 2);
    pedal.set_no_answer(true);
    EXPECT_FALSE(ops::save_sequence(link, report, target, ramp(400, false)).ok());
    EXPECT_EQ(pedal.memory().arp(6, 2), before);
    EXPECT_EQ(report.lines, std::vector<std::string>{" Arp sequence read/write OFFLINE."});
}

TEST_F(OpsArpTest, ASilentPedalGivesTheOfflineLineAndNoSequenceFromTheStaleBuffer)
{
    // Something else is left in the link's buffer first: a whole preset read.
    ASSERT_TRUE(link.read_preset(3));
    requests.clear();
    pedal.set_no_answer(true);

    PresetParameters p{};
    p.algorithm_x = 32;
    p.sp1_x = 2;
    const ops::SequenceFetch r = ops::fetch_chosen_sequence(link, report, p, Engine::X);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.sequence.has_value());

    // The pedal answers Change Core but not GET_ARPDATA: still nothing made up.
    pedal.set_no_answer(false);
    pedal.set_short_answer(true);
    const ops::SequenceFetch half = ops::fetch_chosen_sequence(link, report, p, Engine::X);
    EXPECT_FALSE(half.ok());
    EXPECT_FALSE(half.sequence.has_value());
    EXPECT_FALSE(half.link.ok());

    EXPECT_EQ(report.lines, (std::vector<std::string>{" Arp sequence read/write OFFLINE.",
                                                      " Arp sequence read/write OFFLINE."}));

    // With no pedal at all a save fails too, and says so rather than "saved".
    driver.detach_all();
    report.lines.clear();
    EXPECT_FALSE(ops::save_sequence(link, report, {Engine::Y, 31, 0}, ramp(0, true)).ok());
    EXPECT_EQ(report.lines, std::vector<std::string>{" Arp sequence read/write OFFLINE."});
    EXPECT_TRUE(report.dialogs.empty());
}

TEST_F(OpsArpTest, FactorySequencesComeFromTheShippedTableAndAMissingFileIsTriedAgain)
{
    FactoryArpTable table;
    const std::string missing = ::testing::TempDir() + "no_such_arp_folder";
    EXPECT_FALSE(ops::factory_sequence(table, report, 37, 2, missing));
    ASSERT_EQ(report.dialogs.size(), 1u);
    EXPECT_EQ(report.dialogs[0], std::string("message:") + kArpFactoryLoadFailedMessage);
    EXPECT_FALSE(table.loaded());

    // The shipped file: Arpeggiator (index 6) sequence III lies at 6 * 128 + 2 * 32.
    const std::string bin = std::string(KV_SOURCE_DIR) + "/bin";
    const auto seq = ops::factory_sequence(table, report, 37, 2, bin);
    ASSERT_TRUE(seq);
    EXPECT_EQ(*seq, ArpSequence::from_bytes(table.bytes().data() + 832, kArpSequenceSize));
    EXPECT_TRUE(table.complete());
    EXPECT_EQ(report.dialogs.size(), 1u);
    EXPECT_TRUE(report.lines.empty());   // loading talks to nobody
}

} // namespace
} // namespace kv
