#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using kv::ArpSequence;

constexpr bool kTremolo = true;
constexpr bool kFilter = false;

ArpSequence with_levels(std::initializer_list<int> levels, bool tremolo)
{
    ArpSequence s;
    int k = 0;
    for (int v : levels) s.set_level(k++, v, tremolo);
    return s;
}

// --- level scale --------------------------------------------------------------

TEST(ArpLevelScale, EdgesAndGridPositions)
{
    EXPECT_EQ(kv::arp_level_from_shown(0), 0);
    EXPECT_EQ(kv::arp_level_from_shown(50), 2048);
    EXPECT_EQ(kv::arp_level_from_shown(100), 4095);
    const int grid[] = {512, 1024, 1536, 2048, 2559, 3071, 3583};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(kv::arp_level_from_shown(12.5 * (i + 1)), grid[i]) << i;
    // Values outside the slider's range stay inside the record's.
    EXPECT_EQ(kv::arp_level_from_shown(-3), 0);
    EXPECT_EQ(kv::arp_level_from_shown(130), 4095);
    EXPECT_EQ(kv::arp_level_from_shown(std::nan("")), 0);

    EXPECT_NEAR(kv::arp_shown_from_level(512), 12.5, 0.01);
    EXPECT_NEAR(kv::arp_shown_from_level(1024), 25.0, 0.01);
    EXPECT_DOUBLE_EQ(kv::arp_shown_from_level(4095), 100.0);
    // Every whole shown value survives a trip through the record.
    for (int shown = 0; shown <= 100; ++shown)
        EXPECT_EQ(std::lround(kv::arp_shown_from_level(kv::arp_level_from_shown(shown))), shown);
}

TEST(ArpLevelScale, SnapRoundsToNearestGridTiesToEven)
{
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(30), 25);
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(44), 50);
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(56), 50);
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(31.25), 25);    // tie between 25 and 37.5
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(43.75), 50);    // tie between 37.5 and 50
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(100), 100);
    EXPECT_DOUBLE_EQ(kv::arp_snap_shown(0), 0);
}

TEST(ArpIndexing, SequenceSelector)
{
    EXPECT_EQ(kv::arp_selector(0), 0);
    EXPECT_EQ(kv::arp_selector(1), 2);
    EXPECT_EQ(kv::arp_selector(2), 4);
    EXPECT_EQ(kv::arp_selector(3), 6);
    EXPECT_EQ(kv::arp_selector(4), 7);
    EXPECT_EQ(kv::arp_selector(9), 7);
}

// --- writing ------------------------------------------------------------------

TEST(ArpRecordWrite, TremoloKeepsSecondCopyZeroOthersCarryTheLevelTwice)
{
    ArpSequence tr = with_levels({4095, 0, 2048, 1024, 300, 3071, 1, 4000}, kTremolo);
    ArpSequence fi = with_levels({4095, 0, 2048, 1024, 300, 3071, 1, 4000}, kFilter);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(tr.level(k), fi.level(k));
        EXPECT_EQ(tr.second(k), 0) << k;
        EXPECT_EQ(fi.second(k), fi.level(k)) << k;
    }
    // Little-endian, low byte first.
    EXPECT_EQ(fi.bytes[0], 0xFF);
    EXPECT_EQ(fi.bytes[1], 0x0F);
    EXPECT_EQ(fi.bytes[2], 0xFF);
    EXPECT_EQ(fi.bytes[3], 0x0F);
    EXPECT_EQ(tr.bytes[2], 0);
    EXPECT_EQ(tr.bytes[3], 0);
    // Out-of-range input neither escapes the record nor the level range.
    fi.set_level(8, 1234, kFilter);
    fi.set_level(-1, 1234, kFilter);
    fi.set_level(1, 70000, kFilter);
    EXPECT_EQ(fi.level(1), 4095);
    EXPECT_EQ(fi.level(8), 0);
}

TEST(ArpRecordWrite, StepCountMarkerAndRestoreToEight)
{
    ArpSequence fi = with_levels({10, 20, 30, 40, 50, 60, 70, 0x0ABC}, kFilter);
    const int markers[] = {0x40, 0x30, 0x20, 0x10};
    for (int n = 4; n <= 7; ++n) {
        fi.set_step_count(n, kFilter);
        EXPECT_EQ(fi.bytes[31], markers[n - 4]);
        EXPECT_EQ(fi.step_count(), n);
        EXPECT_EQ(fi.level(7), 0x0ABC);  // the marker lives in the second copy only
    }
    fi.set_step_count(8, kFilter);
    EXPECT_EQ(fi.bytes[30], 0xBC);
    EXPECT_EQ(fi.bytes[31], 0x0A);
    EXPECT_EQ(fi.step_count(), 8);

    ArpSequence tr = with_levels({10, 20, 30, 40, 50, 60, 70, 0x0ABC}, kTremolo);
    tr.set_step_count(5, kTremolo);
    EXPECT_EQ(tr.bytes[31], 0x30);
    tr.set_step_count(8, kTremolo);
    EXPECT_EQ(tr.bytes[30], 0);
    EXPECT_EQ(tr.bytes[31], 0);
    // Counts outside 4..8 are clamped rather than writing odd markers.
    tr.set_step_count(2, kTremolo);
    EXPECT_EQ(tr.bytes[31], 0x40);
    tr.set_step_count(12, kTremolo);
    EXPECT_EQ(tr.bytes[31], 0);
}

TEST(ArpRecordWrite, MakeFromShownLevels)
{
    ArpSequence s = kv::make_arp_sequence({0, 12.5, 25, 50, 100, 75, 62.5, 87.5}, 6, kFilter);
    EXPECT_EQ(s.level(1), 512);
    EXPECT_EQ(s.level(4), 4095);
    EXPECT_EQ(s.level(7), 3583);
    EXPECT_EQ(s.bytes[31], 0x20);
    EXPECT_EQ(s.second(3), 2048);
    ArpSequence t = kv::make_arp_sequence({0, 12.5, 25, 50, 100, 75, 62.5, 87.5}, 8, kTremolo);
    EXPECT_EQ(t.bytes[31], 0);
    EXPECT_EQ(t.second(7), 0);
}

// --- reading ------------------------------------------------------------------

TEST(ArpRecordRead, StepCountFromByte31)
{
    ArpSequence s;
    struct Case { std::uint8_t m; int current; int expected; };
    const Case cases[] = {
        {0x30, 8, 5}, {0x0F, 4, 8}, {0x00, 6, 8}, {0x10, 8, 7}, {0x1F, 8, 7},
        {0x40, 8, 4}, {0x4F, 8, 4}, {0x55, 6, 6}, {0x50, 7, 7}, {0xFF, 5, 5},
    };
    for (const Case& c : cases) {
        s.bytes[31] = c.m;
        EXPECT_EQ(kv::read_arp_sequence(s, c.current).step_count, c.expected) << int(c.m);
    }
    s.bytes[31] = 0x55;
    EXPECT_FALSE(s.step_count().has_value());
    // A nonsense count in the editor is not handed back.
    EXPECT_EQ(kv::read_arp_sequence(s, 0).step_count, 4);
}

TEST(ArpRecordRead, ShownLevelsComeFromFirstFieldsOnly)
{
    ArpSequence s = with_levels({0, 512, 1024, 2048, 4095, 3071, 2559, 3583}, kFilter);
    s.bytes[2] = 0xFF;  // a stray second copy is not read
    s.bytes[3] = 0x0F;
    auto r = kv::read_arp_sequence(s, 8);
    EXPECT_DOUBLE_EQ(r.shown[0], 0.0);
    EXPECT_NEAR(r.shown[1], 12.5, 0.01);
    EXPECT_NEAR(r.shown[2], 25.0, 0.01);
    EXPECT_DOUBLE_EQ(r.shown[4], 100.0);
    // A level above 4095 (possible from the pedal) shows at the top, not past it.
    s.bytes[0] = 0xFF;
    s.bytes[1] = 0xFF;
    EXPECT_DOUBLE_EQ(kv::read_arp_sequence(s, 8).shown[0], 100.0);
}

TEST(ArpRecordRead, SnapGridDetection)
{
    EXPECT_TRUE(kv::arp_uses_snap_grid(with_levels({0, 512}, kFilter)));
    EXPECT_FALSE(kv::arp_uses_snap_grid(with_levels({0, 1024, 2048, 3071, 4095, 0, 1024, 2048}, kFilter)));
    EXPECT_TRUE(kv::arp_uses_snap_grid(with_levels({2559}, kTremolo)));
    EXPECT_TRUE(kv::arp_uses_snap_grid(with_levels({0, 0, 0, 0, 0, 0, 0, 1536}, kTremolo)));
    // Whole-number levels drawn without the grid.
    EXPECT_FALSE(kv::arp_uses_snap_grid(kv::make_arp_sequence({1, 17, 33, 49, 66, 83, 99, 42}, 8, kFilter)));
    // The marker in byte 31 is not a level.
    ArpSequence s = with_levels({0, 1024, 2048}, kTremolo);
    s.set_step_count(4, kTremolo);
    EXPECT_FALSE(kv::read_arp_sequence(s, 8).snap_grid);
    EXPECT_TRUE(kv::read_arp_sequence(with_levels({512}, kTremolo), 8).snap_grid);
}

// --- reverse ------------------------------------------------------------------

TEST(ArpReverse, SixStepsLeaveTheRestAndTheMarker)
{
    ArpSequence s = with_levels({1, 2, 3, 4, 5, 6, 7, 8}, kFilter);
    s.set_step_count(6, kFilter);
    ArpSequence before = s;
    s.reverse(6, kFilter);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.level(i), 6 - i);
    EXPECT_EQ(s.level(6), 7);
    EXPECT_EQ(s.level(7), 8);
    EXPECT_EQ(s.bytes[30], before.bytes[30]);
    EXPECT_EQ(s.bytes[31], 0x20);
}

TEST(ArpReverse, EightStepsTwiceGivesTheSequenceBack)
{
    for (bool tremolo : {kTremolo, kFilter}) {
        ArpSequence s = with_levels({100, 200, 300, 400, 500, 600, 700, 800}, tremolo);
        ArpSequence before = s;
        s.reverse(8, tremolo);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(s.level(i), 800 - 100 * i);
            EXPECT_EQ(s.second(i), tremolo ? 0 : s.level(i));
        }
        s.reverse(8, tremolo);
        EXPECT_EQ(s, before);
    }
}

// --- factory table ------------------------------------------------------------

class FactoryTableFile : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("kv_arpfactory_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write_file(const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream f(dir / "arpdata.bin", std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<std::uint8_t> numbered(std::size_t n)
    {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
        return v;
    }
};

TEST_F(FactoryTableFile, WholeFileGivesSequencesAtTheirOffsets)
{
    auto data = numbered(896);
    write_file(data);
    kv::FactoryArpTable t;
    EXPECT_FALSE(t.loaded());
    ASSERT_TRUE(t.ensure_loaded(dir.string()));
    EXPECT_TRUE(t.complete());
    // Arpeggiator sequence III sits at 6 * 128 + 2 * 32 = 832.
    ArpSequence s = t.sequence(6, 2);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(s.bytes[i], data[832 + i]);
    s = t.sequence(0, 0);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(s.bytes[i], data[i]);
    // Out-of-range requests read nothing from the table.
    EXPECT_EQ(t.sequence(7, 0), ArpSequence{});
    EXPECT_EQ(t.sequence(-1, 0), ArpSequence{});
    EXPECT_EQ(t.sequence(0, 4), ArpSequence{});
    EXPECT_EQ(t.sequence(6, -1), ArpSequence{});
}

TEST_F(FactoryTableFile, MissingFileLoadsNothingAndIsTriedAgain)
{
    kv::FactoryArpTable t;
    EXPECT_FALSE(t.ensure_loaded(dir.string()));
    EXPECT_FALSE(t.loaded());
    EXPECT_EQ(t.sequence(3, 1), ArpSequence{});
    for (std::uint8_t b : t.bytes()) ASSERT_EQ(b, 0);
    // The next request reads the file once it is there.
    write_file(numbered(896));
    EXPECT_TRUE(t.ensure_loaded(dir.string()));
    EXPECT_TRUE(t.complete());
    // A folder where the file should be is a failure, not an empty table.
    kv::FactoryArpTable u;
    std::filesystem::remove(dir / "arpdata.bin");
    std::filesystem::create_directory(dir / "arpdata.bin");
    EXPECT_FALSE(u.ensure_loaded(dir.string()));
    EXPECT_FALSE(u.loaded());
}

TEST_F(FactoryTableFile, ShortFileIsReadAsFarAsItGoes)
{
    auto data = numbered(300);
    write_file(data);
    kv::FactoryArpTable t;
    ASSERT_TRUE(t.ensure_loaded(dir.string()));
    EXPECT_TRUE(t.loaded());
    EXPECT_FALSE(t.complete());
    EXPECT_EQ(t.bytes_read(), 300u);
    for (std::size_t i = 0; i < 300; ++i) ASSERT_EQ(t.bytes()[i], data[i]);
    for (std::size_t i = 300; i < 896; ++i) ASSERT_EQ(t.bytes()[i], 0);
    // Sequence II of Arp Flanger (offset 416) is beyond the data: all levels 0, 8 steps.
    auto r = kv::read_arp_sequence(t.sequence(3, 1), 5);
    EXPECT_EQ(r.step_count, 8);
    for (double v : r.shown) EXPECT_EQ(v, 0.0);
    // Once read, later requests use the copy and do not touch the file.
    write_file(numbered(896));
    EXPECT_TRUE(t.ensure_loaded(dir.string()));
    EXPECT_EQ(t.bytes_read(), 300u);
}

TEST_F(FactoryTableFile, FailedReloadKeepsTheCopy)
{
    write_file(numbered(896));
    kv::FactoryArpTable t;
    ASSERT_TRUE(t.load(dir.string()));
    auto before = t.bytes();
    std::filesystem::remove(dir / "arpdata.bin");
    EXPECT_FALSE(t.load(dir.string()));
    EXPECT_EQ(t.bytes(), before);
    EXPECT_TRUE(t.loaded());
    EXPECT_EQ(kv::arp_factory_path("bin"), "bin/arpdata.bin");
}

} // namespace
