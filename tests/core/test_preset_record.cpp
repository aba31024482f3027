#include "preset/PresetRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

using namespace kv;

namespace {

PresetParameters block_of(uint8_t fill)
{
    PresetParameters p;
    std::memset(&p, fill, sizeof p);
    return p;
}

// The byte offset of an accessor's effect: write through it on a zero block
// and find the one byte that changed.
template <typename F>
std::vector<size_t> changed_bytes(F write)
{
    PresetParameters p = block_of(0);
    write(p);
    std::vector<size_t> out;
    for (size_t i = 0; i < sizeof p; ++i)
        if (p.data()[i] != 0) out.push_back(i);
    return out;
}

}  // namespace

TEST(PresetRecordLayout, SizesAndConstants)
{
    EXPECT_EQ(sizeof(PresetParameters), 35u);
    EXPECT_EQ(sizeof(PresetTitle), 12u);
    EXPECT_EQ(sizeof(PresetRecord), 47u);
    EXPECT_EQ(sizeof(DspProgram), 512u);
    EXPECT_EQ(kPresetParametersSize, 35u);
    EXPECT_EQ(kPresetTitleSize, 12u);
    EXPECT_EQ(kPresetRecordSize, 47u);
    EXPECT_EQ(kDspProgramSize, 512u);
    EXPECT_EQ(kPresetImageSize, 1504u);
    EXPECT_EQ(kPresetImageTitlesOffset, 1120u);
    EXPECT_EQ(kSlotCount, 32);
    EXPECT_TRUE(std::is_trivially_copyable_v<PresetRecord>);
    EXPECT_EQ(alignof(PresetParameters), 1u);
}

TEST(PresetRecordLayout, EveryFieldAtItsOffset)
{
    EXPECT_EQ(offsetof(PresetParameters, flags), 0u);
    EXPECT_EQ(offsetof(PresetParameters, tap), 1u);
    EXPECT_EQ(offsetof(PresetParameters, focus), 2u);
    EXPECT_EQ(offsetof(PresetParameters, rotor), 3u);
    EXPECT_EQ(offsetof(PresetParameters, volume), 4u);
    EXPECT_EQ(offsetof(PresetParameters, speed_x), 5u);
    EXPECT_EQ(offsetof(PresetParameters, depth_x), 7u);
    EXPECT_EQ(offsetof(PresetParameters, tweak_x), 8u);
    EXPECT_EQ(offsetof(PresetParameters, speed_y), 9u);
    EXPECT_EQ(offsetof(PresetParameters, depth_y), 11u);
    EXPECT_EQ(offsetof(PresetParameters, tweak_y), 12u);
    EXPECT_EQ(offsetof(PresetParameters, sp1_x), 13u);
    EXPECT_EQ(offsetof(PresetParameters, sp2_x), 14u);
    EXPECT_EQ(offsetof(PresetParameters, sp3_x), 15u);
    EXPECT_EQ(offsetof(PresetParameters, sp1_y), 16u);
    EXPECT_EQ(offsetof(PresetParameters, sp2_y), 17u);
    EXPECT_EQ(offsetof(PresetParameters, sp3_y), 18u);
    EXPECT_EQ(offsetof(PresetParameters, expression_x), 19u);
    EXPECT_EQ(offsetof(PresetParameters, expression_y), 25u);
    EXPECT_EQ(offsetof(PresetParameters, reserved), 31u);
    EXPECT_EQ(offsetof(PresetParameters, algorithm_x), 33u);
    EXPECT_EQ(offsetof(PresetParameters, algorithm_y), 34u);
    EXPECT_EQ(offsetof(PresetRecord, parameters), 0u);
    EXPECT_EQ(offsetof(PresetRecord, title), 35u);
}

TEST(PresetRecordLayout, EngineAccessorsReachTheirBytes)
{
    using V = std::vector<size_t>;
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_speed(Engine::X, 0x0102); }), (V{5, 6}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_speed(Engine::Y, 0x0102); }), (V{9, 10}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_depth(Engine::X, 1); }), (V{7}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_tweak(Engine::X, 1); }), (V{8}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_depth(Engine::Y, 1); }), (V{11}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_tweak(Engine::Y, 1); }), (V{12}));
    for (int sp = 0; sp < 3; ++sp) {
        EXPECT_EQ(changed_bytes([sp](PresetParameters& p) { p.set_sp(Engine::X, sp, 9); }), (V{size_t(13 + sp)}));
        EXPECT_EQ(changed_bytes([sp](PresetParameters& p) { p.set_sp(Engine::Y, sp, 9); }), (V{size_t(16 + sp)}));
    }
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(changed_bytes([i](PresetParameters& p) { p.expression(Engine::X)[i] = 1; }), (V{size_t(19 + i)}));
        EXPECT_EQ(changed_bytes([i](PresetParameters& p) { p.expression(Engine::Y)[i] = 1; }), (V{size_t(25 + i)}));
    }
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_algorithm(Engine::X, 5); }), (V{33}));
    EXPECT_EQ(changed_bytes([](PresetParameters& p) { p.set_algorithm(Engine::Y, 5); }), (V{34}));
}

TEST(PresetRecordBits, FlagsByte)
{
    PresetParameters p = block_of(0);
    p.set_engaged_x(true);
    EXPECT_EQ(p.flags, 0x01);
    p.set_engaged_y(true);
    EXPECT_EQ(p.flags, 0x03);
    EXPECT_TRUE(p.engaged(Engine::X));
    EXPECT_TRUE(p.engaged(Engine::Y));
    p.set_engaged(Engine::X, false);
    EXPECT_EQ(p.flags, 0x02);
    p.set_routing(Routing::Mixture);
    EXPECT_EQ(p.flags, 0x06);
    EXPECT_EQ(p.routing_bits(), 0x04);
    p.set_routing(Routing::LrSplit);
    EXPECT_EQ(p.flags, 0x0A);
    EXPECT_EQ(p.routing(), 2);
    p.set_routing(Routing::Cascade);
    EXPECT_EQ(p.flags, 0x02);
    p.set_routing_bits(0x08);
    EXPECT_EQ(p.routing(), 2);
    p.set_bypass_on_pc(true);
    EXPECT_EQ(p.flags, 0x2A);
    p.set_auto_stomp(true);
    EXPECT_EQ(p.flags, 0x6A);
    p.set_post(true);
    EXPECT_EQ(p.flags, 0xEA);
    EXPECT_TRUE(p.post());
    EXPECT_TRUE(p.auto_stomp());
    EXPECT_TRUE(p.bypass_on_pc());
    EXPECT_FALSE(p.flags_bit4());
}

TEST(PresetRecordBits, FlagsBit4SurvivesEveryFlagWrite)
{
    PresetParameters p = block_of(0);
    p.flags = 0x10;
    p.set_engaged_x(true);
    p.set_engaged_y(true);
    p.set_routing(Routing::LrSplit);
    p.set_routing(Routing::Cascade);
    p.set_routing_bits(0x04);
    p.set_bypass_on_pc(true);
    p.set_auto_stomp(true);
    p.set_post(true);
    p.set_engaged_x(false);
    p.set_engaged_y(false);
    p.set_bypass_on_pc(false);
    p.set_auto_stomp(false);
    p.set_post(false);
    p.set_routing(Routing::Cascade);
    EXPECT_EQ(p.flags, 0x10);
    EXPECT_TRUE(p.flags_bit4());
}

TEST(PresetRecordBits, RoutingWritesNeverSpillOutOfBits2And3)
{
    PresetParameters p = block_of(0);
    p.flags = 0xF3;
    p.set_routing(uint8_t(7));     // only the low two bits count
    EXPECT_EQ(p.flags, 0xFF);
    p.set_routing_bits(0xFF & ~0x0C);
    EXPECT_EQ(p.flags, 0xF3);
}

TEST(PresetRecordBits, TapByte)
{
    PresetParameters p = block_of(0);
    p.set_tap_divide_x(3);
    p.set_tap_on_x(true);
    p.set_tap_divide_y(3);
    EXPECT_EQ(p.tap, 0x3B);
    EXPECT_EQ(p.tap_divide_x(), 3);
    EXPECT_EQ(p.tap_divide_y(), 3);
    EXPECT_TRUE(p.tap_on_x());
    EXPECT_FALSE(p.tap_on_y());
    p.set_tap_on(Engine::Y, true);
    EXPECT_EQ(p.tap, 0xBB);
    p.set_tap_divide(Engine::Y, 7);
    EXPECT_EQ(p.tap, 0xFB);
    p.set_tap_divide(Engine::X, 0);
    EXPECT_EQ(p.tap, 0xF8);
    p.set_tap_divide_x(15);   // three bits only
    EXPECT_EQ(p.tap, 0xFF);
    EXPECT_EQ(p.tap_divide(Engine::X), 7);
    EXPECT_EQ(p.tap_divide(Engine::Y), 7);
}

TEST(PresetRecordBits, FocusByte)
{
    PresetParameters p = block_of(0);
    p.focus = 0xFE;
    p.set_focus_y(true);
    EXPECT_EQ(p.focus, 0xFF);
    p.set_focus(Engine::X);
    EXPECT_EQ(p.focus, 0xFE);
    EXPECT_TRUE(p.focus_bit1());
    p.clear_focus_bit1();
    EXPECT_EQ(p.focus, 0xFC);

    EXPECT_EQ(PresetParameters::expression_bit(Engine::X, Knob::Speed), 0x10);
    EXPECT_EQ(PresetParameters::expression_bit(Engine::X, Knob::Depth), 0x08);
    EXPECT_EQ(PresetParameters::expression_bit(Engine::X, Knob::Tweak), 0x04);
    EXPECT_EQ(PresetParameters::expression_bit(Engine::Y, Knob::Speed), 0x80);
    EXPECT_EQ(PresetParameters::expression_bit(Engine::Y, Knob::Depth), 0x40);
    EXPECT_EQ(PresetParameters::expression_bit(Engine::Y, Knob::Tweak), 0x20);
    p.focus = 0;
    p.set_expression_assigned(Engine::Y, Knob::Depth, true);
    EXPECT_EQ(p.focus, 0x40);
    EXPECT_TRUE(p.expression_assigned(Engine::Y, Knob::Depth));
    EXPECT_FALSE(p.expression_assigned(Engine::X, Knob::Depth));
}

TEST(PresetRecordBits, RotorByte)
{
    PresetParameters p = block_of(0);
    p.set_rotor_fast_x(true);
    EXPECT_EQ(p.rotor, 0x01);
    p.set_rotor_fast(Engine::Y, true);
    EXPECT_EQ(p.rotor, 0x11);
    p.toggle_rotor_fast_both();
    EXPECT_EQ(p.rotor, 0x00);
    p.toggle_rotor_fast_both();
    EXPECT_TRUE(p.rotor_fast_x());
    EXPECT_TRUE(p.rotor_fast_y());

    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::X, Knob::Speed), 0x08);
    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::X, Knob::Depth), 0x04);
    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::X, Knob::Tweak), 0x02);
    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::Y, Knob::Speed), 0x80);
    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::Y, Knob::Depth), 0x40);
    EXPECT_EQ(PresetParameters::ramp_fast_bit(Engine::Y, Knob::Tweak), 0x20);
    p.rotor = 0;
    p.set_ramp_fast(Engine::X, Knob::Tweak, true);
    p.set_ramp_fast(Engine::Y, Knob::Speed, true);
    EXPECT_EQ(p.rotor, 0x82);
    EXPECT_FALSE(p.rotor_fast_x());
}

TEST(PresetRecordSpeed, ElevenBitsLittleEndian)
{
    PresetParameters p = block_of(0);
    p.set_speed_x(1024);
    EXPECT_EQ(p.speed_x[0], 0x00);
    EXPECT_EQ(p.speed_x[1], 0x04);
    p.set_speed_y(2047);
    EXPECT_EQ(p.speed_y[0], 0xFF);
    EXPECT_EQ(p.speed_y[1], 0x07);
    EXPECT_EQ(p.speed_x_raw(), 1024);
    EXPECT_EQ(p.speed_y_raw(), 2047);
}

TEST(PresetRecordSpeed, UpperFiveBitsIgnoredOnReadAndClearedOnWrite)
{
    PresetParameters p = block_of(0);
    p.speed_x[0] = 0x00;
    p.speed_x[1] = 0xF8;   // 0xF800: only bits 11-15
    EXPECT_EQ(p.speed(Engine::X), 0);
    EXPECT_EQ(p.speed_field(Engine::X), 0xF800);
    p.speed_y[0] = 0x34;
    p.speed_y[1] = 0xFA;   // 0xFA34 -> 0x0234
    EXPECT_EQ(p.speed(Engine::Y), 0x0234);
    EXPECT_EQ(p.speed_field(Engine::Y), 0xFA34);
    // The bits stay until the speed is written ...
    PresetParameters copy = p;
    EXPECT_EQ(copy.speed_y[1], 0xFA);
    // ... which clears them.
    p.set_speed(Engine::Y, p.speed(Engine::Y));
    EXPECT_EQ(p.speed_y[1], 0x02);
    EXPECT_EQ(p.speed_field(Engine::Y), 0x0234);
    p.set_speed_x(0xFFFF);
    EXPECT_EQ(p.speed_field(Engine::X), 0x07FF);
}

TEST(PresetRecordSp, IndexOutsideZeroToTwoTouchesNothing)
{
    PresetParameters p = block_of(0x55);
    const PresetParameters before = p;
    p.set_sp(Engine::X, 3, 5);
    p.set_sp(Engine::Y, -1, 6);
    p.set_sp(Engine::Y, 3, 6);
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(p.sp(Engine::Y, 3), 0);
    EXPECT_EQ(p.sp(Engine::X, -1), 0);
    EXPECT_EQ(p.sp(Engine::Y, 2), 0x55);
}

TEST(PresetTitleText, PaddedWithSpaces)
{
    PresetTitle t = make_title("Swirl");
    EXPECT_EQ(std::string(t.text, 12), "Swirl       ");
    EXPECT_EQ(title_text(t), "Swirl");
}

TEST(PresetTitleText, LongTextCutAtTwelve)
{
    PresetTitle t = make_title("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(std::string(t.text, 12), "ABCDEFGHIJKL");
    EXPECT_EQ(title_text(t), "ABCDEFGHIJKL");
}

TEST(PresetTitleText, EmptyAndBlankTitles)
{
    PresetTitle t = make_title("");
    EXPECT_EQ(std::string(t.text, 12), std::string(12, ' '));
    EXPECT_EQ(title_text(t), "");
    PresetTitle z;
    std::memset(&z, 0, sizeof z);
    std::memcpy(z.text, "Hi", 2);
    EXPECT_EQ(title_text(z), "Hi");
    EXPECT_EQ(title_text(make_title("  lead")), "  lead");   // leading blanks are the user's
}

TEST(DspProgramWords, MostSignificantByteFirst)
{
    DspProgram prog;
    std::memset(&prog, 0, sizeof prog);
    prog.set_word(0, 0x11223344);
    prog.set_word(127, 0xA1B2C3D4);
    EXPECT_EQ(prog.bytes[0], 0x11);
    EXPECT_EQ(prog.bytes[1], 0x22);
    EXPECT_EQ(prog.bytes[2], 0x33);
    EXPECT_EQ(prog.bytes[3], 0x44);
    EXPECT_EQ(prog.bytes[508], 0xA1);
    EXPECT_EQ(prog.bytes[511], 0xD4);
    EXPECT_EQ(prog.word(0), 0x11223344u);
    EXPECT_EQ(prog.word(127), 0xA1B2C3D4u);
    prog.set_word(128, 0xFFFFFFFF);   // outside: ignored
    EXPECT_EQ(prog.word(128), 0u);
}

TEST(Slots, Numbering)
{
    EXPECT_EQ(slot_bank(0), 1);
    EXPECT_EQ(slot_patch(0), 'A');
    EXPECT_EQ(slot_page(0), 1);
    EXPECT_EQ(slot_bank(1), 1);
    EXPECT_EQ(slot_patch(1), 'B');
    EXPECT_EQ(slot_bank(7), 4);
    EXPECT_EQ(slot_page(7), 1);
    EXPECT_EQ(slot_page(8), 2);
    EXPECT_EQ(slot_bank(31), 16);
    EXPECT_EQ(slot_patch(31), 'B');
    EXPECT_EQ(slot_page(31), 4);
    EXPECT_TRUE(slot_valid(31));
    EXPECT_FALSE(slot_valid(32));
    EXPECT_FALSE(slot_valid(-1));
}

TEST(PresetImage, SlotsAtTheirOffsets)
{
    std::vector<uint8_t> image(kPresetImageSize, 0);
    for (int s = 0; s < kSlotCount; ++s) {
        PresetParameters p = block_of(uint8_t(s + 1));
        ASSERT_TRUE(set_image_parameters(image.data(), s, p));
        ASSERT_TRUE(set_image_title(image.data(), s, make_title("T" + std::to_string(s))));
    }
    EXPECT_EQ(image[0], 1);
    EXPECT_EQ(image[34], 1);
    EXPECT_EQ(image[35], 2);
    EXPECT_EQ(image[31 * 35], 32);
    EXPECT_EQ(image[1119], 32);
    EXPECT_EQ(image[1120], 'T');
    EXPECT_EQ(image[1121], '0');
    EXPECT_EQ(image[1120 + 12], 'T');
    EXPECT_EQ(image[1120 + 31 * 12 + 1], '3');
    EXPECT_EQ(image[1503], ' ');
    PresetRecord r = image_record(image.data(), 5);
    EXPECT_EQ(r.parameters.flags, 6);
    EXPECT_EQ(title_text(r.title), "T5");
    EXPECT_EQ(title_text(image_title(image.data(), 31)), "T31");
}

TEST(PresetImage, SlotsOutsideTheImageAreNeverTouched)
{
    std::vector<uint8_t> image(kPresetImageSize + 64, 0xEE);
    const std::vector<uint8_t> before = image;
    EXPECT_FALSE(set_image_parameters(image.data(), 32, block_of(1)));
    EXPECT_FALSE(set_image_title(image.data(), -1, make_title("x")));
    EXPECT_FALSE(set_image_record(image.data(), 99, PresetRecord{block_of(1), make_title("x")}));
    EXPECT_EQ(image, before);
    PresetParameters p = image_parameters(image.data(), 32);
    EXPECT_EQ(p.flags, 0);
    EXPECT_EQ(p.algorithm_y, 0);
}

TEST(PresetBytes, WholeBlockCopiedIncludingReservedAndBit4)
{
    std::array<uint8_t, 47> wire{};
    for (size_t i = 0; i < wire.size(); ++i) wire[i] = uint8_t(0xA0 + i);
    PresetRecord r = record_from_bytes(wire.data());
    EXPECT_EQ(std::memcmp(r.data(), wire.data(), wire.size()), 0);
    EXPECT_EQ(r.parameters.reserved[0], 0xA0 + 31);
    EXPECT_EQ(r.parameters.reserved[1], 0xA0 + 32);
    PresetParameters p = parameters_from_bytes(wire.data());
    EXPECT_EQ(std::memcmp(p.data(), wire.data(), 35), 0);
}

TEST(DefaultBlock, ExactBytes)
{
    const PresetParameters p = default_parameters();
    const std::array<uint8_t, 35> expected = {
        0x03, 0x3B, 0x00, 0x00, 0x06,     // flags, tap, focus, rotor, volume
        0x00, 0x04, 127, 127,             // DSP-X speed 1024, depth, tweak
        0x00, 0x04, 127, 127,             // DSP-Y
        1, 0, 1,                          // DCTREM defaults
        1, 2, 0,                          // DIME.C defaults
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0,                             // reserved
        3, 10,                            // DCTREM, DIME.C
    };
    EXPECT_EQ(std::memcmp(p.data(), expected.data(), 35), 0);
    EXPECT_TRUE(p.engaged_x());
    EXPECT_TRUE(p.engaged_y());
    EXPECT_EQ(p.routing(), 0);
    EXPECT_FALSE(p.post());
    EXPECT_TRUE(p.tap_on_x());
    EXPECT_FALSE(p.tap_on_y());
}
