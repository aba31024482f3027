#include "preset/Scales.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kv;

// Raw value of every depth position 0..100: floor(p x 2.55 + 0.5) in double.
static const int kDepthRaw[101] = {
    0,   3,   5,   8,   10,  13,  15,  18,  20,  23,  26,  28,  31,  33,  36,  38,  41,  43,  46,  48,  51,
    54,  56,  59,  61,  64,  66,  69,  71,  74,  77,  79,  82,  84,  87,  89,  92,  94,  97,  99,  102,
    105, 107, 110, 112, 115, 117, 120, 122, 125, 127, 130, 133, 135, 138, 140, 143, 145, 148, 150, 153,
    156, 158, 161, 163, 166, 168, 171, 173, 176, 179, 181, 184, 186, 189, 191, 194, 196, 199, 201, 204,
    207, 209, 212, 214, 217, 219, 222, 224, 227, 229, 232, 235, 237, 240, 242, 245, 247, 250, 252, 255,
};

// Raw value of every rate speed position 0..100: floor(p x 20.47 + 0.5).
static const int kRateRaw[101] = {
    0,    20,   41,   61,   82,   102,  123,  143,  164,  184,  205,  225,  246,  266,  287,  307,  328,
    348,  368,  389,  409,  430,  450,  471,  491,  512,  532,  553,  573,  594,  614,  635,  655,  676,
    696,  716,  737,  757,  778,  798,  819,  839,  860,  880,  901,  921,  942,  962,  983,  1003, 1024,
    1044, 1064, 1085, 1105, 1126, 1146, 1167, 1187, 1208, 1228, 1249, 1269, 1290, 1310, 1331, 1351, 1371,
    1392, 1412, 1433, 1453, 1474, 1494, 1515, 1535, 1556, 1576, 1597, 1617, 1638, 1658, 1679, 1699, 1719,
    1740, 1760, 1781, 1801, 1822, 1842, 1863, 1883, 1904, 1924, 1945, 1965, 1986, 2006, 2027, 2047,
};

TEST(Rounding, HalfUp)
{
    EXPECT_EQ(round_half_up(0.5), 1);
    EXPECT_EQ(round_half_up(1.5), 2);
    EXPECT_EQ(round_half_up(2.5), 3);    // not to even
    EXPECT_EQ(round_half_up(-0.5), 0);   // up, not away from zero
    EXPECT_EQ(round_half_up(-1.5), -1);
    EXPECT_EQ(round_half_up(127.49999999999999), 127);
}

TEST(DepthScale, EdgeValues)
{
    EXPECT_EQ(percent_to_raw(49), 125);
    EXPECT_EQ(percent_to_raw(50), 127);   // 50 x 2.55 is just below 127.5
    EXPECT_EQ(percent_to_raw(51), 130);
    EXPECT_EQ(percent_to_raw(0), 0);
    EXPECT_EQ(percent_to_raw(100), 255);
}

TEST(DepthScale, DoubleProductNotFloatNotExactDecimal)
{
    // float (or exact decimal) arithmetic gives 128 and 230 here.
    EXPECT_EQ(percent_to_raw(50), 127);
    EXPECT_EQ(percent_to_raw(90), 229);
    // 30 x 2.55 and 70 x 2.55 land exactly on .5: half up, not half to even.
    EXPECT_EQ(percent_to_raw(30), 77);
    EXPECT_EQ(percent_to_raw(70), 179);
    EXPECT_EQ(percent_to_raw(10), 26);
}

TEST(DepthScale, EveryPosition)
{
    for (int p = 0; p <= 100; ++p) {
        EXPECT_EQ(percent_to_raw(p), kDepthRaw[p]) << "position " << p;
        EXPECT_EQ(percent_text_value(kDepthRaw[p]), p) << "position " << p;
    }
}

TEST(DepthScale, RawToPosition)
{
    EXPECT_DOUBLE_EQ(raw_to_percent(127), 127 / 2.55);
    EXPECT_EQ(percent_text_value(127), 50);
    EXPECT_EQ(percent_text_value(128), 50);
    EXPECT_EQ(percent_text_value(129), 51);
    EXPECT_EQ(percent_text_value(255), 100);
    EXPECT_EQ(percent_text_value(0), 0);
    EXPECT_EQ(percent_text_value(1), 0);
    EXPECT_EQ(percent_text_value(2), 1);
}

TEST(ExpressionLevels, ShownLikeDepth)
{
    EXPECT_EQ(expression_level_to_raw(50), 127);
    EXPECT_DOUBLE_EQ(expression_raw_to_level(255), 100.0);
}

TEST(RateScale, EdgeValues)
{
    EXPECT_EQ(rate_position_to_raw(0), 0);
    EXPECT_EQ(rate_position_to_raw(50), 1024);   // float arithmetic gives 1023
    EXPECT_EQ(rate_position_to_raw(100), 2047);
    EXPECT_EQ(rate_text_value(1024), 50);
    EXPECT_EQ(rate_text_value(2047), 100);
    EXPECT_EQ(rate_text_value(0), 0);
    EXPECT_EQ(rate_text_value(10), 0);
    EXPECT_EQ(rate_text_value(11), 1);
    EXPECT_DOUBLE_EQ(rate_raw_to_position(1024), 1024 / 20.47);
}

TEST(RateScale, EveryPosition)
{
    for (int p = 0; p <= 100; ++p) {
        EXPECT_EQ(rate_position_to_raw(p), kRateRaw[p]) << "position " << p;
        EXPECT_EQ(rate_text_value(kRateRaw[p]), p) << "position " << p;
    }
}

TEST(TempoScale, BpmEdges)
{
    EXPECT_EQ(tempo_bpm(2047), 60);
    EXPECT_EQ(tempo_bpm(2046), 60);
    EXPECT_EQ(tempo_bpm(1024), 120);
    EXPECT_EQ(tempo_bpm(1023), 120);
    EXPECT_EQ(tempo_bpm(682), 180);
    EXPECT_EQ(tempo_bpm(206), 596);
    EXPECT_EQ(tempo_bpm(205), 599);
    for (int raw = 0; raw <= 204; ++raw) EXPECT_EQ(tempo_bpm(raw), 600) << "raw " << raw;
}

TEST(TempoScale, BpmNeverOutsideItsRange)
{
    int previous = 600;
    for (int raw = 0; raw <= 2047; ++raw) {
        const int bpm = tempo_bpm(raw);
        EXPECT_GE(bpm, 60);
        EXPECT_LE(bpm, 600);
        EXPECT_LE(bpm, previous) << "raw " << raw;   // a longer beat is never faster
        previous = bpm;
    }
}

TEST(TempoScale, BeatPeriod)
{
    EXPECT_DOUBLE_EQ(beat_period_ms(0), 1563 * 0.064);
    EXPECT_NEAR(beat_period_ms(204), 100.032, 1e-9);
    EXPECT_NEAR(beat_period_ms(2047), 2047 * 7.634765625 * 0.064, 1e-9);
    EXPECT_NEAR(beat_period_ms(2047), 1000.2, 0.05);
}

TEST(TempoScale, PositionAndRaw)
{
    EXPECT_EQ(tempo_position_to_raw(0), 2047);
    EXPECT_EQ(tempo_position_to_raw(2047), 0);
    EXPECT_EQ(tempo_position_to_raw(1364.813592564168), 682);
    EXPECT_EQ(tempo_bpm_at_position(1364.813592564168), 180);
    EXPECT_EQ(tempo_position_to_raw(kTempoStartPosition), 682);
    EXPECT_DOUBLE_EQ(tempo_raw_to_position(682), 1365.0);
    // Position fractions: rounded(2047 - position), half up.
    EXPECT_EQ(tempo_position_to_raw(1023.5), 1024);
    EXPECT_EQ(tempo_position_to_raw(1023.72), 1023);
}

TEST(TypedTempo, OneHundredTwenty)
{
    const TypedTempo t = typed_tempo("120");
    EXPECT_EQ(t.text, "120");
    EXPECT_NEAR(t.position, 1023.72, 0.005);
    EXPECT_EQ(t.raw, 1023);
    EXPECT_EQ(tempo_bpm(t.raw), 120);
}

TEST(TypedTempo, ClampsAndReplacesText)
{
    TypedTempo t = typed_tempo("59");
    EXPECT_EQ(t.text, "60");
    EXPECT_EQ(t.raw, 2047);
    EXPECT_EQ(tempo_bpm(t.raw), 60);
    t = typed_tempo("700");
    EXPECT_EQ(t.text, "600");
    EXPECT_EQ(t.raw, 205);
    EXPECT_LE(t.raw, 205);
    t = typed_tempo("30");
    EXPECT_EQ(t.text, "60");
    t = typed_tempo("");
    EXPECT_EQ(t.text, "60");
    t = typed_tempo("abc");
    EXPECT_EQ(t.text, "60");
    t = typed_tempo("99999999999999");
    EXPECT_EQ(t.text, "600");
}

TEST(TypedTempo, KeepsEveryBpmOnTheScale)
{
    for (int bpm = 60; bpm <= 600; ++bpm) {
        const TypedTempo t = typed_tempo(std::to_string(bpm));
        EXPECT_EQ(t.text, std::to_string(bpm));
        EXPECT_LE(t.raw, 2047);
        EXPECT_EQ(t.raw, tempo_position_to_raw(tempo_position_for_bpm(bpm)));
        EXPECT_EQ(t.raw, uint16_t(std::floor(60000.0 / bpm / 0.064 / 7.634765625 + 0.5)));
    }
    EXPECT_EQ(typed_tempo("180").raw, 682);
}

TEST(SpeedByClass, Dispatch)
{
    EXPECT_EQ(speed_position_to_raw(SpeedClass::Rate, 50), 1024);
    EXPECT_EQ(speed_position_to_raw(SpeedClass::Tempo, 50), 1997);
    EXPECT_DOUBLE_EQ(speed_raw_to_position(SpeedClass::Tempo, 2047), 0.0);
    EXPECT_DOUBLE_EQ(speed_raw_to_position(SpeedClass::Rate, 2047), 100.0);
    EXPECT_EQ(speed_text_value(SpeedClass::Tempo, 682), 180);
    EXPECT_EQ(speed_text_value(SpeedClass::Rate, 682), 33);
}

TEST(TypedValues, ClampedIntegers)
{
    TypedInteger v = typed_clamped("101", 0, 100);
    EXPECT_EQ(v.value, 100);
    EXPECT_TRUE(v.replaced);
    EXPECT_EQ(v.text, "100");
    v = typed_clamped("-5", 0, 100);
    EXPECT_EQ(v.value, 0);
    EXPECT_EQ(v.text, "0");
    v = typed_clamped("42", 0, 100);
    EXPECT_EQ(v.value, 42);
    EXPECT_FALSE(v.replaced);
    EXPECT_EQ(v.text, "42");
    v = typed_clamped("x", 0, 100);   // not a number counts as 0
    EXPECT_EQ(v.value, 0);
    EXPECT_FALSE(v.replaced);
    EXPECT_EQ(typed_integer(" 12"), 12);
    EXPECT_EQ(typed_integer("+7"), 7);
    EXPECT_EQ(typed_integer("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(typed_integer("-99999999999999999999"), INT32_MIN);
}

TEST(Volume, CodesAndPositions)
{
    EXPECT_EQ(volume_code(0), 6);
    EXPECT_EQ(volume_code(3), 3);
    EXPECT_EQ(volume_code(-3), 9);
    EXPECT_EQ(volume_position(6), 0);
    EXPECT_EQ(volume_position(3), 3);
    EXPECT_EQ(volume_position(9), -3);
    for (int code = 0; code <= 9; ++code) EXPECT_EQ(volume_position(code), 6 - code);
}

TEST(Volume, OutOfRangeCodes)
{
    EXPECT_EQ(normalised_volume(10), 6);
    EXPECT_EQ(normalised_volume(255), 6);
    EXPECT_EQ(normalised_volume(9), 9);
    EXPECT_EQ(normalised_volume(2), 2);
    EXPECT_EQ(volume_position(10), 0);     // shown as 0 dB, stored back as 6
    EXPECT_EQ(volume_code(volume_position(10)), 6);
    EXPECT_EQ(volume_position(12), 0);
    EXPECT_EQ(volume_position(2), 4);      // the bar does not clamp a loaded value
    EXPECT_EQ(volume_text(volume_position(2)), "+4");
}

TEST(Volume, Texts)
{
    EXPECT_EQ(volume_text(-3), "-3");
    EXPECT_EQ(volume_text(-1), "-1");
    EXPECT_EQ(volume_text(0), "+0");
    EXPECT_EQ(volume_text(3), "+3");
}

TEST(Volume, Typed)
{
    TypedVolume v = typed_volume("5");
    EXPECT_EQ(v.position, 3);
    EXPECT_EQ(v.code, 3);
    EXPECT_EQ(v.text, "+3");
    v = typed_volume("-9");
    EXPECT_EQ(v.position, -3);
    EXPECT_EQ(v.code, 9);
    EXPECT_EQ(v.text, "-3");
    v = typed_volume("0");
    EXPECT_EQ(v.text, "+0");
    EXPECT_EQ(v.code, 6);
    v = typed_volume("-2");
    EXPECT_EQ(v.text, "-2");
    EXPECT_EQ(v.code, 8);
}

TEST(ParaEqCaptions, Texts)
{
    EXPECT_STREQ(kParaEqSpeedCaption, "100     <      850      >      3K");
    EXPECT_STREQ(kParaEqDepthCaption, "cut     <    neutral    >   boost");
}
