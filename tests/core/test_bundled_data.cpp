// The data files shipped in bin/: sizes the pedal and the program rely on, and
// contents that make sense for the algorithms they belong to.

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kBin = std::string(KV_SOURCE_DIR) + "/bin";

std::vector<std::uint8_t> read_all(const std::string& name)
{
    std::ifstream f(kBin + "/" + name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// --- arpdata.bin ----------------------------------------------------------------

TEST(BundledArpData, IsTheWholeFactoryTable)
{
    EXPECT_EQ(std::filesystem::file_size(kBin + "/arpdata.bin"), kv::kArpFactoryTableSize);
    kv::FactoryArpTable table;
    ASSERT_TRUE(table.ensure_loaded(kBin));
    EXPECT_TRUE(table.complete());
}

TEST(BundledArpData, EverySequenceIsAWellFormedPlayableShape)
{
    kv::FactoryArpTable table;
    ASSERT_TRUE(table.ensure_loaded(kBin));
    std::set<int> counts;
    for (int a = 0; a < kv::kArpAlgorithmCount; ++a) {
        bool tremolo = a == 0;
        for (int s = 0; s < kv::kArpUserSequences; ++s) {
            SCOPED_TRACE("arp algorithm " + std::to_string(a) + " sequence " + std::to_string(s));
            kv::ArpSequence seq = table.sequence(a, s);
            auto n = seq.step_count();
            ASSERT_TRUE(n.has_value());
            counts.insert(*n);
            std::set<int> played;
            for (int k = 0; k < kv::kArpSteps; ++k) {
                EXPECT_LE(seq.level(k), kv::kArpLevelMax);
                if (k < *n) played.insert(seq.level(k));
                // The second copy: zero for Arp Tremolo, the level for the others,
                // except the marker byte of a sequence shorter than 8 steps.
                int expected = tremolo ? 0 : seq.level(k);
                if (k == 7 && *n < 8) {
                    EXPECT_EQ(seq.bytes[30], tremolo ? 0 : seq.bytes[28]);
                } else {
                    EXPECT_EQ(seq.second(k), expected) << "step " << k;
                }
            }
            EXPECT_GE(played.size(), 2u) << "a sequence should move";
            // Rebuilding the record from what the editor shows gives the same bytes.
            auto r = kv::read_arp_sequence(seq, 8);
            EXPECT_EQ(kv::make_arp_sequence(r.shown, r.step_count, tremolo), seq);
        }
    }
    EXPECT_GE(counts.size(), 3u) << "factory sequences should use several step counts";
    // The Arpeggiator's sequences are drawn on the snap grid (pitches of the scale).
    for (int s = 0; s < kv::kArpUserSequences; ++s)
        EXPECT_TRUE(kv::arp_uses_snap_grid(table.sequence(6, s))) << s;
}

// --- dispdata.bin ---------------------------------------------------------------

TEST(BundledDisplayData, FitsBeforeTheArpBlocksInWholeBlocks)
{
    auto data = read_all("dispdata.bin");
    ASSERT_FALSE(data.empty());
    EXPECT_LE(data.size(), 12288u);          // blocks 38..61
    EXPECT_EQ(data.size() % 512, 0u);
}

TEST(BundledDisplayData, HoldsTheFontAndTheAlgorithmCodes)
{
    auto d = read_all("dispdata.bin");
    ASSERT_GE(d.size(), 32u);
    ASSERT_EQ(std::memcmp(d.data(), "TDSP", 4), 0);
    auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(d[at] | (d[at + 1] << 8)); };
    std::size_t font = u16(12), codes = u16(14), names = u16(16), scales = u16(18), splash = u16(22);
    EXPECT_EQ(d[8], 95);   // printable ASCII
    ASSERT_LE(font + 95u * d[5], d.size());
    ASSERT_EQ(d[9], kv::kAlgorithmCount);
    ASSERT_LE(codes + kv::kAlgorithmCount * std::size_t(d[10]), d.size());
    ASSERT_LE(names + kv::kAlgorithmCount * std::size_t(d[11]), d.size());
    ASSERT_LE(scales + std::size_t(d[20]) * d[21], d.size());
    ASSERT_LE(splash + 512u, d.size());
    for (int id = 0; id < kv::kAlgorithmCount; ++id) {
        const char* code = reinterpret_cast<const char*>(&d[codes + std::size_t(id) * d[10]]);
        EXPECT_EQ(std::string(code, strnlen(code, d[10])), kv::algorithm_code(id));
        const char* name = reinterpret_cast<const char*>(&d[names + std::size_t(id) * d[11]]);
        EXPECT_EQ(std::string(name, strnlen(name, d[11])), kv::algorithm_info(id).menu_entry);
    }
    // Space is blank and 'A' is not.
    std::size_t a = font + std::size_t('A' - 0x20) * d[5];
    for (int x = 0; x < d[5]; ++x) EXPECT_EQ(d[font + std::size_t(x)], 0);
    EXPECT_NE(d[a] | d[a + 1] | d[a + 2], 0);
}

// --- factoryset.fap -------------------------------------------------------------

TEST(BundledFactorySet, IsAWholePresetImage)
{
    EXPECT_EQ(std::filesystem::file_size(kBin + "/factoryset.fap"), kv::kPresetImageSize);
}

TEST(BundledFactorySet, EveryPresetIsOneTheEditorWouldStore)
{
    auto image = read_all("factoryset.fap");
    ASSERT_EQ(image.size(), kv::kPresetImageSize);
    std::set<int> algorithms;
    std::set<std::string> titles;
    for (int slot = 0; slot < kv::kSlotCount; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        kv::PresetParameters p = kv::image_parameters(image.data(), slot);
        kv::PresetTitle t = kv::image_title(image.data(), slot);

        for (char c : t.text) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << int(c);
        std::string text = kv::title_text(t);
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text.front(), ' ');
        titles.insert(text);

        EXPECT_GE(p.volume, kv::kVolumeMinCode);
        EXPECT_LE(p.volume, kv::kVolumeMaxCode);
        EXPECT_EQ(p.volume, kv::kVolumeZeroDb);
        EXPECT_LE(p.routing(), 2);
        EXPECT_NE(p.flags & (kv::bits::kEngagedX | kv::bits::kEngagedY), 0) << "some engine should play";
        for (kv::Engine e : {kv::Engine::X, kv::Engine::Y}) {
            int id = p.algorithm(e);
            ASSERT_LE(id, 37);
            algorithms.insert(id);
            EXPECT_EQ(p.speed_field(e), p.speed(e)) << "speed upper bits must be clear";
            for (int sp = 0; sp < kv::kSpCount; ++sp) {
                int code = p.sp(e, sp);
                // A code the editor produces itself: within the list and unchanged by loading.
                EXPECT_LT(kv::code_to_position(id, sp, code), kv::option_count(id, sp));
                EXPECT_EQ(kv::normalised_code(id, sp, code), code)
                    << kv::algorithm_code(id) << " SP" << sp + 1 << " code " << code;
            }
            if (!kv::tap_capable(id)) {
                EXPECT_FALSE(p.tap_on(e));
            }
            EXPECT_LT(p.tap_divide(e), kv::kTapDivideCount);
            if (!kv::is_rotary_algorithm(id)) {
                EXPECT_FALSE(p.rotor_fast(e));
            }
        }
        auto forced = kv::combination_routing(kv::combination_of(p.algorithm_x, p.algorithm_y));
        if (forced) {
            EXPECT_EQ(p.routing(), static_cast<int>(*forced));
        }
    }
    EXPECT_EQ(titles.size(), std::size_t(kv::kSlotCount)) << "titles should differ";
    EXPECT_EQ(algorithms.size(), std::size_t(kv::kAlgorithmCount)) << "every algorithm should be shown off";
}

// --- error_log.fvc (the algorithm library) --------------------------------------

TEST(BundledAlgorithmLibrary, HeaderAndThirtyEightImagesWhenPresent)
{
    std::string path = kBin + "/error_log.fvc";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no algorithm library in bin/";
    EXPECT_EQ(std::filesystem::file_size(path), 172u + 38u * 512u);
}

} // namespace
