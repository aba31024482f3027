// Writes the factory arp sequence table, bin/arpdata.bin: seven blocks of four
// 32-byte sequences (Arp Tremolo, Arp Filter, Arp Formant, Arp Flanger,
// Arp Phaser, Arp Ring Modulator, Arpeggiator), 896 bytes in all.
//
// usage: gen_arpdata [output path]   (default bin/arpdata.bin)
//
// The sequences are written as shown levels (0..100). The Arpeggiator's are
// positions on its snap grid, which the pedal maps onto the chosen scale:
// grid position 0 is an octave down, 1 the root, 8 an octave up, and 2..7 the
// scale's degrees in between (with "Major": 2, 4, 5, 7, 9, 11 semitones).
// The filter-type algorithms use a pitch-like axis of three points per semitone
// above a base of 20, so chord shapes sound as chords when the sweep tracks.

#include "arp/ArpSequence.h"
#include "arp/FactoryArpTable.h"
#include "tools/GeneratorOutput.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Levels = std::array<double, kv::kArpSteps>;

struct Sequence {
    const char* name;
    int steps;
    Levels shown;  // all eight: steps past `steps` keep sensible values for when the count is raised
};

// Semitones above the root on the pitch-like axis.
constexpr double pitch(int semitones) { return 20.0 + 3.0 * semitones; }
// A position (0..8) on the snap grid.
constexpr double grid(int position) { return kv::kArpGridStep * position; }

Levels pitches(std::array<int, 8> semis)
{
    Levels l{};
    for (std::size_t i = 0; i < 8; ++i) l[i] = pitch(semis[i]);
    return l;
}

Levels grids(std::array<int, 8> positions)
{
    Levels l{};
    for (std::size_t i = 0; i < 8; ++i) l[i] = grid(positions[i]);
    return l;
}

struct Block {
    const char* algorithm;
    bool tremolo;
    std::array<Sequence, 4> sequences;
};

std::vector<Block> factory_blocks()
{
    return {
        {"Arp Tremolo", true, {{
            // Amplitude patterns on the snap grid.
            {"Accented eighths", 8, grids({8, 2, 5, 2, 8, 2, 5, 2})},
            {"Four-step swell", 4, grids({2, 4, 6, 8, 6, 4, 2, 0})},
            {"Triplet pulse", 6, grids({8, 3, 3, 7, 2, 2, 8, 3})},
            {"Gallop", 7, grids({8, 0, 8, 8, 0, 6, 0, 8})},
        }}},
        {"Arp Filter", false, {{
            {"Major arpeggio up two octaves", 8, pitches({0, 4, 7, 12, 16, 19, 24, 19})},
            {"Minor triad falling", 4, pitches({12, 7, 3, 0, 12, 7, 3, 0})},
            {"Octave bounce", 6, pitches({0, 12, 0, 12, 7, 19, 0, 12})},
            {"Stacked fifths", 5, pitches({0, 7, 14, 21, 7, 0, 7, 14})},
        }}},
        {"Arp Formant", false, {{
            // Vowel positions, drawn on the snap grid.
            {"Vowel sweep up and down", 8, grids({0, 2, 4, 6, 8, 6, 4, 2})},
            {"Talking four", 4, grids({1, 5, 3, 7, 1, 5, 3, 7})},
            {"Wah-yeah", 6, grids({8, 4, 6, 2, 4, 0, 8, 4})},
            {"Chant", 7, grids({3, 3, 6, 3, 3, 7, 5, 3})},
        }}},
        {"Arp Flanger", false, {{
            {"Staircase up", 8, {10, 22, 34, 46, 58, 70, 82, 94}},
            {"Staircase down", 4, {90, 65, 40, 15, 90, 65, 40, 15}},
            {"Triangle", 6, {15, 45, 75, 90, 75, 45, 15, 45}},
            {"Jet jumps", 5, {20, 80, 35, 95, 50, 20, 80, 35}},
        }}},
        {"Arp Phaser", false, {{
            {"Major seventh up", 8, pitches({0, 4, 7, 11, 12, 16, 19, 23})},
            {"Fifths and octaves", 4, pitches({0, 7, 12, 7, 0, 7, 12, 7})},
            {"Minor up and down", 6, pitches({0, 3, 7, 12, 7, 3, 0, 3})},
            {"Sus four falling", 7, pitches({24, 19, 17, 12, 7, 5, 0, 12})},
        }}},
        {"Arp Ring Modulator", false, {{
            {"Octaves", 4, pitches({0, 12, 24, 12, 0, 12, 24, 12})},
            {"Power chord", 8, pitches({0, 7, 12, 7, 0, 7, 12, 19})},
            {"Dominant seventh", 5, pitches({0, 4, 7, 10, 12, 0, 4, 7})},
            {"Whole-tone run", 6, pitches({0, 2, 4, 6, 8, 10, 12, 14})},
        }}},
        {"Arpeggiator", false, {{
            {"Triad up with octave", 4, grids({1, 3, 5, 8, 1, 3, 5, 8})},
            {"Triad up and down", 6, grids({1, 3, 5, 8, 5, 3, 1, 3})},
            {"Octaves and fifths", 8, grids({1, 8, 5, 8, 1, 8, 5, 0})},
            {"Scale run down", 7, grids({8, 7, 6, 5, 4, 3, 1, 0})},
        }}},
    };
}

} // namespace

int main(int argc, char** argv)
{
    std::string out = argc > 1 ? argv[1] : kv::arp_factory_path("bin");
    std::vector<std::uint8_t> table;
    table.reserve(kv::kArpFactoryTableSize);

    auto blocks = factory_blocks();
    if (static_cast<int>(blocks.size()) != kv::kArpAlgorithmCount) {
        std::fprintf(stderr, "gen_arpdata: expected %d blocks\n", kv::kArpAlgorithmCount);
        return 1;
    }
    for (const Block& b : blocks) {
        for (const Sequence& s : b.sequences) {
            kv::ArpSequence rec = kv::make_arp_sequence(s.shown, s.steps, b.tremolo);
            table.insert(table.end(), rec.bytes.begin(), rec.bytes.end());
            std::printf("%-20s %-32s %d steps%s\n", b.algorithm, s.name, s.steps,
                        kv::arp_uses_snap_grid(rec) ? "  (snap grid)" : "");
        }
    }
    if (table.size() != kv::kArpFactoryTableSize) {
        std::fprintf(stderr, "gen_arpdata: table is %zu bytes\n", table.size());
        return 1;
    }
    if (!kv::gen::write_output("gen_arpdata", out, kv::gen::bytes_view(table))) return 1;
    std::printf("wrote %s (%zu bytes)\n", out.c_str(), table.size());
    return 0;
}
