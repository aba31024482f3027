#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace kv;

namespace {

struct Row {
    const char* code;
    const char* group;
    const char* entry;
    const char* knob1;
    const char* knob2;
    const char* knob3;
    bool tempo;
    bool tap;
};

const Row kRows[kAlgorithmCount] = {
    {"TRMOLO", "A m p l i t u d e", "Tremolo", "BPM", "DEPTH", "GLITCH", true, true},
    {"HCTREM", "A m p l i t u d e", "Harmonic Tremolo", "BPM", "DEPTH", "XOVER FREQ", true, true},
    {"CHOPPR", "A m p l i t u d e", "Chopper", "BPM", "DEPTH", "DUTY CYCLE", true, true},
    {"DCTREM", "A m p l i t u d e", "Dynamic Tremolo", "SPEED", "DEPTH", "SENS", false, true},
    {"SLOVOL", "A m p l i t u d e", "Slow Volume", "ECHO TIME", "ECHO LEVEL", "SWELL TIME", false, true},
    {"FILTER", "F i l t e r s", "Modulated Filter", "SPEED", "DEPTH", "MIX", false, true},
    {"ENVFLT", "F i l t e r s", "Envelope Filter", "SENS", "DEPTH", "MIX", false, false},
    {"s&hFLT", "F i l t e r s", "Sample-Hold Filter", "SPEED", "DEPTH", "MIX", false, true},
    {"FORMNT", "F i l t e r s", "Formant", "SPEED", "EMPHASIS", "MIX", false, true},
    {"WAHWAH", "F i l t e r s", "Wah Filter", "FREQUENCY", "DEPTH", "MIX", false, false},
    {"DIME.C", "S w i r l s", "Dimension", "SPEED", "DEPTH", "MIX", false, false},
    {"CHORUS", "S w i r l s", "Chorus", "SPEED", "DEPTH", "MIX", false, false},
    {"TRICHO", "S w i r l s", "Tri-Chorus", "SPEED", "DEPTH", "MIX", false, false},
    {"DETUNE", "S w i r l s", "Detune", "CENTS (-)", "CENTS (+)", "MIX", false, false},
    {"FLANGE", "S w i r l s", "Dyna Flanger", "SPEED", "DELAY", "MIX", false, false},
    {"TAPEFL", "S w i r l s", "Tape Flanger", "SPEED", "DEPTH", "MIX", false, false},
    {"s&hFLA", "S w i r l s", "Sample-Hold Flange", "SPEED", "RESONANCE", "MIX", false, true},
    {"PHASER", "P h a s e", "Phaser", "SPEED", "DEPTH", "MIX", false, true},
    {"ENVPHI", "P h a s e", "Envelope Phaser", "SENS", "DEPTH", "MIX", false, false},
    {"s&hPHI", "P h a s e", "Sample-Hold Phaser", "SPEED", "DEPTH", "MIX", false, true},
    {"UNIVBE", "P h a s e", "Faux Univibe", "SPEED", "DEPTH", "MIX", false, true},
    {"OCTAVE", "M i s c e l l a n y", "Octave Shifter", "SUB-OCTAVE", "OCTAVE", "DRY", false, false},
    {"VBRATO", "M i s c e l l a n y", "Vibrato", "SPEED", "DEPTH", "SENS", false, false},
    {"RNGMOD", "M i s c e l l a n y", "Ring Modulator", "LFO SPEED", "SHIFT", "MIX", false, false},
    {"PARAEQ", "M i s c e l l a n y", "Parametric EQ", "FREQUENCY", "GAIN", "VOLUME", false, false},
    {"BITCRS", "M i s c e l l a n y", "Bit Crusher", "FREQUENCY", "CRUSH", "MIX", false, false},
    {"JUNKIE", "M i s c e l l a n y", "Pressed Junk", "SPEED", "DEPTH", "MIX", false, false},
    {"RECORD", "M i s c e l l a n y", "Record Antics", "SPEED", "DEPTH", "MIX", false, false},
    {"PHONOS", "M i s c e l l a n y", "Phono Filters", "SATURATION", "RESONANCE", "VOLUME", false, false},
    {"HORN", "M i s c e l l a n y", "Horn (Rotary)", "SLOW SPEED", "FAST SPEED", "VOLUME", false, false},
    {"DRUM", "M i s c e l l a n y", "Drum (Rotary)", "SLOW SPEED", "FAST SPEED", "VOLUME", false, false},
    {"ARP.TR", "A r p", "Arp Tremolo", "BPM", "DEPTH", "CHOPINESS", true, true},
    {"ARP.FI", "A r p", "Arp Filter", "BPM", "DEPTH", "MIX", true, true},
    {"ARP.FO", "A r p", "Arp Formant", "BPM", "EMPHASIS", "MIX", true, true},
    {"ARP.FL", "A r p", "Arp Flanger", "BPM", "DEPTH", "MIX", true, true},
    {"ARP.PH", "A r p", "Arp Phaser", "BPM", "DEPTH", "MIX", true, true},
    {"ARP.RM", "A r p", "Arp Ring Modulator", "BPM", "SHIFT", "MIX", true, true},
    {"ARPGTR", "A r p", "Arpeggiator", "BPM", "LEVEL", "DRY", true, true},
};

using Texts = std::vector<std::string>;

Texts digits(int n, const char* first = nullptr)
{
    Texts t;
    for (int i = 0; i < n; ++i) t.push_back(" " + std::to_string(i));
    if (first) t[0] = first;
    return t;
}

// All codes the list produces, in position order.
std::vector<int> codes_of(int id, int sp)
{
    std::vector<int> out;
    for (int p = 0; p < option_count(id, sp); ++p) out.push_back(position_to_code(id, sp, p));
    return out;
}

const int kInvalidIds[] = {38, 39, 100, 200, 255, -1, 256};

}  // namespace

TEST(CatalogueRows, EveryRow)
{
    for (int id = 0; id < kAlgorithmCount; ++id) {
        SCOPED_TRACE(id);
        const AlgorithmInfo& a = algorithm_info(id);
        EXPECT_STREQ(a.code, kRows[id].code);
        EXPECT_STREQ(algorithm_code(id), kRows[id].code);
        EXPECT_STREQ(a.menu_group, kRows[id].group);
        EXPECT_STREQ(a.menu_entry, kRows[id].entry);
        EXPECT_STREQ(a.knob_labels[0], kRows[id].knob1);
        EXPECT_STREQ(a.knob_labels[1], kRows[id].knob2);
        EXPECT_STREQ(a.knob_labels[2], kRows[id].knob3);
        EXPECT_EQ(is_tempo_algorithm(id), kRows[id].tempo);
        EXPECT_EQ(tap_capable(id), kRows[id].tap);
    }
}

TEST(CatalogueRows, FieldWidthsOfTheOriginalTables)
{
    for (int id = 0; id < kAlgorithmCount; ++id) {
        const AlgorithmInfo& a = algorithm_info(id);
        EXPECT_LT(std::strlen(a.code), 7u);
        for (const char* k : a.knob_labels) EXPECT_LT(std::strlen(k), 16u);
        for (const auto& s : a.sp) EXPECT_LT(std::strlen(s.label), 20u);
    }
}

TEST(CatalogueRows, SpeedClasses)
{
    for (int id = 0; id < kAlgorithmCount; ++id) {
        const bool tempo = id <= 2 || id >= 31;
        EXPECT_EQ(speed_class(id), tempo ? SpeedClass::Tempo : SpeedClass::Rate) << id;
        EXPECT_EQ(is_arp_algorithm(id), id >= 31) << id;
        EXPECT_EQ(arp_index(id), id >= 31 ? id - 31 : -1) << id;
        EXPECT_EQ(is_rotary_algorithm(id), id == 29 || id == 30) << id;
    }
}

TEST(CatalogueRows, Defaults)
{
    const uint8_t expected[kAlgorithmCount][3] = {
        {1, 0, 3}, {1, 0, 0}, {0, 0, 3}, {1, 0, 1}, {2, 6, 2}, {0, 0, 7}, {0, 0, 2}, {2, 0, 2},
        {0, 2, 2}, {1, 1, 2}, {1, 2, 0}, {3, 3, 0}, {3, 3, 0}, {1, 4, 4}, {0, 11, 3}, {1, 0, 0},
        {0, 0, 5}, {0, 1, 2}, {0, 2, 5}, {1, 2, 4}, {0, 0, 0}, {3, 4, 4}, {0, 0, 1}, {0, 0, 2},
        {4, 4, 1}, {1, 0, 6}, {4, 0, 2}, {7, 7, 0}, {0, 2, 0}, {1, 1, 1}, {1, 3, 1}, {0, 0, 3},
        {0, 0, 0}, {0, 0, 2}, {0, 2, 13}, {0, 2, 6}, {0, 1, 2}, {0, 0, 0},
    };
    for (int id = 0; id < kAlgorithmCount; ++id) {
        for (int sp = 0; sp < 3; ++sp) {
            EXPECT_EQ(default_option(id, sp), expected[id][sp]) << id << " SP" << sp + 1;
            // The default doubles as a list position, so it lies inside the list.
            EXPECT_LT(default_option(id, sp), option_count(id, sp)) << id << " SP" << sp + 1;
        }
    }
}

TEST(CatalogueLabels, SecondaryParameterLabels)
{
    EXPECT_STREQ(sp_label(0, 0, 0), "Wave-Shape");
    EXPECT_STREQ(sp_label(3, 2, 0), "Dynamic Parameter");
    EXPECT_STREQ(sp_label(10, 2, 0), " ");
    EXPECT_STREQ(sp_label(11, 2, 0), " ");
    EXPECT_STREQ(sp_label(12, 0, 0), "Low-Cut");
    EXPECT_STREQ(sp_label(25, 1, 0), " ");
    EXPECT_STREQ(sp_label(27, 2, 0), "Vinyl Dust/Scratch");
    EXPECT_STREQ(sp_label(28, 1, 0), "Notch/Peaks Density");
    EXPECT_STREQ(sp_label(15, 1, 0), "Wow & Flutter");
    EXPECT_STREQ(sp_label(24, 2, 0), "Q-Curve");
    EXPECT_STREQ(sp_label(29, 2, 0), "PreDrive");
    EXPECT_STREQ(sp_label(30, 1, 0), "Intensity");
    EXPECT_STREQ(sp_label(37, 1, 0), "Scale");
    EXPECT_STREQ(sp_label(0, 3, 0), "");
}

TEST(CatalogueLabels, RenamesThatFollowSp1)
{
    EXPECT_STREQ(knob_label(8, Knob::Speed, 7), "MANUAL");
    EXPECT_STREQ(knob_label(8, Knob::Speed, 6), "SPEED");
    EXPECT_STREQ(knob_label(8, Knob::Depth, 7), "EMPHASIS");
    EXPECT_STREQ(sp_label(14, 1, 0), "Sweep Width");
    EXPECT_STREQ(sp_label(14, 1, 1), "Sensitivity");
    EXPECT_STREQ(sp_label(14, 1, 3), "Sensitivity");
    EXPECT_STREQ(sp_label(14, 2, 3), "Resonance");
    EXPECT_STREQ(knob_label(18, Knob::Speed, 1), "MANUAL");
    EXPECT_STREQ(knob_label(18, Knob::Speed, 0), "SENS");
    // Only those three algorithms rename.
    EXPECT_STREQ(knob_label(33, Knob::Speed, 7), "BPM");
    EXPECT_STREQ(knob_label(17, Knob::Speed, 1), "SPEED");
    EXPECT_STREQ(sp_label(34, 1, 3), "Timbre");
}

TEST(CatalogueOptions, Counts)
{
    const int expected[kAlgorithmCount][3] = {
        {3, 2, 8}, {3, 2, 2}, {2, 2, 8}, {3, 2, 4}, {4, 16, 8}, {3, 4, 16}, {2, 4, 4}, {4, 2, 4},
        {8, 4, 4}, {4, 4, 4}, {3, 8, 2}, {8, 8, 2}, {8, 8, 2}, {3, 8, 8}, {4, 16, 16}, {2, 2, 2},
        {2, 2, 8}, {2, 4, 8}, {2, 4, 8}, {4, 4, 8}, {2, 2, 2}, {4, 16, 16}, {2, 2, 3}, {8, 6, 4},
        {8, 8, 4}, {3, 2, 8}, {8, 6, 4}, {8, 8, 8}, {3, 4, 8}, {4, 4, 2}, {4, 4, 2}, {5, 2, 8},
        {5, 3, 8}, {5, 2, 4}, {5, 4, 16}, {5, 4, 8}, {5, 4, 4}, {5, 16, 2},
    };
    for (int id = 0; id < kAlgorithmCount; ++id)
        for (int sp = 0; sp < 3; ++sp) {
            EXPECT_EQ(option_count(id, sp), expected[id][sp]) << id << " SP" << sp + 1;
            EXPECT_EQ(int(option_texts(Engine::X, id, sp).size()), expected[id][sp]) << id << " SP" << sp + 1;
            EXPECT_EQ(int(option_texts(Engine::Y, id, sp).size()), expected[id][sp]) << id << " SP" << sp + 1;
        }
}

TEST(CatalogueOptions, HiddenLists)
{
    const std::set<std::pair<int, int>> hidden = {{10, 2}, {11, 2}, {12, 2}, {25, 1}};
    for (int id = 0; id < kAlgorithmCount; ++id)
        for (int sp = 0; sp < 3; ++sp) {
            const bool h = hidden.count({id, sp}) > 0;
            EXPECT_EQ(sp_hidden(id, sp), h) << id << " SP" << sp + 1;
            if (h) {
                EXPECT_EQ(option_count(id, sp), kHiddenOptionCount);
                EXPECT_STREQ(sp_label(id, sp, 0), " ");
            }
        }
    // Hidden lists clamp like plain two-option lists.
    EXPECT_EQ(code_to_position(10, 2, 5), 1);
    EXPECT_EQ(clamp_code(25, 1, 200), 1);
}

TEST(CatalogueOptions, EveryTextHasItsLeadingBlank)
{
    for (Engine e : {Engine::X, Engine::Y})
        for (int id = 0; id < kAlgorithmCount; ++id)
            for (int sp = 0; sp < 3; ++sp)
                for (const std::string& t : option_texts(e, id, sp)) {
                    ASSERT_GE(t.size(), 2u);
                    EXPECT_EQ(t[0], ' ') << id;
                    EXPECT_NE(t.find_first_not_of(' '), std::string::npos) << id;
                }
}

TEST(CatalogueOptions, ExactTexts)
{
    EXPECT_EQ(option_texts(Engine::X, 0, 0), (Texts{" Triangle", " Sine", " Square"}));
    EXPECT_EQ(option_texts(Engine::Y, 0, 2), digits(8));
    EXPECT_EQ(option_texts(Engine::X, 4, 1),
              (Texts{" 0%", " 5%", " 10%", " 15%", " 20%", " 25%", " 30%", " 35%", " 40%", " 45%", " 50%", " 55%",
                     " 60%", " 65%", " 70%", " 90%"}));
    EXPECT_EQ(option_texts(Engine::X, 5, 2), digits(16));
    EXPECT_EQ(option_texts(Engine::X, 8, 0),
              (Texts{" Phrase 1", " Phrase 2", " Phrase 3", " Phrase 4", " Phrase 5", " Garbled", " Random", " Manual"}));
    EXPECT_EQ(option_texts(Engine::X, 14, 2),
              (Texts{" -8", " -7", " -6", " -5", " -4", " -3", " -2", " -1", "  0 (neutral)", " +1", " +2", " +3", " +4",
                     " +5", " +6", " +7"}));
    EXPECT_EQ(option_texts(Engine::Y, 34, 2), option_texts(Engine::X, 14, 2));
    const Texts eq = {" -4", " -3", " -2", " -1", "  0 (neutral)", " +1", " +2", " +3"};
    EXPECT_EQ(option_texts(Engine::X, 24, 0), eq);
    EXPECT_EQ(option_texts(Engine::Y, 24, 1), eq);
    EXPECT_EQ(option_texts(Engine::X, 26, 1), (Texts{" Sine", " Triangle", " Square", " Random", " Cube ", " Fubar"}));
    EXPECT_EQ(option_texts(Engine::X, 29, 0), (Texts{" 0 (slowest)", " 1", " 2", " 3 (fastest)"}));
    EXPECT_EQ(option_texts(Engine::X, 30, 0), option_texts(Engine::X, 29, 0));
    EXPECT_EQ(option_texts(Engine::X, 29, 1), (Texts{" 0 (closest)", " 1", " 2", " 3 (farthest)"}));
    EXPECT_EQ(option_texts(Engine::X, 31, 0),
              (Texts{" Sequence I", " Sequence II", " Sequence III", " Sequence IV", " Sequence Random"}));
    for (int id = 32; id <= 37; ++id) EXPECT_EQ(option_texts(Engine::Y, id, 0), option_texts(Engine::X, 31, 0));
    EXPECT_EQ(option_texts(Engine::X, 32, 1), (Texts{" 0%", " 50%", " 100%"}));
    EXPECT_EQ(option_texts(Engine::X, 37, 1).back(), " Indian Asavari");
    EXPECT_EQ(option_texts(Engine::X, 32, 2).back(), " HP - BP (stereo)");
    EXPECT_EQ(option_texts(Engine::X, 22, 2), (Texts{" Snap", " Fast", " Slow"}));
    EXPECT_EQ(option_texts(Engine::X, 12, 0), option_texts(Engine::X, 11, 0));
}

namespace {

// Every option list written out in full (DSP-X wording, with the leading
// blanks the menus show), with the code each position stores. Hidden lists
// have the label " " and no texts here.
struct ExpectedOption {
    const char* text;
    int code;
};
struct ExpectedList {
    int id;
    int sp;
    const char* label;
    std::vector<ExpectedOption> options;
};

const std::vector<ExpectedList>& expected_lists()
{
    static const std::vector<ExpectedList> lists = {
    {0, 0, "Wave-Shape", {{" Triangle", 0}, {" Sine", 2}, {" Square", 3}}},
    {0, 1, "Panning", {{" Mono", 0}, {" Stereo", 1}}},
    {0, 2, "Gain", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {1, 0, "Wave-Shape", {{" Triangle", 0}, {" Sine", 2}, {" Square", 3}}},
    {1, 1, "Panning", {{" Mono", 0}, {" Stereo", 1}}},
    {1, 2, "Vibe", {{" Subtle", 0}, {" Deep", 1}}},
    {2, 0, "Mode", {{" Standard", 0}, {" Stutter", 1}}},
    {2, 1, "Panning", {{" Mono", 0}, {" Stereo", 1}}},
    {2, 2, "Gain", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {3, 0, "Wave-Shape", {{" Triangle", 0}, {" Sine", 2}, {" Square", 3}}},
    {3, 1, "Panning", {{" Mono", 0}, {" Stereo", 1}}},
    {3, 2, "Dynamic Parameter", {{" Dynamic Speed (+)", 0}, {" Dynamic Speed (-)", 1}, {" Dynamic Depth (+)", 2},
     {" Dynamic Depth (-)", 3}}},
    {4, 0, "Tone", {{" Clear", 0}, {" Warm", 1}, {" Warmer", 2}, {" Dark", 3}}},
    {4, 1, "Feedback", {{" 0%", 0}, {" 5%", 1}, {" 10%", 2}, {" 15%", 3}, {" 20%", 4}, {" 25%", 5}, {" 30%", 6},
     {" 35%", 7}, {" 40%", 8}, {" 45%", 9}, {" 50%", 10}, {" 55%", 11}, {" 60%", 12}, {" 65%", 13}, {" 70%", 14},
     {" 90%", 15}}},
    {4, 2, "Threshold", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {5, 0, "Mode", {{" Static LFO", 0}, {" Dynamic Speed (-)", 2}, {" Dynamic Speed (+)", 3}}},
    {5, 1, "Wave-Shape", {{" Triangle", 0}, {" Rising Saw", 1}, {" Falling Saw", 2}, {" Shark Fin", 3}}},
    {5, 2, "Sensitivity", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7},
     {" 8", 8}, {" 9", 9}, {" 10", 10}, {" 11", 11}, {" 12", 12}, {" 13", 13}, {" 14", 14}, {" 15", 15}}},
    {6, 0, "Sweep Direction", {{" Up", 0}, {" Down", 1}}},
    {6, 1, "Filter Type", {{" Lowpass", 0}, {" Bandpass", 1}, {" Highpass", 2}, {" Peaking", 3}}},
    {6, 2, "Q Curve", {{" Low", 0}, {" Medium", 1}, {" High", 2}, {" Strong", 3}}},
    {7, 0, "Glissando", {{" 0%", 0}, {" 50%", 1}, {" 75%", 2}, {" 100%", 3}}},
    {7, 1, "Filter Type", {{" Lowpass", 0}, {" Bandpass", 1}}},
    {7, 2, "Q Curve", {{" Low", 0}, {" Medium", 1}, {" High", 2}, {" Strong", 3}}},
    {8, 0, "Vowels", {{" Phrase 1", 0}, {" Phrase 2", 1}, {" Phrase 3", 2}, {" Phrase 4", 3}, {" Phrase 5", 4},
     {" Garbled", 5}, {" Random", 6}, {" Manual", 7}}},
    {8, 1, "Glissando", {{" 0%", 0}, {" 50%", 1}, {" 75%", 2}, {" 100%", 3}}},
    {8, 2, "Q Curve", {{" Low", 0}, {" Medium", 1}, {" High", 2}, {" Strong", 3}}},
    {9, 0, "Taper", {{" Type 1", 0}, {" Type 2", 1}, {" Type 3", 2}, {" Type 4", 3}}},
    {9, 1, "Filter Type", {{" Lowpass", 0}, {" Bandpass", 1}, {" Highpass", 2}, {" Peaking", 3}}},
    {9, 2, "Q Curve", {{" Low", 0}, {" Medium", 1}, {" High", 2}, {" Strong", 3}}},
    {10, 0, "Tone", {{" Warm", 0}, {" Natural", 2}, {" Vibrant", 3}}},
    {10, 1, "Predelay", {{" 6 ms", 0}, {" 8 ms", 1}, {" 10 ms", 2}, {" 12 ms", 3}, {" 14 ms", 4}, {" 16 ms", 5},
     {" 18 ms", 6}, {" 20 ms", 7}}},
    {10, 2, " ", {}},
    {11, 0, "Low-Cut", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {11, 1, "High-Cut", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {11, 2, " ", {}},
    {12, 0, "Low-Cut", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {12, 1, "High-Cut", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {12, 2, " ", {}},
    {13, 0, "Tone", {{" Warm", 0}, {" Natural", 2}, {" Vibrant", 3}}},
    {13, 1, "Stereo Spread", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6},
     {" 7", 7}}},
    {13, 2, "Modulation", {{" 0 (off)", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6},
     {" 7", 7}}},
    {14, 0, "Mode", {{" Static LFO", 0}, {" Dynamic Width (+)", 1}, {" Dynamic Width (-)", 2},
     {" Dynamic Sweep", 3}}},
    {14, 1, "Sweep Width", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7},
     {" 8", 8}, {" 9", 9}, {" 10", 10}, {" 11", 11}, {" 12", 12}, {" 13", 13}, {" 14", 14}, {" 15", 15}}},
    {14, 2, "Resonance", {{" -8", 0}, {" -7", 1}, {" -6", 2}, {" -5", 3}, {" -4", 4}, {" -3", 5}, {" -2", 6},
     {" -1", 7}, {"  0 (neutral)", 8}, {" +1", 9}, {" +2", 10}, {" +3", 11}, {" +4", 12}, {" +5", 13}, {" +6", 14},
     {" +7", 15}}},
    {15, 0, "Mode", {{" Additive", 0}, {" Subtractive", 1}}},
    {15, 1, "Wow & Flutter", {{" Off", 0}, {" On", 1}}},
    {15, 2, "Trigger", {{" LFO", 0}, {" Manual", 1}}},
    {16, 0, "Mode", {{" Additive", 0}, {" Subtractive", 1}}},
    {16, 1, "Steps", {{" Crisp", 0}, {" Gliding", 1}}},
    {16, 2, "Timbre", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {17, 0, "Wave-Shape", {{" Triangle", 0}, {" Square", 1}}},
    {17, 1, "Phaser Stages", {{" 2", 0}, {" 4", 1}, {" 6", 2}, {" 8", 3}}},
    {17, 2, "Resonance", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {18, 0, "Mode", {{" Envelope", 0}, {" Manual", 1}}},
    {18, 1, "Phaser Stages", {{" 2", 0}, {" 4", 1}, {" 6", 2}, {" 8", 3}}},
    {18, 2, "Resonance", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {19, 0, "Glissando", {{" 0%", 0}, {" 50%", 1}, {" 75%", 2}, {" 100%", 3}}},
    {19, 1, "Phaser Stages", {{" 2", 0}, {" 4", 1}, {" 6", 2}, {" 8", 3}}},
    {19, 2, "Resonance", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {20, 0, "Mode", {{" Chorus", 0}, {" Vibrato", 1}}},
    {20, 1, "Vibe", {{" Original", 0}, {" Extended", 1}}},
    {20, 2, "Low-End Throb", {{" Full", 0}, {" Reduced", 1}}},
    {21, 0, "Reverb Delay", {{" 0 ms", 0}, {" 20 ms", 1}, {" 40 ms", 2}, {" 60 ms", 3}}},
    {21, 1, "Reverb Decay", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7},
     {" 8", 8}, {" 9", 9}, {" 10", 10}, {" 11", 11}, {" 12", 12}, {" 13", 13}, {" 14", 14}, {" 15", 15}}},
    {21, 2, "Reverb Level", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7},
     {" 8", 8}, {" 9", 9}, {" 10", 10}, {" 11", 11}, {" 12", 12}, {" 13", 13}, {" 14", 14}, {" 15", 15}}},
    {22, 0, "Mode", {{" Standard", 0}, {" Dynamic", 1}}},
    {22, 1, "Wave-Shape", {{" Sine", 0}, {" Triangle", 1}}},
    {22, 2, "Rise Time", {{" Snap", 0}, {" Fast", 2}, {" Slow", 3}}},
    {23, 0, "LFO Depth", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {23, 1, "Wave-Shape", {{" Sine", 1}, {" Ramp", 2}, {" Saw", 3}, {" Triangle", 4}, {" Square", 5},
     {" Random", 6}}},
    {23, 2, "Tone", {{" Darker", 0}, {" Dark", 1}, {" Warm", 2}, {" Bright", 3}}},
    {24, 0, "Bass", {{" -4", 0}, {" -3", 1}, {" -2", 2}, {" -1", 3}, {"  0 (neutral)", 4}, {" +1", 5}, {" +2", 6},
     {" +3", 7}}},
    {24, 1, "Treble", {{" -4", 0}, {" -3", 1}, {" -2", 2}, {" -1", 3}, {"  0 (neutral)", 4}, {" +1", 5}, {" +2", 6},
     {" +3", 7}}},
    {24, 2, "Q-Curve", {{" Wider", 0}, {" Wide", 1}, {" Narrow", 2}, {" Narrower", 3}}},
    {25, 0, "Input Gain", {{" Low", 0}, {" Medium", 2}, {" High", 3}}},
    {25, 1, " ", {}},
    {25, 2, "Volume", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {26, 0, "Gain", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {26, 1, "Wave-Shape", {{" Sine", 1}, {" Triangle", 2}, {" Square", 3}, {" Random", 4}, {" Cube ", 5},
     {" Fubar", 6}}},
    {26, 2, "Tone", {{" Darker", 0}, {" Dark", 1}, {" Warm", 2}, {" Bright", 3}}},
    {27, 0, "Fidelity", {{"  6 bit", 0}, {"  7 bit", 1}, {"  8 bit", 2}, {"  9 bit", 3}, {" 10 bit", 4},
     {" 12 bit", 5}, {" 16 bit", 6}, {" 24 bit", 7}}},
    {27, 1, "Sample Rate", {{"  2 KHz", 0}, {"  4 KHz", 1}, {"  6 KHz", 2}, {"  8 KHz", 3}, {" 12 KHz", 4},
     {" 16 KHz", 5}, {" 24 KHz", 6}, {" 48 KHz", 7}}},
    {27, 2, "Vinyl Dust/Scratch", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6},
     {" 7", 7}}},
    {28, 0, "Mode", {{" Normal", 0}, {" + Notches", 2}, {" + Peaks", 3}}},
    {28, 1, "Notch/Peaks Density", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}}},
    {28, 2, "Filters", {{" Phonograph", 0}, {" Clock Radio", 1}, {" Megaphone", 2}, {" Antique Phone", 3},
     {" Cell Phone", 4}, {" Intercom", 5}, {" Lowpass 1", 6}, {" Lowpass 2", 7}}},
    {29, 0, "Acceleration", {{" 0 (slowest)", 0}, {" 1", 1}, {" 2", 2}, {" 3 (fastest)", 3}}},
    {29, 1, "Mic Distance", {{" 0 (closest)", 0}, {" 1", 1}, {" 2", 2}, {" 3 (farthest)", 3}}},
    {29, 2, "PreDrive", {{" Off", 0}, {" On", 1}}},
    {30, 0, "Acceleration", {{" 0 (slowest)", 0}, {" 1", 1}, {" 2", 2}, {" 3 (fastest)", 3}}},
    {30, 1, "Intensity", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}}},
    {30, 2, "PreDrive", {{" Off", 0}, {" On", 1}}},
    {31, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {31, 1, "Panning", {{" Mono", 0}, {" Stereo", 1}}},
    {31, 2, "Gain", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {32, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {32, 1, "Glissando", {{" 0%", 0}, {" 50%", 2}, {" 100%", 3}}},
    {32, 2, "Filter Type", {{" LP (mono)", 0}, {" BP (mono)", 1}, {" HP (mono)", 2}, {" LP - BP (stereo)", 3},
     {" LP - HP (stereo)", 4}, {" BP - HP (stereo)", 5}, {" HP - LP (stereo)", 6}, {" HP - BP (stereo)", 7}}},
    {33, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {33, 1, "Voicing", {{" Adult", 0}, {" Child", 1}}},
    {33, 2, "Q Curve", {{" Low", 0}, {" Medium", 1}, {" High", 2}, {" Strong", 3}}},
    {34, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {34, 1, "Timbre", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}}},
    {34, 2, "Resonance", {{" -8", 0}, {" -7", 1}, {" -6", 2}, {" -5", 3}, {" -4", 4}, {" -3", 5}, {" -2", 6},
     {" -1", 7}, {"  0 (neutral)", 8}, {" +1", 9}, {" +2", 10}, {" +3", 11}, {" +4", 12}, {" +5", 13}, {" +6", 14},
     {" +7", 15}}},
    {35, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {35, 1, "Phaser Stages", {{" 2", 0}, {" 4", 1}, {" 6", 2}, {" 8", 3}}},
    {35, 2, "Resonance", {{" 0", 0}, {" 1", 1}, {" 2", 2}, {" 3", 3}, {" 4", 4}, {" 5", 5}, {" 6", 6}, {" 7", 7}}},
    {36, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {36, 1, "Base Frequency", {{" Lower", 0}, {" Low", 1}, {" Medium", 2}, {" High", 3}}},
    {36, 2, "Tone", {{" Darker", 0}, {" Dark", 1}, {" Warm", 2}, {" Bright", 3}}},
    {37, 0, "Sequence", {{" Sequence I", 0}, {" Sequence II", 2}, {" Sequence III", 4}, {" Sequence IV", 6},
     {" Sequence Random", 7}}},
    {37, 1, "Scale", {{" Blues Scale", 0}, {" Pentatonic", 1}, {" Phrygian", 2}, {" Altered Scale", 3},
     {" Major", 4}, {" Natural Minor", 5}, {" Harmonic Minor", 6}, {" Melodic Minor", 7}, {" Japanese 1", 8},
     {" Japanese 2", 9}, {" Japanese 3", 10}, {" Japanese 4", 11}, {" Balinese", 12}, {" Gypsy Minor", 13},
     {" Oriental", 14}, {" Indian Asavari", 15}}},
    {37, 2, "Direction", {{" Up", 0}, {" Down", 1}}},
    };
    return lists;
}

}  // namespace

TEST(CatalogueOptions, EveryListWordForWord)
{
    ASSERT_EQ(expected_lists().size(), size_t(kAlgorithmCount * kSpCount));
    for (const ExpectedList& l : expected_lists()) {
        SCOPED_TRACE(std::to_string(l.id) + " SP" + std::to_string(l.sp + 1));
        EXPECT_STREQ(sp_label(l.id, l.sp, 0), l.label);
        if (l.options.empty()) {
            EXPECT_TRUE(sp_hidden(l.id, l.sp));
            EXPECT_EQ(option_count(l.id, l.sp), kHiddenOptionCount);
            continue;
        }
        EXPECT_FALSE(sp_hidden(l.id, l.sp));
        ASSERT_EQ(option_count(l.id, l.sp), int(l.options.size()));
        const Texts texts = option_texts(Engine::X, l.id, l.sp);
        ASSERT_EQ(texts.size(), l.options.size());
        for (size_t p = 0; p < l.options.size(); ++p) {
            EXPECT_EQ(texts[p], l.options[p].text) << "position " << p;
            EXPECT_EQ(position_to_code(l.id, l.sp, int(p)), l.options[p].code) << "position " << p;
        }
    }
}

TEST(CatalogueOptions, EngineDifferences)
{
    // DETUNE: "0 (off)" in SP3 on DSP-X, in SP2 on DSP-Y.
    EXPECT_EQ(option_texts(Engine::X, 13, 1), digits(8));
    EXPECT_EQ(option_texts(Engine::X, 13, 2), digits(8, " 0 (off)"));
    EXPECT_EQ(option_texts(Engine::Y, 13, 1), digits(8, " 0 (off)"));
    EXPECT_EQ(option_texts(Engine::Y, 13, 2), digits(8));
    // RNGMOD: "Saw" on DSP-X, "Sawtooth" on DSP-Y.
    EXPECT_EQ(option_texts(Engine::X, 23, 1), (Texts{" Sine", " Ramp", " Saw", " Triangle", " Square", " Random"}));
    EXPECT_EQ(option_texts(Engine::Y, 23, 1), (Texts{" Sine", " Ramp", " Sawtooth", " Triangle", " Square", " Random"}));
    // RECORD: "6 bit".."9 bit" with two blanks on both; "2 KHz".."8 KHz" on DSP-X only.
    const Texts fidelity = {"  6 bit", "  7 bit", "  8 bit", "  9 bit", " 10 bit", " 12 bit", " 16 bit", " 24 bit"};
    EXPECT_EQ(option_texts(Engine::X, 27, 0), fidelity);
    EXPECT_EQ(option_texts(Engine::Y, 27, 0), fidelity);
    EXPECT_EQ(option_texts(Engine::X, 27, 1),
              (Texts{"  2 KHz", "  4 KHz", "  6 KHz", "  8 KHz", " 12 KHz", " 16 KHz", " 24 KHz", " 48 KHz"}));
    EXPECT_EQ(option_texts(Engine::Y, 27, 1),
              (Texts{" 2 KHz", " 4 KHz", " 6 KHz", " 8 KHz", " 12 KHz", " 16 KHz", " 24 KHz", " 48 KHz"}));
    // Everything else is alike on both engines.
    for (int id = 0; id < kAlgorithmCount; ++id)
        for (int sp = 0; sp < 3; ++sp) {
            if ((id == 13 && sp > 0) || (id == 23 && sp == 1) || (id == 27 && sp == 1)) continue;
            EXPECT_EQ(option_texts(Engine::X, id, sp), option_texts(Engine::Y, id, sp)) << id << " SP" << sp + 1;
        }
}

TEST(CatalogueCodes, RuleOfEveryParameter)
{
    const std::set<int> skip1_sp1 = {0, 1, 3, 5, 10, 13, 25, 28};
    for (int id = 0; id < kAlgorithmCount; ++id) {
        const CodeRule r1 = id >= 31 ? CodeRule::Arp : skip1_sp1.count(id) ? CodeRule::SkipCode1 : CodeRule::Plain;
        const CodeRule r2 = (id == 23 || id == 26) ? CodeRule::FromOne : id == 32 ? CodeRule::SkipCode1 : CodeRule::Plain;
        const CodeRule r3 = id == 22 ? CodeRule::SkipCode1 : CodeRule::Plain;
        EXPECT_EQ(code_rule(id, 0), r1) << id;
        EXPECT_EQ(code_rule(id, 1), r2) << id;
        EXPECT_EQ(code_rule(id, 2), r3) << id;
    }
}

TEST(CatalogueCodes, SkipCodeOneOnSp1)
{
    for (int id : {0, 1, 3, 5, 10, 13, 25, 28}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(codes_of(id, 0), (std::vector<int>{0, 2, 3}));
        EXPECT_EQ(code_to_position(id, 0, 0), 0);
        EXPECT_EQ(code_to_position(id, 0, 1), 1);   // code 1 shows the second option
        EXPECT_EQ(code_to_position(id, 0, 2), 1);
        EXPECT_EQ(code_to_position(id, 0, 3), 2);
        EXPECT_EQ(clamp_code(id, 0, 5), 3);          // clamped to the count, not count - 1
        EXPECT_EQ(code_to_position(id, 0, 5), 2);
        EXPECT_EQ(code_to_position(id, 0, 255), 2);
        EXPECT_EQ(normalised_code(id, 0, 1), 2);     // a loaded 1 is rewritten as 2
        EXPECT_EQ(normalised_code(id, 0, 4), 3);
    }
    // TRMOLO: picking "Sine" stores 2; a preset carrying 1 loads as "Sine".
    EXPECT_EQ(position_to_code(0, 0, 1), 2);
    EXPECT_EQ(option_texts(Engine::X, 0, 0)[size_t(code_to_position(0, 0, 1))], " Sine");
}

TEST(CatalogueCodes, ArpSequences)
{
    for (int id = 31; id <= 37; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(codes_of(id, 0), (std::vector<int>{0, 2, 4, 6, 7}));
        const int positions[] = {0, 1, 1, 2, 2, 3, 3, 4, 4};   // code - floor(code / 2)
        for (int code = 0; code <= 8; ++code) EXPECT_EQ(code_to_position(id, 0, code), positions[code]) << code;
        EXPECT_EQ(clamp_code(id, 0, 5), 5);   // no load clamp of its own
        EXPECT_EQ(code_to_position(id, 0, 5), 3);
        EXPECT_EQ(normalised_code(id, 0, 5), 6);   // "Sequence IV"
        EXPECT_EQ(normalised_code(id, 0, 7), 7);   // "Sequence Random"
        EXPECT_EQ(normalised_code(id, 0, 3), 4);
        EXPECT_EQ(normalised_code(id, 0, 1), 2);
        // Codes that would point past the list show its last option.
        EXPECT_EQ(code_to_position(id, 0, 9), 4);
        EXPECT_EQ(code_to_position(id, 0, 255), 4);
        EXPECT_EQ(normalised_code(id, 0, 255), 7);
    }
    EXPECT_EQ(option_texts(Engine::Y, 33, 0)[size_t(code_to_position(33, 0, 5))], " Sequence IV");
    EXPECT_EQ(option_texts(Engine::Y, 33, 0)[size_t(code_to_position(33, 0, 7))], " Sequence Random");
}

TEST(CatalogueCodes, FromOneOnSp2)
{
    for (int id : {23, 26}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(codes_of(id, 1), (std::vector<int>{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(clamp_code(id, 1, 0), 1);
        EXPECT_EQ(code_to_position(id, 1, 0), 0);
        EXPECT_EQ(normalised_code(id, 1, 0), 1);   // a loaded 0 becomes the first option, code 1
        EXPECT_EQ(code_to_position(id, 1, 1), 0);
        EXPECT_EQ(code_to_position(id, 1, 6), 5);
        EXPECT_EQ(clamp_code(id, 1, 7), 6);
        EXPECT_EQ(code_to_position(id, 1, 7), 5);
        EXPECT_EQ(code_to_position(id, 1, 255), 5);
    }
}

TEST(CatalogueCodes, SkipCodeOneOnArpFilterSp2AndVibratoSp3)
{
    EXPECT_EQ(codes_of(32, 1), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(code_to_position(32, 1, 1), 1);
    EXPECT_EQ(code_to_position(32, 1, 3), 2);
    EXPECT_EQ(clamp_code(32, 1, 9), 3);
    EXPECT_EQ(normalised_code(32, 1, 1), 2);
    EXPECT_EQ(codes_of(22, 2), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(code_to_position(22, 2, 1), 1);
    EXPECT_EQ(code_to_position(22, 2, 2), 1);
    EXPECT_EQ(clamp_code(22, 2, 4), 3);
    EXPECT_EQ(code_to_position(22, 2, 4), 2);
    // The other parameters of those algorithms are plain.
    EXPECT_EQ(codes_of(22, 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(codes_of(32, 2), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(CatalogueCodes, PlainListsClampToCountLessOne)
{
    EXPECT_EQ(clamp_code(11, 0, 9), 7);
    EXPECT_EQ(code_to_position(11, 0, 9), 7);
    EXPECT_EQ(code_to_position(4, 1, 15), 15);
    EXPECT_EQ(code_to_position(4, 1, 16), 15);
    EXPECT_EQ(code_to_position(2, 0, 2), 1);
    EXPECT_EQ(codes_of(23, 0), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(codes_of(26, 2), (std::vector<int>{0, 1, 2, 3}));
}

TEST(CatalogueCodes, EveryByteOfEveryParameterLandsInsideItsList)
{
    for (int id = 0; id < kAlgorithmCount; ++id)
        for (int sp = 0; sp < 3; ++sp) {
            const int count = option_count(id, sp);
            const std::vector<int> codes = codes_of(id, sp);
            for (int code = 0; code <= 255; ++code) {
                const int pos = code_to_position(id, sp, code);
                ASSERT_GE(pos, 0);
                ASSERT_LT(pos, count) << id << " SP" << sp + 1 << " code " << code;
                EXPECT_EQ(normalised_code(id, sp, code), codes[size_t(pos)]);
            }
            // Every code the list produces reads back as its own position.
            for (int p = 0; p < count; ++p) EXPECT_EQ(code_to_position(id, sp, codes[size_t(p)]), p) << id;
            // Positions outside the list are clamped into it.
            EXPECT_EQ(position_to_code(id, sp, -1), codes.front());
            EXPECT_EQ(position_to_code(id, sp, count + 5), codes.back());
        }
}

TEST(CatalogueInvalidIds, LookupsFallBackWithoutReadingPastTables)
{
    for (int id : kInvalidIds) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(algorithm_valid(id));
        EXPECT_EQ(resolve_algorithm(id), kFallbackAlgorithm);
        EXPECT_EQ(&algorithm_info(id), &algorithm_info(kFallbackAlgorithm));
        EXPECT_STREQ(algorithm_code(id), "TRMOLO");
        EXPECT_EQ(algorithm_to_position(id), algorithm_to_position(kFallbackAlgorithm));
        EXPECT_EQ(position_to_algorithm(algorithm_to_position(id)), kFallbackAlgorithm);
        EXPECT_EQ(option_count(id, 0), 3);
        EXPECT_EQ(option_texts(Engine::X, id, 0).size(), 3u);
        EXPECT_EQ(code_to_position(id, 0, 200), 2);
        EXPECT_FALSE(is_arp_algorithm(id));
        EXPECT_EQ(arp_index(id), -1);
        EXPECT_FALSE(is_rotary_algorithm(id));
        EXPECT_EQ(combination_of(id, id), Combination::Off);
        EXPECT_EQ(speed_class(id), speed_class(kFallbackAlgorithm));
        EXPECT_EQ(default_options(id), default_options(kFallbackAlgorithm));
        EXPECT_STREQ(knob_label(id, Knob::Speed, 0), "BPM");
    }
    for (int id = 0; id < kAlgorithmCount; ++id) EXPECT_TRUE(algorithm_valid(id));
}

TEST(CatalogueInvalidIds, ABlockKeepsItsBytes)
{
    // Nothing in the catalogue writes to a block: an invalid id stays in it
    // until the editor stores the algorithm it shows.
    PresetParameters p = default_parameters();
    p.algorithm_x = 200;
    const PresetParameters before = p;
    (void)algorithm_info(p.algorithm_x);
    (void)algorithm_to_position(p.algorithm_x);
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
}

TEST(CatalogueInvalidSp, IndexOutsideZeroToTwo)
{
    EXPECT_EQ(option_count(0, 3), 0);
    EXPECT_EQ(option_count(0, -1), 0);
    EXPECT_TRUE(option_texts(Engine::X, 0, 3).empty());
    EXPECT_EQ(position_to_code(0, 3, 2), 0);
    EXPECT_EQ(code_to_position(0, -1, 2), 0);
    EXPECT_EQ(clamp_code(0, 5, 9), 0);
    EXPECT_EQ(default_option(0, 3), 0);
    EXPECT_FALSE(sp_hidden(10, 3));
}

TEST(CatalogueCombinations, Pairs)
{
    EXPECT_EQ(combination_of(29, 30), Combination::Rotary);
    EXPECT_EQ(combination_of(30, 29), Combination::Rotary);
    EXPECT_EQ(combination_of(29, 29), Combination::Off);
    EXPECT_EQ(combination_of(27, 28), Combination::Vinyl);
    EXPECT_EQ(combination_of(28, 27), Combination::Off);   // RECORD on DSP-Y with PHONOS on DSP-X
    EXPECT_EQ(combination_of(25, 26), Combination::Junk);
    EXPECT_EQ(combination_of(26, 25), Combination::Junk);
    EXPECT_EQ(combination_of(3, 10), Combination::Off);
    EXPECT_EQ(combination_routing(Combination::Rotary), Routing::Mixture);
    EXPECT_EQ(combination_routing(Combination::Vinyl), Routing::Cascade);
    EXPECT_EQ(combination_routing(Combination::Junk), Routing::Mixture);
    EXPECT_FALSE(combination_routing(Combination::Off).has_value());
    EXPECT_STREQ(combination_banner(Combination::Rotary), "cat_rotary_[350x27].png");
    EXPECT_STREQ(combination_banner(Combination::Vinyl), "cat_vinyl_[350x27].png");
    EXPECT_STREQ(combination_banner(Combination::Junk), "cat_junkie_[350x27].png");
    EXPECT_EQ(combination_banner(Combination::Off), nullptr);
    EXPECT_EQ(int(Combination::Rotary), 1);
    EXPECT_EQ(int(Combination::Vinyl), 2);
    EXPECT_EQ(int(Combination::Junk), 3);
}

TEST(CatalogueMenu, ItemsOfBothEngines)
{
    const auto y = algorithm_menu_items(Engine::Y);
    const auto x = algorithm_menu_items(Engine::X);
    ASSERT_EQ(y.size(), 45u);
    ASSERT_EQ(x.size(), 45u);
    EXPECT_STREQ(y[0].text, "    A L G O R I T H M S");
    EXPECT_FALSE(y[0].active);
    EXPECT_STREQ(y[1].text, "--------------------------------------");
    EXPECT_STREQ(y[7].text, "");
    EXPECT_STREQ(y[13].text, " ");
    EXPECT_STREQ(y[21].text, "  ");
    EXPECT_STREQ(y[26].text, "   ");
    EXPECT_STREQ(y[37].text, "    ");
    EXPECT_STREQ(y[3].text, "  A m p l i t u d e/  Harmonic Tremolo  ");
    EXPECT_STREQ(y[22].text, "  P h a s e /  Phaser");
    EXPECT_STREQ(y[5].text, "  A m p l i t u d e/  Dynamic Tremolo");
    EXPECT_STREQ(x[5].text, "  A m p l i t u d e/  Dynamic Tremolo ");
    EXPECT_STREQ(y[27].text, "  M i s c e l l a n y/  Octave Shifter ");
    EXPECT_STREQ(x[27].text, "  M i s c e l l a n y/  Octave Shifter");
    EXPECT_STREQ(y[43].text, "  A r p/  Arp Ring Modulator ");
    EXPECT_STREQ(x[43].text, "  A r p/  Arp Ring Modulator  ");
    int differences = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        EXPECT_EQ(x[i].active, y[i].active);
        if (std::strcmp(x[i].text, y[i].text) != 0) ++differences;
    }
    EXPECT_EQ(differences, 3);
}

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

}  // namespace

TEST(CatalogueMenu, PositionsFollowFromTheItems)
{
    // Lay the items out the way the toolkit does: a title before and a closing
    // marker after each submenu.
    for (Engine e : {Engine::X, Engine::Y}) {
        std::vector<int> position_of_id;
        std::string open;
        int pos = 0;
        for (const AlgorithmMenuItem& item : algorithm_menu_items(e)) {
            const std::string text = item.text;
            const size_t slash = text.find('/');
            if (slash == std::string::npos) {
                if (!open.empty()) ++pos;
                open.clear();
                EXPECT_FALSE(item.active);
                EXPECT_EQ(position_to_algorithm(pos), 0) << pos;
                ++pos;
                continue;
            }
            const std::string group = text.substr(0, slash);
            if (group != open) {
                if (!open.empty()) ++pos;
                EXPECT_EQ(position_to_algorithm(pos), 0) << pos;   // submenu title
                ++pos;
                open = group;
            }
            ASSERT_TRUE(item.active);
            const int id = int(position_of_id.size());
            EXPECT_EQ(trim(group), algorithm_info(id).menu_group) << id;
            EXPECT_EQ(trim(text.substr(slash + 1)), algorithm_info(id).menu_entry) << id;
            position_of_id.push_back(pos);
            ++pos;
        }
        ASSERT_EQ(position_of_id.size(), size_t(kAlgorithmCount));
        EXPECT_EQ(pos, kMenuPositionCount);   // the last submenu's closing marker lies beyond the table
        for (int id = 0; id < kAlgorithmCount; ++id) {
            EXPECT_EQ(algorithm_to_position(id), position_of_id[size_t(id)]) << id;
            EXPECT_EQ(position_to_algorithm(position_of_id[size_t(id)]), id) << id;
        }
    }
}

TEST(CatalogueMenu, Tables)
{
    const int expected_positions[kAlgorithmCount] = {
        3,  4,  5,  6,  7,  11, 12, 13, 14, 15, 19, 20, 21, 22, 23, 24, 25, 29, 30,
        31, 32, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 49, 50, 51, 52, 53, 54, 55,
    };
    for (int id = 0; id < kAlgorithmCount; ++id) EXPECT_EQ(algorithm_to_position_table()[size_t(id)], expected_positions[id]);
    EXPECT_EQ(position_to_algorithm_table().size(), 56u);
    for (int pos : {0, 1, 2, 8, 9, 10, 16, 17, 18, 26, 27, 28, 33, 34, 35, 46, 47, 48})
        EXPECT_EQ(position_to_algorithm(pos), 0) << pos;
    EXPECT_EQ(position_to_algorithm(-1), 0);
    EXPECT_EQ(position_to_algorithm(56), 0);
    EXPECT_EQ(position_to_algorithm(1000), 0);
    EXPECT_EQ(position_to_algorithm(kMenuStartPositionY), kDefaultAlgorithmY);
    EXPECT_EQ(position_to_algorithm(kMenuStartPositionX), kDefaultAlgorithmX);
    EXPECT_EQ(kMenuStartPositionY, 19);
    EXPECT_EQ(kMenuStartPositionX, 6);
}

TEST(CatalogueTapDivide, Texts)
{
    EXPECT_STREQ(tap_divide_text(0), " Tap | Clk Disabled");
    EXPECT_STREQ(tap_divide_text(1), "    Tap Divide 4:1");
    EXPECT_STREQ(tap_divide_text(3), "    Tap Divide 1:1");
    EXPECT_STREQ(tap_divide_text(7), "    Tap Divide 3:4");
    EXPECT_STREQ(tap_divide_text(8), "");
    EXPECT_STREQ(tap_divide_text(-1), "");
}
