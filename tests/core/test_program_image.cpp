// Rebuilding engine programs from a block, and the block as the editor holds
// it once loaded: the two things a store from a file or a backup must get
// exactly as the editor would.

#include "preset/ComboTemplates.h"
#include "preset/ProgramImage.h"
#include "preset/ProgramPatcher.h"
#include "preset/Scales.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kv {
namespace {

const AlgorithmLibrary& library()
{
    static const AlgorithmLibrary lib(AlgorithmLibrary::file_path(std::string(KV_SOURCE_DIR) + "/bin"));
    return lib;
}

bool same(const DspProgram& a, const DspProgram& b) { return std::memcmp(a.bytes, b.bytes, kDspProgramSize) == 0; }

constexpr AlgorithmId kTrmolo = 0, kRngmod = 23, kArpFilter = 32, kChorus = 11;

TEST(ProgramImage, ProgramIsTheLibraryImagePatchedWithTheCodesTheListsWouldHold)
{
    ASSERT_TRUE(library().usable());
    const ProgramPatcher patcher;
    PresetParameters p = default_parameters();
    p.algorithm_x = kTrmolo;
    p.sp1_x = 1;    // not a code of the list: shows "Sine", whose code is 2
    p.sp2_x = 1;
    p.sp3_x = 200;  // clamped to the last of 8 options
    p.algorithm_y = kChorus;
    p.sp1_y = 5;
    p.sp2_y = 0;
    p.sp3_y = 77;   // hidden list: no patch entry at all

    DspProgram want_x = library().image(kTrmolo);
    ASSERT_TRUE(patcher.patch_sp1(2, want_x, kTrmolo));
    ASSERT_TRUE(patcher.patch_sp2(1, want_x, kTrmolo));
    ASSERT_TRUE(patcher.patch_sp3(7, want_x, kTrmolo));
    DspProgram want_y = library().image(kChorus);
    ASSERT_TRUE(patcher.patch_sp1(5, want_y, kChorus));
    ASSERT_TRUE(patcher.patch_sp2(0, want_y, kChorus));

    const EnginePrograms got = engine_programs(library(), p);
    EXPECT_TRUE(same(got.x, want_x));
    EXPECT_TRUE(same(got.y, want_y));
    // Engines are independent: the DSP-X program does not depend on DSP-Y's bytes.
    PresetParameters q = p;
    q.algorithm_y = 5;
    q.sp1_y = 3;
    EXPECT_TRUE(same(engine_program(library(), q, Engine::X), want_x));
}

TEST(ProgramImage, AlgorithmByteOutOfRangeBuildsTheFallbackProgram)
{
    PresetParameters p = default_parameters();
    for (int bad : {38, 99, 255}) {
        p.algorithm_x = uint8_t(bad);
        p.algorithm_y = uint8_t(bad);
        p.sp1_x = p.sp2_x = p.sp3_x = 255;
        PresetParameters fallback = p;
        fallback.algorithm_x = fallback.algorithm_y = kFallbackAlgorithm;
        EXPECT_TRUE(same(engine_program(library(), p, Engine::X), engine_program(library(), fallback, Engine::X)));
        const PresetParameters loaded = loaded_parameters(p);
        EXPECT_EQ(loaded.algorithm_x, kFallbackAlgorithm);
        EXPECT_EQ(loaded.algorithm_y, kFallbackAlgorithm);
        EXPECT_EQ(loaded.sp1_x, 3);   // TRMOLO "Square"
        EXPECT_EQ(loaded.sp3_x, 7);
    }
}

TEST(ProgramImage, LoadingRepairsCodesAndKeepsEverythingElse)
{
    PresetParameters p = default_parameters();
    p.flags = 0x10 | 0x60 | 0x80 | 0x03;      // bit 4, B and S switches, Post, both engaged
    p.set_routing(Routing::LrSplit);
    p.volume = 12;
    p.focus = 0xFF;
    p.rotor = 0xA5;
    p.speed_x[1] = 0xF8 | 0x03;                // upper bits stay until the speed is edited
    p.reserved[0] = 0x12;
    p.reserved[1] = 0x34;
    p.expression_y[5] = 200;
    p.algorithm_x = kArpFilter;                // tempo, follows tap
    p.sp1_x = 5;                               // arp sequence: position 3, code 6
    p.sp2_x = 1;                               // skips code 1: becomes 2
    p.sp3_x = 9;                               // 8 options: 7
    p.algorithm_y = kRngmod;                   // does not follow tap
    p.sp2_y = 0;                               // codes count from 1
    p.tap = 0x00 | (5 << 4) | bits::kTapOnY;   // X: tap disabled; Y: 1:3 with a stray tap-on
    p.tap |= 2;                                // X: 2:1, tap-on missing

    const PresetParameters l = loaded_parameters(p);
    EXPECT_EQ(l.volume, kVolumeZeroDb);
    EXPECT_EQ(l.sp1_x, 6);
    EXPECT_EQ(l.sp2_x, 2);
    EXPECT_EQ(l.sp3_x, 7);
    EXPECT_EQ(l.sp2_y, 1);
    EXPECT_TRUE(l.tap_on_x());
    EXPECT_FALSE(l.tap_on_y());
    EXPECT_EQ(l.tap_divide_x(), 2);
    EXPECT_EQ(l.tap_divide_y(), 5);
    EXPECT_EQ(l.focus, 0xFE);
    EXPECT_EQ(l.flags, p.flags);               // no combination: the block's routing
    EXPECT_EQ(l.rotor, p.rotor);
    EXPECT_EQ(l.speed_x[1], p.speed_x[1]);
    EXPECT_EQ(l.reserved[0], 0x12);
    EXPECT_EQ(l.reserved[1], 0x34);
    EXPECT_EQ(l.expression_y[5], 200);
    // Loading twice changes nothing more.
    const PresetParameters again = loaded_parameters(l);
    EXPECT_EQ(std::memcmp(&again, &l, kPresetParametersSize), 0);
}

TEST(ProgramImage, CombinationsForceTheirRoutingExceptTheRotaryPair)
{
    PresetParameters p = default_parameters();
    p.set_routing(Routing::LrSplit);
    for (const ComboTemplate& t : kComboTemplates) {
        p.algorithm_x = t.algorithm_x;
        p.algorithm_y = t.algorithm_y;
        const PresetParameters l = loaded_parameters(p);
        if (t.combination == Combination::Rotary) EXPECT_EQ(l.routing(), uint8_t(Routing::LrSplit));
        else EXPECT_EQ(l.routing(), uint8_t(*combination_routing(t.combination)));
    }
    // The vinyl pair in the other order forms no combination.
    p.algorithm_x = kAlgorithmPhonos;
    p.algorithm_y = kAlgorithmRecord;
    EXPECT_EQ(loaded_parameters(p).routing(), uint8_t(Routing::LrSplit));
    // The routing pattern no button names becomes Cascade.
    p.flags |= bits::kRoutingMask;
    EXPECT_EQ(loaded_parameters(p).routing(), uint8_t(Routing::Cascade));
    EXPECT_EQ(loaded_parameters(p).flags & ~bits::kRoutingMask, p.flags & ~bits::kRoutingMask);
}

TEST(ComboTemplates, ItemsFormTheirCombination)
{
    EXPECT_EQ(combo_template(0), nullptr);
    EXPECT_EQ(combo_template(4), nullptr);
    EXPECT_EQ(combo_template(-1), nullptr);
    for (int item = 1; item <= 3; ++item) {
        const ComboTemplate* t = combo_template(item);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(int(t->combination), item);
        EXPECT_EQ(combination_of(t->algorithm_x, t->algorithm_y), t->combination);
    }
}

}  // namespace
}  // namespace kv
