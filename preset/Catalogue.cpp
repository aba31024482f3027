#include "preset/Catalogue.h"

#include <algorithm>

namespace kv {

namespace {

// ---------------------------------------------------------------------------
// Option texts, without their leading blanks (DSP-X wording).

constexpr const char* kTriangleToSquare[] = {"Triangle", "Sine", "Square"};
constexpr const char* kMonoToStereo[] = {"Mono", "Stereo"};
constexpr const char* kDigits0to7[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
constexpr const char* kSubtleToDeep[] = {"Subtle", "Deep"};
constexpr const char* kStandardToStutter[] = {"Standard", "Stutter"};
constexpr const char* kDynamicSpeedPlusToDynamicDepthMinus[] = {
    "Dynamic Speed (+)", "Dynamic Speed (-)", "Dynamic Depth (+)", "Dynamic Depth (-)",
};
constexpr const char* kClearToDark[] = {"Clear", "Warm", "Warmer", "Dark"};
constexpr const char* k0PctTo90Pct[] = {
    "0%", "5%", "10%", "15%", "20%", "25%", "30%", "35%", "40%", "45%", "50%", "55%", "60%", "65%", "70%",
    "90%",
};
constexpr const char* kStaticLFOToDynamicSpeedPlus[] = {"Static LFO", "Dynamic Speed (-)", "Dynamic Speed (+)"};
constexpr const char* kTriangleToSharkFin[] = {"Triangle", "Rising Saw", "Falling Saw", "Shark Fin"};
constexpr const char* kDigits0to15[] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15",
};
constexpr const char* kUpToDown[] = {"Up", "Down"};
constexpr const char* kLowpassToPeaking[] = {"Lowpass", "Bandpass", "Highpass", "Peaking"};
constexpr const char* kLowToStrong[] = {"Low", "Medium", "High", "Strong"};
constexpr const char* k0Pct50Pct75PctTo100Pct[] = {"0%", "50%", "75%", "100%"};
constexpr const char* kLowpassToBandpass[] = {"Lowpass", "Bandpass"};
constexpr const char* kPhrase1ToManual[] = {
    "Phrase 1", "Phrase 2", "Phrase 3", "Phrase 4", "Phrase 5", "Garbled", "Random", "Manual",
};
constexpr const char* kType1ToType4[] = {"Type 1", "Type 2", "Type 3", "Type 4"};
constexpr const char* kWarmToVibrant[] = {"Warm", "Natural", "Vibrant"};
constexpr const char* k6MsTo20Ms[] = {"6 ms", "8 ms", "10 ms", "12 ms", "14 ms", "16 ms", "18 ms", "20 ms"};
constexpr const char* k0OffTo7[] = {"0 (off)", "1", "2", "3", "4", "5", "6", "7"};
constexpr const char* kStaticLFOToDynamicSweep[] = {
    "Static LFO", "Dynamic Width (+)", "Dynamic Width (-)", "Dynamic Sweep",
};
constexpr const char* kMinus8ToPlus7[] = {
    "-8", "-7", "-6", "-5", "-4", "-3", "-2", "-1", "0 (neutral)", "+1", "+2", "+3", "+4", "+5", "+6", "+7",
};
constexpr const char* kAdditiveToSubtractive[] = {"Additive", "Subtractive"};
constexpr const char* kOffToOn[] = {"Off", "On"};
constexpr const char* kLFOToManual[] = {"LFO", "Manual"};
constexpr const char* kCrispToGliding[] = {"Crisp", "Gliding"};
constexpr const char* kTriangleSquare[] = {"Triangle", "Square"};
constexpr const char* k2To8[] = {"2", "4", "6", "8"};
constexpr const char* kEnvelopeToManual[] = {"Envelope", "Manual"};
constexpr const char* kChorusToVibrato[] = {"Chorus", "Vibrato"};
constexpr const char* kOriginalToExtended[] = {"Original", "Extended"};
constexpr const char* kFullToReduced[] = {"Full", "Reduced"};
constexpr const char* k0MsTo60Ms[] = {"0 ms", "20 ms", "40 ms", "60 ms"};
constexpr const char* kStandardToDynamic[] = {"Standard", "Dynamic"};
constexpr const char* kSineToTriangle[] = {"Sine", "Triangle"};
constexpr const char* kSnapToSlow[] = {"Snap", "Fast", "Slow"};
constexpr const char* kSineToRandom[] = {"Sine", "Ramp", "Saw", "Triangle", "Square", "Random"};
constexpr const char* kDarkerToBright[] = {"Darker", "Dark", "Warm", "Bright"};
constexpr const char* kMinus4ToPlus3[] = {"-4", "-3", "-2", "-1", "0 (neutral)", "+1", "+2", "+3"};
constexpr const char* kWiderToNarrower[] = {"Wider", "Wide", "Narrow", "Narrower"};
constexpr const char* kLowToHigh[] = {"Low", "Medium", "High"};
constexpr const char* kSineToFubar[] = {"Sine", "Triangle", "Square", "Random", "Cube ", "Fubar"};
constexpr const char* k6BitTo24Bit[] = {"6 bit", "7 bit", "8 bit", "9 bit", "10 bit", "12 bit", "16 bit", "24 bit"};
constexpr const char* k2KHzTo48KHz[] = {"2 KHz", "4 KHz", "6 KHz", "8 KHz", "12 KHz", "16 KHz", "24 KHz", "48 KHz"};
constexpr const char* kNormalToPlusPeaks[] = {"Normal", "+ Notches", "+ Peaks"};
constexpr const char* kDigits0to3[] = {"0", "1", "2", "3"};
constexpr const char* kPhonographToLowpass2[] = {
    "Phonograph", "Clock Radio", "Megaphone", "Antique Phone", "Cell Phone", "Intercom", "Lowpass 1",
    "Lowpass 2",
};
constexpr const char* k0SlowestTo3Fastest[] = {"0 (slowest)", "1", "2", "3 (fastest)"};
constexpr const char* k0ClosestTo3Farthest[] = {"0 (closest)", "1", "2", "3 (farthest)"};
constexpr const char* kSequenceIToSequenceRandom[] = {
    "Sequence I", "Sequence II", "Sequence III", "Sequence IV", "Sequence Random",
};
constexpr const char* k0Pct50PctTo100Pct[] = {"0%", "50%", "100%"};
constexpr const char* kLPMonoToHPMinusBPStereo[] = {
    "LP (mono)", "BP (mono)", "HP (mono)", "LP - BP (stereo)", "LP - HP (stereo)", "BP - HP (stereo)",
    "HP - LP (stereo)", "HP - BP (stereo)",
};
constexpr const char* kAdultToChild[] = {"Adult", "Child"};
constexpr const char* kLowerToHigh[] = {"Lower", "Low", "Medium", "High"};
constexpr const char* kBluesScaleToIndianAsavari[] = {
    "Blues Scale", "Pentatonic", "Phrygian", "Altered Scale", "Major", "Natural Minor", "Harmonic Minor",
    "Melodic Minor", "Japanese 1", "Japanese 2", "Japanese 3", "Japanese 4", "Balinese", "Gypsy Minor",
    "Oriental", "Indian Asavari",
};

constexpr SecondaryParameterInfo sp(const char* label, std::span<const char* const> options)
{
    return SecondaryParameterInfo{label, false, options};
}
constexpr SecondaryParameterInfo hidden()
{
    return SecondaryParameterInfo{" ", true, {}};
}

// ---------------------------------------------------------------------------
// One row per AlgorithmId: code, menu group, menu entry, knob labels,
// SP1..SP3, speed class, tap-capable, default codes.

constexpr AlgorithmInfo kAlgorithms[kAlgorithmCount] = {
    // 0
    {"TRMOLO", "A m p l i t u d e", "Tremolo", {"BPM", "DEPTH", "GLITCH"},
     {sp("Wave-Shape", kTriangleToSquare), sp("Panning", kMonoToStereo), sp("Gain", kDigits0to7)},
     SpeedClass::Tempo, true, {1, 0, 3}},
    // 1
    {"HCTREM", "A m p l i t u d e", "Harmonic Tremolo", {"BPM", "DEPTH", "XOVER FREQ"},
     {sp("Wave-Shape", kTriangleToSquare), sp("Panning", kMonoToStereo), sp("Vibe", kSubtleToDeep)},
     SpeedClass::Tempo, true, {1, 0, 0}},
    // 2
    {"CHOPPR", "A m p l i t u d e", "Chopper", {"BPM", "DEPTH", "DUTY CYCLE"},
     {sp("Mode", kStandardToStutter), sp("Panning", kMonoToStereo), sp("Gain", kDigits0to7)},
     SpeedClass::Tempo, true, {0, 0, 3}},
    // 3
    {"DCTREM", "A m p l i t u d e", "Dynamic Tremolo", {"SPEED", "DEPTH", "SENS"},
     {sp("Wave-Shape", kTriangleToSquare), sp("Panning", kMonoToStereo), sp("Dynamic Parameter", kDynamicSpeedPlusToDynamicDepthMinus)},
     SpeedClass::Rate, true, {1, 0, 1}},
    // 4
    {"SLOVOL", "A m p l i t u d e", "Slow Volume", {"ECHO TIME", "ECHO LEVEL", "SWELL TIME"},
     {sp("Tone", kClearToDark), sp("Feedback", k0PctTo90Pct), sp("Threshold", kDigits0to7)},
     SpeedClass::Rate, true, {2, 6, 2}},
    // 5
    {"FILTER", "F i l t e r s", "Modulated Filter", {"SPEED", "DEPTH", "MIX"},
     {sp("Mode", kStaticLFOToDynamicSpeedPlus), sp("Wave-Shape", kTriangleToSharkFin), sp("Sensitivity", kDigits0to15)},
     SpeedClass::Rate, true, {0, 0, 7}},
    // 6
    {"ENVFLT", "F i l t e r s", "Envelope Filter", {"SENS", "DEPTH", "MIX"},
     {sp("Sweep Direction", kUpToDown), sp("Filter Type", kLowpassToPeaking), sp("Q Curve", kLowToStrong)},
     SpeedClass::Rate, false, {0, 0, 2}},
    // 7
    {"s&hFLT", "F i l t e r s", "Sample-Hold Filter", {"SPEED", "DEPTH", "MIX"},
     {sp("Glissando", k0Pct50Pct75PctTo100Pct), sp("Filter Type", kLowpassToBandpass), sp("Q Curve", kLowToStrong)},
     SpeedClass::Rate, true, {2, 0, 2}},
    // 8
    {"FORMNT", "F i l t e r s", "Formant", {"SPEED", "EMPHASIS", "MIX"},
     {sp("Vowels", kPhrase1ToManual), sp("Glissando", k0Pct50Pct75PctTo100Pct), sp("Q Curve", kLowToStrong)},
     SpeedClass::Rate, true, {0, 2, 2}},
    // 9
    {"WAHWAH", "F i l t e r s", "Wah Filter", {"FREQUENCY", "DEPTH", "MIX"},
     {sp("Taper", kType1ToType4), sp("Filter Type", kLowpassToPeaking), sp("Q Curve", kLowToStrong)},
     SpeedClass::Rate, false, {1, 1, 2}},
    // 10
    {"DIME.C", "S w i r l s", "Dimension", {"SPEED", "DEPTH", "MIX"},
     {sp("Tone", kWarmToVibrant), sp("Predelay", k6MsTo20Ms), hidden()},
     SpeedClass::Rate, false, {1, 2, 0}},
    // 11
    {"CHORUS", "S w i r l s", "Chorus", {"SPEED", "DEPTH", "MIX"},
     {sp("Low-Cut", kDigits0to7), sp("High-Cut", kDigits0to7), hidden()},
     SpeedClass::Rate, false, {3, 3, 0}},
    // 12
    {"TRICHO", "S w i r l s", "Tri-Chorus", {"SPEED", "DEPTH", "MIX"},
     {sp("Low-Cut", kDigits0to7), sp("High-Cut", kDigits0to7), hidden()},
     SpeedClass::Rate, false, {3, 3, 0}},
    // 13
    {"DETUNE", "S w i r l s", "Detune", {"CENTS (-)", "CENTS (+)", "MIX"},
     {sp("Tone", kWarmToVibrant), sp("Stereo Spread", kDigits0to7), sp("Modulation", k0OffTo7)},
     SpeedClass::Rate, false, {1, 4, 4}},
    // 14
    {"FLANGE", "S w i r l s", "Dyna Flanger", {"SPEED", "DELAY", "MIX"},
     {sp("Mode", kStaticLFOToDynamicSweep), sp("Sweep Width", kDigits0to15), sp("Resonance", kMinus8ToPlus7)},
     SpeedClass::Rate, false, {0, 11, 3}},
    // 15
    {"TAPEFL", "S w i r l s", "Tape Flanger", {"SPEED", "DEPTH", "MIX"},
     {sp("Mode", kAdditiveToSubtractive), sp("Wow & Flutter", kOffToOn), sp("Trigger", kLFOToManual)},
     SpeedClass::Rate, false, {1, 0, 0}},
    // 16
    {"s&hFLA", "S w i r l s", "Sample-Hold Flange", {"SPEED", "RESONANCE", "MIX"},
     {sp("Mode", kAdditiveToSubtractive), sp("Steps", kCrispToGliding), sp("Timbre", kDigits0to7)},
     SpeedClass::Rate, true, {0, 0, 5}},
    // 17
    {"PHASER", "P h a s e", "Phaser", {"SPEED", "DEPTH", "MIX"},
     {sp("Wave-Shape", kTriangleSquare), sp("Phaser Stages", k2To8), sp("Resonance", kDigits0to7)},
     SpeedClass::Rate, true, {0, 1, 2}},
    // 18
    {"ENVPHI", "P h a s e", "Envelope Phaser", {"SENS", "DEPTH", "MIX"},
     {sp("Mode", kEnvelopeToManual), sp("Phaser Stages", k2To8), sp("Resonance", kDigits0to7)},
     SpeedClass::Rate, false, {0, 2, 5}},
    // 19
    {"s&hPHI", "P h a s e", "Sample-Hold Phaser", {"SPEED", "DEPTH", "MIX"},
     {sp("Glissando", k0Pct50Pct75PctTo100Pct), sp("Phaser Stages", k2To8), sp("Resonance", kDigits0to7)},
     SpeedClass::Rate, true, {1, 2, 4}},
    // 20
    {"UNIVBE", "P h a s e", "Faux Univibe", {"SPEED", "DEPTH", "MIX"},
     {sp("Mode", kChorusToVibrato), sp("Vibe", kOriginalToExtended), sp("Low-End Throb", kFullToReduced)},
     SpeedClass::Rate, true, {0, 0, 0}},
    // 21
    {"OCTAVE", "M i s c e l l a n y", "Octave Shifter", {"SUB-OCTAVE", "OCTAVE", "DRY"},
     {sp("Reverb Delay", k0MsTo60Ms), sp("Reverb Decay", kDigits0to15), sp("Reverb Level", kDigits0to15)},
     SpeedClass::Rate, false, {3, 4, 4}},
    // 22
    {"VBRATO", "M i s c e l l a n y", "Vibrato", {"SPEED", "DEPTH", "SENS"},
     {sp("Mode", kStandardToDynamic), sp("Wave-Shape", kSineToTriangle), sp("Rise Time", kSnapToSlow)},
     SpeedClass::Rate, false, {0, 0, 1}},
    // 23
    {"RNGMOD", "M i s c e l l a n y", "Ring Modulator", {"LFO SPEED", "SHIFT", "MIX"},
     {sp("LFO Depth", kDigits0to7), sp("Wave-Shape", kSineToRandom), sp("Tone", kDarkerToBright)},
     SpeedClass::Rate, false, {0, 0, 2}},
    // 24
    {"PARAEQ", "M i s c e l l a n y", "Parametric EQ", {"FREQUENCY", "GAIN", "VOLUME"},
     {sp("Bass", kMinus4ToPlus3), sp("Treble", kMinus4ToPlus3), sp("Q-Curve", kWiderToNarrower)},
     SpeedClass::Rate, false, {4, 4, 1}},
    // 25
    {"BITCRS", "M i s c e l l a n y", "Bit Crusher", {"FREQUENCY", "CRUSH", "MIX"},
     {sp("Input Gain", kLowToHigh), hidden(), sp("Volume", kDigits0to7)},
     SpeedClass::Rate, false, {1, 0, 6}},
    // 26
    {"JUNKIE", "M i s c e l l a n y", "Pressed Junk", {"SPEED", "DEPTH", "MIX"},
     {sp("Gain", kDigits0to7), sp("Wave-Shape", kSineToFubar), sp("Tone", kDarkerToBright)},
     SpeedClass::Rate, false, {4, 0, 2}},
    // 27
    {"RECORD", "M i s c e l l a n y", "Record Antics", {"SPEED", "DEPTH", "MIX"},
     {sp("Fidelity", k6BitTo24Bit), sp("Sample Rate", k2KHzTo48KHz), sp("Vinyl Dust/Scratch", kDigits0to7)},
     SpeedClass::Rate, false, {7, 7, 0}},
    // 28
    {"PHONOS", "M i s c e l l a n y", "Phono Filters", {"SATURATION", "RESONANCE", "VOLUME"},
     {sp("Mode", kNormalToPlusPeaks), sp("Notch/Peaks Density", kDigits0to3), sp("Filters", kPhonographToLowpass2)},
     SpeedClass::Rate, false, {0, 2, 0}},
    // 29
    {"HORN", "M i s c e l l a n y", "Horn (Rotary)", {"SLOW SPEED", "FAST SPEED", "VOLUME"},
     {sp("Acceleration", k0SlowestTo3Fastest), sp("Mic Distance", k0ClosestTo3Farthest), sp("PreDrive", kOffToOn)},
     SpeedClass::Rate, false, {1, 1, 1}},
    // 30
    {"DRUM", "M i s c e l l a n y", "Drum (Rotary)", {"SLOW SPEED", "FAST SPEED", "VOLUME"},
     {sp("Acceleration", k0SlowestTo3Fastest), sp("Intensity", kDigits0to3), sp("PreDrive", kOffToOn)},
     SpeedClass::Rate, false, {1, 3, 1}},
    // 31
    {"ARP.TR", "A r p", "Arp Tremolo", {"BPM", "DEPTH", "CHOPINESS"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Panning", kMonoToStereo), sp("Gain", kDigits0to7)},
     SpeedClass::Tempo, true, {0, 0, 3}},
    // 32
    {"ARP.FI", "A r p", "Arp Filter", {"BPM", "DEPTH", "MIX"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Glissando", k0Pct50PctTo100Pct), sp("Filter Type", kLPMonoToHPMinusBPStereo)},
     SpeedClass::Tempo, true, {0, 0, 0}},
    // 33
    {"ARP.FO", "A r p", "Arp Formant", {"BPM", "EMPHASIS", "MIX"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Voicing", kAdultToChild), sp("Q Curve", kLowToStrong)},
     SpeedClass::Tempo, true, {0, 0, 2}},
    // 34
    {"ARP.FL", "A r p", "Arp Flanger", {"BPM", "DEPTH", "MIX"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Timbre", kDigits0to3), sp("Resonance", kMinus8ToPlus7)},
     SpeedClass::Tempo, true, {0, 2, 13}},
    // 35
    {"ARP.PH", "A r p", "Arp Phaser", {"BPM", "DEPTH", "MIX"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Phaser Stages", k2To8), sp("Resonance", kDigits0to7)},
     SpeedClass::Tempo, true, {0, 2, 6}},
    // 36
    {"ARP.RM", "A r p", "Arp Ring Modulator", {"BPM", "SHIFT", "MIX"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Base Frequency", kLowerToHigh), sp("Tone", kDarkerToBright)},
     SpeedClass::Tempo, true, {0, 1, 2}},
    // 37
    {"ARPGTR", "A r p", "Arpeggiator", {"BPM", "LEVEL", "DRY"},
     {sp("Sequence", kSequenceIToSequenceRandom), sp("Scale", kBluesScaleToIndianAsavari), sp("Direction", kUpToDown)},
     SpeedClass::Tempo, true, {0, 0, 0}},
};

// ---------------------------------------------------------------------------
// The algorithm menus. DSP-Y's list; DSP-X's differs in three trailing blanks.

constexpr AlgorithmMenuItem kMenuY[] = {
    {"    A L G O R I T H M S", false},
    {"--------------------------------------", false},
    {"  A m p l i t u d e/  Tremolo", true},
    {"  A m p l i t u d e/  Harmonic Tremolo  ", true},
    {"  A m p l i t u d e/  Chopper", true},
    {"  A m p l i t u d e/  Dynamic Tremolo", true},
    {"  A m p l i t u d e/  Slow Volume", true},
    {"", false},
    {"  F i l t e r s/  Modulated Filter", true},
    {"  F i l t e r s/  Envelope Filter", true},
    {"  F i l t e r s/  Sample-Hold Filter  ", true},
    {"  F i l t e r s/  Formant", true},
    {"  F i l t e r s/  Wah Filter", true},
    {" ", false},
    {"  S w i r l s/  Dimension", true},
    {"  S w i r l s/  Chorus", true},
    {"  S w i r l s/  Tri-Chorus", true},
    {"  S w i r l s/  Detune", true},
    {"  S w i r l s/  Dyna Flanger", true},
    {"  S w i r l s/  Tape Flanger", true},
    {"  S w i r l s/  Sample-Hold Flange  ", true},
    {"  ", false},
    {"  P h a s e /  Phaser", true},
    {"  P h a s e /  Envelope Phaser", true},
    {"  P h a s e /  Sample-Hold Phaser  ", true},
    {"  P h a s e /  Faux Univibe", true},
    {"   ", false},
    {"  M i s c e l l a n y/  Octave Shifter ", true},
    {"  M i s c e l l a n y/  Vibrato ", true},
    {"  M i s c e l l a n y/  Ring Modulator  ", true},
    {"  M i s c e l l a n y/  Parametric EQ ", true},
    {"  M i s c e l l a n y/  Bit Crusher ", true},
    {"  M i s c e l l a n y/  Pressed Junk ", true},
    {"  M i s c e l l a n y/  Record Antics ", true},
    {"  M i s c e l l a n y/  Phono Filters ", true},
    {"  M i s c e l l a n y/  Horn (Rotary) ", true},
    {"  M i s c e l l a n y/  Drum (Rotary) ", true},
    {"    ", false},
    {"  A r p/  Arp Tremolo ", true},
    {"  A r p/  Arp Filter ", true},
    {"  A r p/  Arp Formant ", true},
    {"  A r p/  Arp Flanger ", true},
    {"  A r p/  Arp Phaser ", true},
    {"  A r p/  Arp Ring Modulator ", true},
    {"  A r p/  Arpeggiator ", true},
};

constexpr std::array<AlgorithmMenuItem, std::size(kMenuY)> make_menu_x()
{
    std::array<AlgorithmMenuItem, std::size(kMenuY)> m{};
    for (size_t i = 0; i < m.size(); ++i) m[i] = kMenuY[i];
    m[5].text = "  A m p l i t u d e/  Dynamic Tremolo ";
    m[27].text = "  M i s c e l l a n y/  Octave Shifter";
    m[43].text = "  A r p/  Arp Ring Modulator  ";
    return m;
}
constexpr auto kMenuX = make_menu_x();

// First menu position of each group of algorithms and the ids it holds: the
// toolkit puts a title before and a closing marker after every submenu, and
// one plain item (title, rule or spacer) between groups.
struct MenuGroup {
    int first_position;
    int first_id;
    int count;
};
constexpr MenuGroup kMenuGroups[] = {
    {3, 0, 5},     // A m p l i t u d e
    {11, 5, 5},    // F i l t e r s
    {19, 10, 7},   // S w i r l s
    {29, 17, 4},   // P h a s e
    {36, 21, 10},  // M i s c e l l a n y
    {49, 31, 7},   // A r p
};

struct MenuTables {
    std::array<int, kMenuPositionCount> to_algorithm{};
    std::array<int, kAlgorithmCount> to_position{};
};
constexpr MenuTables make_menu_tables()
{
    MenuTables t{};
    for (const MenuGroup& g : kMenuGroups) {
        for (int k = 0; k < g.count; ++k) {
            t.to_algorithm[size_t(g.first_position + k)] = g.first_id + k;
            t.to_position[size_t(g.first_id + k)] = g.first_position + k;
        }
    }
    return t;
}
constexpr MenuTables kMenuTables = make_menu_tables();

constexpr const char* kTapDivideTexts[kTapDivideCount] = {
    " Tap | Clk Disabled", "    Tap Divide 4:1", "    Tap Divide 2:1", "    Tap Divide 1:1",
    "    Tap Divide 1:2",  "    Tap Divide 1:3", "    Tap Divide 1:4", "    Tap Divide 3:4",
};

constexpr bool sp_valid(int sp) { return sp >= 0 && sp < kSpCount; }

// Algorithms with their own rules below.
constexpr AlgorithmId kFormant = 8;
constexpr AlgorithmId kDetune = 13;
constexpr AlgorithmId kFlanger = 14;
constexpr AlgorithmId kEnvelopePhaser = 18;
constexpr AlgorithmId kVibrato = 22;
constexpr AlgorithmId kRingModulator = 23;
constexpr AlgorithmId kArpFilter = 32;
constexpr uint8_t kFormantManual = 7;         // SP1 code of "Manual"
constexpr uint8_t kEnvelopePhaserManual = 1;  // SP1 code of "Manual"

// SP1 lists whose codes skip 1: TRMOLO, HCTREM, DCTREM, FILTER, DIME.C,
// DETUNE, BITCRS, PHONOS.
constexpr bool sp1_skips_code1(AlgorithmId a)
{
    return a == 0 || a == 1 || a == 3 || a == 5 || a == 10 || a == kDetune || a == kAlgorithmBitCrusher ||
           a == kAlgorithmPhonos;
}

}  // namespace

// ---------------------------------------------------------------------------

const AlgorithmInfo& algorithm_info(int id) { return kAlgorithms[resolve_algorithm(id)]; }
const char* algorithm_code(int id) { return algorithm_info(id).code; }
SpeedClass speed_class(int id) { return algorithm_info(id).speed; }
bool is_tempo_algorithm(int id) { return speed_class(id) == SpeedClass::Tempo; }
bool tap_capable(int id) { return algorithm_info(id).tap_capable; }

bool is_arp_algorithm(int id) { return resolve_algorithm(id) >= kFirstArpAlgorithm; }
int arp_index(int id) { return is_arp_algorithm(id) ? resolve_algorithm(id) - kFirstArpAlgorithm : -1; }

bool is_rotary_algorithm(int id)
{
    const AlgorithmId a = resolve_algorithm(id);
    return a == kAlgorithmHorn || a == kAlgorithmDrum;
}

uint8_t default_option(int id, int sp) { return sp_valid(sp) ? algorithm_info(id).defaults[size_t(sp)] : 0; }
std::array<uint8_t, 3> default_options(int id) { return algorithm_info(id).defaults; }

const char* knob_label(int id, Knob knob, int sp1_code)
{
    const AlgorithmId a = resolve_algorithm(id);
    const bool manual = (a == kFormant && sp1_code == kFormantManual) ||
                        (a == kEnvelopePhaser && sp1_code == kEnvelopePhaserManual);
    if (knob == Knob::Speed && manual) return "MANUAL";
    return kAlgorithms[a].knob_labels[size_t(index_of(knob))];
}

const char* sp_label(int id, int sp, int sp1_code)
{
    if (!sp_valid(sp)) return "";
    const AlgorithmId a = resolve_algorithm(id);
    if (a == kFlanger && sp == 1 && sp1_code > 0) return "Sensitivity";
    return kAlgorithms[a].sp[size_t(sp)].label;
}

bool sp_hidden(int id, int sp) { return sp_valid(sp) && algorithm_info(id).sp[size_t(sp)].hidden; }

CodeRule code_rule(int id, int sp)
{
    const AlgorithmId a = resolve_algorithm(id);
    switch (sp) {
    case 0:
        if (a >= kFirstArpAlgorithm) return CodeRule::Arp;
        if (sp1_skips_code1(a)) return CodeRule::SkipCode1;
        return CodeRule::Plain;
    case 1:
        if (a == kRingModulator || a == kAlgorithmJunkie) return CodeRule::FromOne;
        if (a == kArpFilter) return CodeRule::SkipCode1;
        return CodeRule::Plain;
    case 2:
        return a == kVibrato ? CodeRule::SkipCode1 : CodeRule::Plain;
    default:
        return CodeRule::Plain;
    }
}

int option_count(int id, int sp)
{
    if (!sp_valid(sp)) return 0;
    const SecondaryParameterInfo& p = algorithm_info(id).sp[size_t(sp)];
    return p.hidden ? kHiddenOptionCount : int(p.options.size());
}

std::vector<std::string> option_texts(Engine engine, int id, int sp)
{
    std::vector<std::string> out;
    if (!sp_valid(sp)) return out;
    const AlgorithmId a = resolve_algorithm(id);
    const SecondaryParameterInfo& p = kAlgorithms[a].sp[size_t(sp)];
    // A hidden list still holds two items (distinct texts, since the toolkit
    // merges menu items of the same text); the user never sees them.
    if (p.hidden) return {" 0", " 1"};
    std::span<const char* const> options = p.options;
    // DETUNE: DSP-Y carries "0 (off)" in its SP2 list and plain digits in SP3
    // (the table holds DSP-X's wording: digits in SP2, "0 (off)" in SP3).
    if (a == kDetune && engine == Engine::Y && sp >= 1) options = kAlgorithms[a].sp[size_t(3 - sp)].options;
    for (size_t pos = 0; pos < options.size(); ++pos) {
        std::string text = options[pos];
        // Two blanks: "0 (neutral)", RECORD's "6 bit".."9 bit", and on DSP-X
        // RECORD's "2 KHz".."8 KHz". RNGMOD's "Saw" reads "Sawtooth" on DSP-Y.
        bool two_blanks = text == "0 (neutral)";
        if (a == kAlgorithmRecord && pos <= 3 && (sp == 0 || (sp == 1 && engine == Engine::X))) two_blanks = true;
        if (a == kRingModulator && sp == 1 && pos == 2 && engine == Engine::Y) text = "Sawtooth";
        out.push_back((two_blanks ? "  " : " ") + text);
    }
    return out;
}

int position_to_code(int id, int sp, int position)
{
    const int count = option_count(id, sp);
    if (count == 0) return 0;
    const int p = std::clamp(position, 0, count - 1);
    switch (code_rule(id, sp)) {
    case CodeRule::SkipCode1: return p == 0 ? 0 : p + 1;
    case CodeRule::Arp: return p + std::min(p, 3);
    case CodeRule::FromOne: return p + 1;
    case CodeRule::Plain: break;
    }
    return p;
}

int clamp_code(int id, int sp, int code)
{
    const int count = option_count(id, sp);
    if (count == 0) return 0;
    switch (code_rule(id, sp)) {
    case CodeRule::SkipCode1: return std::clamp(code, 0, count);
    case CodeRule::Arp: return code;
    case CodeRule::FromOne: return std::clamp(code, 1, count);
    case CodeRule::Plain: break;
    }
    return std::clamp(code, 0, count - 1);
}

int code_to_position(int id, int sp, int code)
{
    const int count = option_count(id, sp);
    if (count == 0) return 0;
    const int c = clamp_code(id, sp, code);
    int position = c;
    switch (code_rule(id, sp)) {
    case CodeRule::SkipCode1: position = c > 1 ? c - 1 : c; break;
    case CodeRule::Arp: position = c - c / 2; break;
    case CodeRule::FromOne: position = c - 1; break;
    case CodeRule::Plain: break;
    }
    // The arp rule has no clamp of its own; a negative code cannot come from a
    // byte. Either way the position stays inside the list.
    return std::clamp(position, 0, count - 1);
}

int normalised_code(int id, int sp, int code) { return position_to_code(id, sp, code_to_position(id, sp, code)); }

Combination combination_of(int algorithm_x, int algorithm_y)
{
    const auto pair = [&](int a, int b) {
        return (algorithm_x == a && algorithm_y == b) || (algorithm_x == b && algorithm_y == a);
    };
    if (pair(kAlgorithmHorn, kAlgorithmDrum)) return Combination::Rotary;
    if (algorithm_x == kAlgorithmRecord && algorithm_y == kAlgorithmPhonos) return Combination::Vinyl;
    if (pair(kAlgorithmBitCrusher, kAlgorithmJunkie)) return Combination::Junk;
    return Combination::Off;
}

std::optional<Routing> combination_routing(Combination c)
{
    switch (c) {
    case Combination::Rotary: return Routing::Mixture;
    case Combination::Vinyl: return Routing::Cascade;
    case Combination::Junk: return Routing::Mixture;
    case Combination::Off: break;
    }
    return std::nullopt;
}

const char* combination_banner(Combination c)
{
    switch (c) {
    case Combination::Rotary: return "cat_rotary_[350x27].png";
    case Combination::Vinyl: return "cat_vinyl_[350x27].png";
    case Combination::Junk: return "cat_junkie_[350x27].png";
    case Combination::Off: break;
    }
    return nullptr;
}

std::span<const AlgorithmMenuItem> algorithm_menu_items(Engine engine)
{
    if (engine == Engine::X) return kMenuX;
    return kMenuY;
}

AlgorithmId position_to_algorithm(int position)
{
    if (position < 0 || position >= kMenuPositionCount) return 0;
    return AlgorithmId(kMenuTables.to_algorithm[size_t(position)]);
}

int algorithm_to_position(int id) { return kMenuTables.to_position[resolve_algorithm(id)]; }

const std::array<int, kMenuPositionCount>& position_to_algorithm_table() { return kMenuTables.to_algorithm; }
const std::array<int, kAlgorithmCount>& algorithm_to_position_table() { return kMenuTables.to_position; }

const char* tap_divide_text(int position)
{
    return position >= 0 && position < kTapDivideCount ? kTapDivideTexts[position] : "";
}

}  // namespace kv
