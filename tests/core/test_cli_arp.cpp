// `korvane arp` against the simulated pedal through the in-process driver on
// a hand-driven clock: showing the sequences a preset plays, storing levels
// or a factory sequence into the pedal's library (asked first), and the
// usage errors that must not send anything.

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "cli/Terminal.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "preset/Catalogue.h"
#include "sim/PedalModel.h"
#include "tests/support/CliPedal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

class CliArpTest : public ::testing::Test, protected test::CliPedal {
protected:
    CliArpTest()
    {
        auto& p = pedal.memory().slots[4].parameters;   // preset 5
        p.algorithm_x = 37;
        p.sp1_x = 4;   // Sequence III
        p.algorithm_y = 32;
        p.sp1_y = 7;   // Sequence Random
    }
    int run(std::vector<std::string> args, bool yes = false)
    {
        if (yes) args.push_back("--yes");
        return CliPedal::run(args);
    }
};

TEST_F(CliArpTest, ShowPrintsTheSequencesAPresetPlays)
{
    ArpSequence third;
    const int levels[6] = {512, 1024, 1536, 2048, 4095, 0};
    for (int k = 0; k < 6; ++k) third.set_level(k, levels[k], false);
    third.set_step_count(6, false);
    pedal.memory().set_arp(6, 2, third.bytes);

    ASSERT_EQ(run({"arp", "show", "5"}), 0) << err;
    EXPECT_EQ(out, "DSP-X  ARPGTR  Sequence III  6 steps: 12.5 25.0 37.5 50.0 100.0 0.0\n"
                   "DSP-Y  ARP.FI  Sequence Random\n");
    ASSERT_EQ(run({"arp", "show", "1"}), 0) << err;
    EXPECT_NE(out.find("no sequence"), std::string::npos);
    EXPECT_FALSE(sent(0xC8));
}

TEST_F(CliArpTest, SaveStoresLevelsOrAFactorySequenceAfterAsking)
{
    // Without --yes and no terminal: refused, nothing sent.
    EXPECT_EQ(run({"arp", "save", "ARP.TR", "2", "100", "50", "25", "0", "75"}), 2);
    EXPECT_FALSE(sent(0xC8));

    ASSERT_EQ(run({"arp", "save", "arp.tr", "2", "100", "50", "25", "0", "75"}, true), 0) << err;
    ArpSequence want = make_arp_sequence({100, 50, 25, 0, 75, 0, 0, 0}, 5, true);
    EXPECT_EQ(pedal.memory().arp(0, 1), want.bytes);
    EXPECT_EQ(want.bytes[31], 0x30);
    EXPECT_EQ(want.second(0), 0);   // Arp Tremolo keeps no second copy
    EXPECT_NE(out.find("Stored as Arp Tremolo Sequence II: 5 steps: 100.0 50.0 25.0 0.0 75.0"), std::string::npos);
    EXPECT_NE(err.find("Arp sequence saved to pedal."), std::string::npos);

    ASSERT_EQ(run({"arp", "save", "37", "4", "factory", "3"}, true), 0) << err;
    FactoryArpTable table;
    ASSERT_TRUE(table.load(std::string(KV_SOURCE_DIR) + "/bin"));
    EXPECT_EQ(pedal.memory().arp(6, 3), table.sequence(6, 2).bytes);
}

TEST_F(CliArpTest, UsageErrorsSendNothing)
{
    const std::vector<std::vector<std::string>> bad = {
        {"arp"},
        {"arp", "play"},
        {"arp", "show"},
        {"arp", "show", "33"},
        {"arp", "show", "0"},
        {"arp", "save", "CHORUS", "1", "1", "2", "3", "4"},
        {"arp", "save", "ARPGTR", "5", "1", "2", "3", "4"},
        {"arp", "save", "ARPGTR", "1", "1", "2", "3"},
        {"arp", "save", "ARPGTR", "1", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {"arp", "save", "ARPGTR", "1", "1", "2", "3", "101"},
        {"arp", "save", "ARPGTR", "1", "1", "2", "-3", "4"},
        {"arp", "save", "ARPGTR", "1", "1e2", "2", "3", "4"},
        {"arp", "save", "ARPGTR", "1", "factory", "5"},
        {"arp", "save", "ARPGTR", "1", "factory"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(run(args, true), 2);
        EXPECT_TRUE(requests.empty());
        EXPECT_NE(err.find("Usage: korvane arp"), std::string::npos);
    }
}

} // namespace
} // namespace kv
