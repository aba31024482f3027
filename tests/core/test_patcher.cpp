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
    // Shared blocks counted once, the map adds up to 1526 words.
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

TEST(ProgramPatcherMap, EveryEntryOfThePatchMap)
{
    // The patch map: per algorithm SP1, SP2, SP3 as (rows, slots);
    // rows 0 means no entry.
    struct Line {
        int rows;
        std::vector<int> slots;
    };
    const std::vector<std::vector<Line>> map = {
        {{4, {6, 7, 11}}, {2, {51}}, {8, {23, 26, 42, 45}}},  //  0 "TRMOLO"
        {{4, {67, 68, 72}}, {2, {107}}, {2, {5, 52, 53, 54, 55, 56, 57, 58, 59}}},  //  1 "HCTREM"
        {{2, {14}}, {2, {102}}, {8, {73, 76, 93, 96}}},  //  2 "CHOPPR"
        {{4, {83, 84, 85, 86, 87, 88, 89, 90}}, {2, {120}}, {4, {26}}},  //  3 "DCTREM"
        {{4, {73, 100, 105, 107}}, {16, {72}}, {8, {40}}},  //  4 "SLOVOL"
        {{4, {23, 25}}, {4, {36, 37, 38, 39, 40}}, {16, {20}}},  //  5 "FILTER"
        {{2, {3, 24, 25, 26, 31, 32, 33}}, {4, {4, 35, 115, 116}}, {4, {50}}},  //  6 "ENVFLT"
        {{4, {41}}, {2, {11, 121}}, {4, {59}}},  //  7 "s&hFLT"
        {{8, {24, 38, 54, 56}}, {4, {57}}, {4, {78, 88, 98, 111}}},  //  8 "FORMNT"
        {{0, {}}, {4, {6, 13, 102, 103}}, {4, {9}}},  //  9 "WAHWAH"
        {{4, {30, 33, 35}}, {8, {44, 45}}, {0, {}}},  // 10 "DIME.C"
        {{8, {11, 12, 16}}, {8, {17, 20, 21, 24, 25}}, {0, {}}},  // 11 "CHORUS"
        {{8, {11, 12, 16}}, {8, {17, 20, 21, 24, 25}}, {0, {}}},  // 12 "TRICHO"
        {{4, {71, 76, 100, 105}}, {8, {68, 69, 97, 98}}, {8, {3}}},  // 13 "DETUNE"
        {{4, {17, 23, 25, 33, 51, 52}}, {16, {6, 26, 34, 50}}, {16, {72, 75}}},  // 14 "FLANGE"
        {{2, {16, 88, 96, 99, 106, 114, 117}}, {2, {27, 58, 73}}, {2, {26, 74, 83}}},  // 15 "TAPEFL"
        {{2, {75, 99}}, {2, {48}}, {8, {51, 96}}},  // 16 "s&hFLA"
        {{2, {18, 19, 20, 21, 22, 25}}, {4, {42, 102, 114}}, {8, {43}}},  // 17 "PHASER"
        {{2, {24}}, {4, {42, 102, 114}}, {8, {43}}},  // 18 "ENVPHI"
        {{4, {36}}, {4, {47, 107, 117}}, {8, {48}}},  // 19 "s&hPHI"
        {{2, {110}}, {2, {109}}, {2, {51}}},  // 20 "UNIVBE"
        {{4, {50}}, {16, {65, 84}}, {16, {109, 119}}},  // 21 "OCTAVE"
        {{2, {66, 67}}, {2, {73, 79}}, {4, {60, 62, 64}}},  // 22 "VBRATO"
        {{8, {69}}, {8, {46, 64}}, {4, {93, 96, 98, 101, 104, 106}}},  // 23 "RNGMOD"
        {{8, {116}}, {8, {118}}, {4, {37, 49, 58, 64, 78, 90, 99, 105}}},  // 24 "PARAEQ"
        {{4, {9, 10, 11, 121}}, {0, {}}, {8, {125}}},  // 25 "BITCRS"
        {{8, {93, 122}}, {8, {57, 81, 82, 110, 111}}, {4, {36, 39, 41, 44, 48, 50}}},  // 26 "JUNKIE"
        {{8, {20, 23}}, {8, {4, 11}}, {8, {124}}},  // 27 "RECORD"
        {{4, {107, 115, 124}}, {4, {109, 112, 118, 121}}, {8, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18}}},  // 28 "PHONOS"
        {{4, {16, 18, 20}}, {4, {2, 67, 83}}, {2, {25, 32}}},  // 29 "HORN"
        {{4, {19, 21, 23, 25, 27}}, {4, {77, 82, 105}}, {2, {31}}},  // 30 "DRUM"
        {{0, {}}, {2, {62}}, {8, {33, 36, 53, 56}}},  // 31 "ARP.TR"
        {{0, {}}, {4, {10, 11}}, {8, {6, 106, 116}}},  // 32 "ARP.FI"
        {{0, {}}, {2, {27, 30, 40}}, {4, {55, 65, 75, 88, 96, 106, 119}}},  // 33 "ARP.FO"
        {{0, {}}, {4, {17, 65}}, {16, {20, 23}}},  // 34 "ARP.FL"
        {{0, {}}, {4, {31, 91, 103}}, {8, {32}}},  // 35 "ARP.PH"
        {{0, {}}, {4, {20}}, {4, {55, 60, 63, 68, 71, 76, 79, 84}}},  // 36 "ARP.RM"
        {{0, {}}, {16, {49, 51, 53, 55, 57, 59}}, {2, {28}}},  // 37 "ARPGTR"
    };
    ASSERT_EQ(map.size(), std::size_t(ProgramPatcher::kAlgorithmCount));
    for (int a = 0; a < ProgramPatcher::kAlgorithmCount; ++a) {
        ASSERT_EQ(map[std::size_t(a)].size(), std::size_t(ProgramPatcher::kParameterCount));
        for (int p = 0; p < ProgramPatcher::kParameterCount; ++p) {
            const Line& want = map[std::size_t(a)][std::size_t(p)];
            const PatchEntry* e = ProgramPatcher::entry(a, p);
            if (want.rows == 0) {
                EXPECT_EQ(e, nullptr) << a << " SP" << p + 1;
                continue;
            }
            ASSERT_NE(e, nullptr) << a << " SP" << p + 1;
            EXPECT_EQ(e->rows, want.rows) << a << " SP" << p + 1;
            EXPECT_EQ(std::vector<int>(e->slot_list().begin(), e->slot_list().end()), want.slots) << a << " SP" << p + 1;
        }
    }
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
