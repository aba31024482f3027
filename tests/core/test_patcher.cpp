#include "preset/Catalogue.h"
#include "preset/PatchTable.h"
#include "preset/ProgramPatcher.h"

#define KV_GENERATOR_NO_MAIN
#include "tools/gen_patch_table.cpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using kv::DspProgram;
using kv::PatchEntry;
using kv::ProgramPatcher;

constexpr int kTrmolo = 0, kChorus = 11, kTricho = 12, kPhaser = 17, kEnvphi = 18, kUnivbe = 20, kParaeq = 24;

// An image whose every word differs from every patch word.
DspProgram marked_image()
{
    DspProgram image{};
    for (std::size_t i = 0; i < kv::kDspProgramWords; ++i) image.set_word(i, 0xA5000000u | std::uint32_t(i));
    return image;
}

std::vector<std::uint32_t> words_at(const DspProgram& image, std::initializer_list<int> slots)
{
    std::vector<std::uint32_t> out;
    for (int s : slots) out.push_back(image.word(std::size_t(s)));
    return out;
}

using Words = std::vector<std::uint32_t>;

TEST(ProgramPatcherRows, KnownRowsAreWrittenExactlyMostSignificantByteFirst)
{
    const ProgramPatcher patcher;
    DspProgram image = marked_image();

    ASSERT_TRUE(patcher.patch_sp1(0, image, kTrmolo));
    EXPECT_EQ(words_at(image, {6, 7, 11}), (Words{0xCCCD07C7, 0x333307E4, 0x10400011}));
    EXPECT_EQ(image.bytes[6 * 4 + 0], 0xCC);
    EXPECT_EQ(image.bytes[6 * 4 + 1], 0xCD);
    EXPECT_EQ(image.bytes[6 * 4 + 2], 0x07);
    EXPECT_EQ(image.bytes[6 * 4 + 3], 0xC7);
    for (int code : {1, 2}) {
        ASSERT_TRUE(patcher.patch_sp1(code, image, kTrmolo));
        EXPECT_EQ(words_at(image, {6, 7, 11}), (Words{0xCE1507C7, 0x31EB07E4, 0x10400011})) << "code " << code;
    }
    ASSERT_TRUE(patcher.patch_sp1(3, image, kTrmolo));
    EXPECT_EQ(words_at(image, {6, 7, 11}), (Words{0xCCCD07C7, 0x333307E4, 0x00000011}));

    ASSERT_TRUE(patcher.patch_sp1(0, image, kUnivbe));
    EXPECT_EQ(image.word(110), 0x20000284u);
    ASSERT_TRUE(patcher.patch_sp1(1, image, kUnivbe));
    EXPECT_EQ(image.word(110), 0x5999000Du);

    const Words paraeq = {0xC0000567, 0xD0000567, 0xE0000567, 0xF0000567,
                          0x00000567, 0x13330567, 0x26660567, 0x39990567};
    for (int code = 0; code < 8; ++code) {
        ASSERT_TRUE(patcher.patch_sp1(code, image, kParaeq));
        EXPECT_EQ(image.word(116), paraeq[std::size_t(code)]) << "code " << code;
    }
}

TEST(ProgramPatcherRows, OnlyTheEntrySlotsChangeAndThePreviousCodeDoesNotMatter)
{
    const ProgramPatcher patcher;
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const PatchEntry* e = ProgramPatcher::entry(a, p);
            if (!e) continue;
            const std::set<int> slots(e->slot_list().begin(), e->slot_list().end());
            for (int code = 0; code < e->rows; ++code) {
                const DspProgram before = marked_image();
                DspProgram image = before;
                ASSERT_TRUE(patcher.patch(p, code, image, kv::AlgorithmId(a)));
                const auto row = ProgramPatcher::row(a, p, code);
                ASSERT_EQ(row.size(), e->words_per_code);
                for (std::size_t i = 0; i < kv::kDspProgramWords; ++i) {
                    if (!slots.count(int(i))) {
                        ASSERT_EQ(image.word(i), before.word(i)) << a << " SP" << p + 1 << " slot " << i;
                    }
                }
                for (std::size_t k = 0; k < row.size(); ++k) ASSERT_EQ(image.word(e->slots[k]), row[k]);

                // Over any other code first: same result.
                DspProgram over = before;
                patcher.patch(p, (code + 1) % e->rows, over, kv::AlgorithmId(a));
                patcher.patch(p, code, over, kv::AlgorithmId(a));
                ASSERT_EQ(0, std::memcmp(over.bytes, image.bytes, kv::kDspProgramSize)) << a << " SP" << p + 1 << " code " << code;
            }
        }
    }
}

TEST(ProgramPatcherRows, ParametersWithoutEntryLeaveTheImageAlone)
{
    const ProgramPatcher patcher;
    const DspProgram before = marked_image();
    DspProgram image = before;
    for (int code = 0; code < 8; ++code) {
        EXPECT_TRUE(patcher.patch_sp3(code, image, kChorus));
        EXPECT_TRUE(patcher.patch_sp3(code, image, kTricho));
        EXPECT_TRUE(patcher.patch_sp1(code, image, 9));    // WAHWAH
        EXPECT_TRUE(patcher.patch_sp3(code, image, 10));   // DIME.C
        EXPECT_TRUE(patcher.patch_sp2(code, image, 25));   // BITCRS
        for (int arp = 31; arp <= 37; ++arp) EXPECT_TRUE(patcher.patch_sp1(code, image, kv::AlgorithmId(arp)));
    }
    EXPECT_EQ(0, std::memcmp(image.bytes, before.bytes, kv::kDspProgramSize));
    EXPECT_EQ(ProgramPatcher::entry(kChorus, 2), nullptr);
    EXPECT_EQ(ProgramPatcher::entry(9, 0), nullptr);
}

TEST(ProgramPatcherRows, TwinAlgorithmsShareTheirBlocks)
{
    for (int p : {0, 1}) {
        const PatchEntry* chorus = ProgramPatcher::entry(kChorus, p);
        const PatchEntry* tricho = ProgramPatcher::entry(kTricho, p);
        ASSERT_TRUE(chorus && tricho);
        EXPECT_EQ(chorus->first_word, tricho->first_word);
        EXPECT_EQ(chorus->rows, tricho->rows);
        EXPECT_TRUE(std::equal(chorus->slot_list().begin(), chorus->slot_list().end(), tricho->slot_list().begin(),
                               tricho->slot_list().end()));
    }
    for (int p : {1, 2}) {
        const PatchEntry* phaser = ProgramPatcher::entry(kPhaser, p);
        const PatchEntry* envphi = ProgramPatcher::entry(kEnvphi, p);
        ASSERT_TRUE(phaser && envphi);
        EXPECT_EQ(phaser->first_word, envphi->first_word);
    }
    // ENVPHI's own SP1 is a block of its own.
    EXPECT_NE(ProgramPatcher::entry(kPhaser, 0)->first_word, ProgramPatcher::entry(kEnvphi, 0)->first_word);

    const ProgramPatcher patcher;
    for (int code = 0; code < 4; ++code) {
        DspProgram a = marked_image(), b{};
        patcher.patch_sp2(code, a, kPhaser);
        patcher.patch_sp2(code, b, kEnvphi);
        EXPECT_EQ(words_at(a, {42, 102, 114}), words_at(b, {42, 102, 114})) << "code " << code;
    }
}

TEST(ProgramPatcherRows, SkippedCodeOneRepeatsCodeTwo)
{
    // SP1 of TRMOLO, HCTREM, DCTREM, FILTER, DIME.C, DETUNE, BITCRS, PHONOS;
    // SP2 of ARP.FI; SP3 of VBRATO.
    const std::set<std::pair<int, int>> skipping = {{0, 0},  {1, 0},  {3, 0},  {5, 0},  {10, 0},
                                                    {13, 0}, {25, 0}, {28, 0}, {32, 1}, {22, 2}};
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const bool skips = kv::code_rule(a, p) == kv::CodeRule::SkipCode1;
            EXPECT_EQ(skips, skipping.count({a, p}) == 1) << a << " SP" << p + 1;
            if (!skips) continue;
            const auto one = ProgramPatcher::row(a, p, 1), two = ProgramPatcher::row(a, p, 2);
            ASSERT_FALSE(one.empty());
            EXPECT_TRUE(std::equal(one.begin(), one.end(), two.begin(), two.end())) << a << " SP" << p + 1;
        }
    }
    // Loading code 1 for TRMOLO SP1 ("Sine" from an old block) plays as picking "Sine" (code 2).
    const ProgramPatcher patcher;
    DspProgram loaded = marked_image(), picked = marked_image();
    patcher.patch_sp1(1, loaded, kTrmolo);
    patcher.patch_sp1(kv::position_to_code(kTrmolo, 0, 1), picked, kTrmolo);
    EXPECT_EQ(0, std::memcmp(loaded.bytes, picked.bytes, kv::kDspProgramSize));
}

TEST(ProgramPatcherMap, BlocksTileTheTableAndCoverEveryCodeTheListsProduce)
{
    // Distinct blocks, each once, tile the table exactly.
    std::vector<int> owner(kv::kPatchWordCount, -1);
    std::size_t total = 0;
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const PatchEntry* e = ProgramPatcher::entry(a, p);
            if (!e) continue;
            ASSERT_GE(e->rows, 2);
            ASSERT_LE(e->first_word + e->block_words(), kv::kPatchWordCount);
            const bool shared = (a == kTricho && p < 2) || (a == kEnvphi && p > 0);
            for (std::size_t i = 0; i < e->block_words(); ++i) {
                const int w = int(e->first_word + i);
                if (shared) {
                    ASSERT_NE(owner[w], -1);
                } else {
                    ASSERT_EQ(owner[w], -1) << "word " << w << " of " << a << " SP" << p + 1 << " already used";
                    owner[w] = a * 3 + p;
                }
            }
            if (!shared) total += e->block_words();
            for (std::uint8_t s : e->slot_list()) ASSERT_LT(s, kv::kDspProgramWords);

            // Every code the option list can store, and every loaded code
            // after the load clamp, has a row.
            const int count = kv::option_count(a, p);
            for (int pos = 0; pos < count; ++pos)
                EXPECT_LT(kv::position_to_code(a, p, pos), e->rows) << a << " SP" << p + 1 << " position " << pos;
            for (int code = 0; code < 256; ++code)
                EXPECT_LT(kv::normalised_code(a, p, code), e->rows) << a << " SP" << p + 1 << " code " << code;
            // The default option too.
            EXPECT_LT(kv::default_option(a, p), e->rows);
        }
    }
    EXPECT_EQ(total, 1526u);
    EXPECT_EQ(total, kv::kPatchWordCount);

    // A few entries as the pedal's programs lay them out.
    const PatchEntry* trmolo = ProgramPatcher::entry(kTrmolo, 0);
    ASSERT_TRUE(trmolo);
    EXPECT_EQ(trmolo->first_word, 0);
    EXPECT_EQ(trmolo->rows, 4);
    EXPECT_EQ(std::vector<int>(trmolo->slot_list().begin(), trmolo->slot_list().end()), (std::vector<int>{6, 7, 11}));
    const PatchEntry* phonos = ProgramPatcher::entry(28, 2);
    ASSERT_TRUE(phonos);
    EXPECT_EQ(phonos->words_per_code, 10);
    EXPECT_EQ(phonos->rows, 8);
    const PatchEntry* arpgtr = ProgramPatcher::entry(37, 1);
    ASSERT_TRUE(arpgtr);
    EXPECT_EQ(arpgtr->words_per_code, 6);
    EXPECT_EQ(arpgtr->rows, 16);
}

TEST(ProgramPatcherMap, OutOfRangeCodesAlgorithmsAndParametersAreRefused)
{
    const ProgramPatcher patcher;
    const DspProgram before = marked_image();
    DspProgram image = before;

    EXPECT_FALSE(patcher.patch_sp1(4, image, kTrmolo));     // 4 rows
    EXPECT_FALSE(patcher.patch_sp1(255, image, kTrmolo));
    EXPECT_FALSE(patcher.patch_sp1(-1, image, kTrmolo));
    EXPECT_FALSE(patcher.patch_sp3(16, image, 14));         // FLANGE SP3, 16 rows
    EXPECT_FALSE(patcher.patch_sp2(1 << 20, image, 37));
    for (int bad : {38, 100, 255}) {
        EXPECT_FALSE(patcher.patch_sp1(0, image, kv::AlgorithmId(bad)));
        EXPECT_FALSE(patcher.patch_sp2(0, image, kv::AlgorithmId(bad)));
        EXPECT_FALSE(patcher.patch_sp3(0, image, kv::AlgorithmId(bad)));
    }
    EXPECT_FALSE(patcher.patch(3, 0, image, kTrmolo));
    EXPECT_FALSE(patcher.patch(-1, 0, image, kTrmolo));
    EXPECT_EQ(0, std::memcmp(image.bytes, before.bytes, kv::kDspProgramSize));

    EXPECT_EQ(ProgramPatcher::entry(38, 0), nullptr);
    EXPECT_EQ(ProgramPatcher::entry(-1, 0), nullptr);
    EXPECT_EQ(ProgramPatcher::entry(0, 3), nullptr);
    EXPECT_TRUE(ProgramPatcher::row(kTrmolo, 0, 4).empty());
    EXPECT_TRUE(ProgramPatcher::row(kTrmolo, 0, -1).empty());
    EXPECT_TRUE(ProgramPatcher::row(38, 0, 0).empty());
    // The last row of the last block ends exactly at the end of the table.
    const auto last = ProgramPatcher::row(37, 2, 1);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.data() + last.size(), kv::kPatchWords.data() + kv::kPatchWordCount);
}

TEST(PatchTableGenerator, CommittedTableIsWhatTheGeneratorWrites)
{
    const std::vector<std::uint32_t> words = kv::patch_table_gen::generate_patch_words();
    ASSERT_EQ(words.size(), kv::kPatchWordCount);
    EXPECT_TRUE(std::equal(words.begin(), words.end(), kv::kPatchWords.begin(), kv::kPatchWords.end()));

    std::ifstream in(std::string(KV_SOURCE_DIR) + "/preset/PatchTable.cpp", std::ios::binary);
    ASSERT_TRUE(in);
    const std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(committed, kv::patch_table_gen::render_patch_table(words))
        << "preset/PatchTable.cpp is stale: run build/tools/gen_patch_table preset/PatchTable.cpp";

    // Generated words keep each slot's instruction across codes and differ between codes.
    const PatchEntry* e = ProgramPatcher::entry(14, 1);   // FLANGE SP2, 16 rows
    ASSERT_TRUE(e);
    std::set<std::uint32_t> coefficients;
    for (int code = 0; code < e->rows; ++code) {
        const auto row = ProgramPatcher::row(14, 1, code);
        EXPECT_EQ(row[0] & 0xFFFFu, ProgramPatcher::row(14, 1, 0)[0] & 0xFFFFu);
        coefficients.insert(row[0] >> 16);
    }
    EXPECT_EQ(coefficients.size(), std::size_t(e->rows));
}

}  // namespace
