#pragma once
// One arp sequence as the pedal keeps it, and the conversions between its
// bytes and what the arp editor shows.
//
// Record layout (32 bytes): eight steps of four bytes, step k at offset 4k:
//   bytes 4k, 4k+1   level of the step, 0..4095, little-endian
//   bytes 4k+2, 4k+3 second copy of the level (0 for Arp Tremolo)
// A sequence plays its first n steps, n = 4..8. For n < 8 byte 31 (high byte of
// step 7's second copy, a step that is then not played) carries the step-count
// marker (8 - n) * 16.
//
// The editor shows levels on a 0..100 scale with 100 at the top.

#include "preset/Catalogue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kv {

constexpr std::size_t kArpSequenceSize = 32;
constexpr int kArpSteps = 8;
constexpr int kArpMinSteps = 4;
constexpr int kArpLevelMax = 4095;
constexpr int kArpAlgorithmCount = kAlgorithmCount - kFirstArpAlgorithm;   // ids 31..37
constexpr int kArpUserSequences = 4;     // Sequence I..IV
constexpr double kArpLevelPerShown = 40.95;
constexpr double kArpGridStep = 12.5;    // snap grid spacing on the shown scale

// The arp algorithm index of an algorithm id (id - 31, 0 = Arp Tremolo ..
// 6 = Arpeggiator) is arp_index() in preset/Catalogue.h.

// Sequence selector as stored in secondary parameter 1: sequence n = 0..3
// becomes 0, 2, 4, 6; 4 (random) becomes 7. Out-of-range n is clamped.
int arp_selector(int sequence_number);

// Shown level (0..100) to record level: floor(shown * 40.95 + 0.5), kept within 0..4095.
int arp_level_from_shown(double shown);
// Record level to shown level: level / 40.95.
double arp_shown_from_level(int level);
// Nearest multiple of 12.5, ties to the even multiple (31.25 -> 25, 43.75 -> 50).
double arp_snap_shown(double shown);

struct ArpSequence {
    std::array<std::uint8_t, kArpSequenceSize> bytes{};

    // Copies up to 32 bytes; missing bytes stay zero.
    static ArpSequence from_bytes(const std::uint8_t* data, std::size_t size);

    // First field of step k (0..7); 0 for a step outside 0..7.
    int level(int step) const;
    // Second field of step k; 0 for a step outside 0..7.
    int second(int step) const;

    // Writes the level of step k into both fields, or only the first with a zero
    // second copy for Arp Tremolo. The level is kept within 0..4095; a step
    // outside 0..7 is ignored. Writing step 7 does not rewrite the step-count
    // marker: call set_step_count afterwards when fewer than 8 steps play.
    void set_level(int step, int level, bool tremolo);

    // Writes the step-count marker for n = 4..7 into byte 31; for n = 8 makes
    // bytes 30-31 a copy of bytes 28-29 again (zeros for Arp Tremolo).
    // n outside 4..8 is clamped into that range.
    void set_step_count(int n, bool tremolo);

    // Step count given by byte 31: 8 for 0x00..0x0F, 7 for 0x10..0x1F ... 4 for
    // 0x40..0x4F; nothing for 0x50 and above (the editor then keeps its count).
    std::optional<int> step_count() const;

    // Exchanges steps i and n-1-i for i < n/2, as the editor's reverse button
    // does. With fewer than 8 steps the marker in byte 31 stays where it is.
    // With 8 steps the step moved to position 0 takes both fields from the old
    // last level (second copy 0 for Arp Tremolo), and the old first step goes
    // whole into position 7.
    void reverse(int n, bool tremolo);

    bool operator==(const ArpSequence&) const = default;
};

// What the editor shows for a record.
struct ArpReading {
    std::array<double, kArpSteps> shown{};  // level / 40.95 of each step's first field, kept within 0..100
    int step_count = 8;                     // from byte 31, or the count passed in when byte 31 is 0x50 or more
    bool snap_grid = false;                 // a shown level lies more than 0.4 from a whole number
};

// Reads a record the way the editor loads it. current_steps is the count the
// editor has now; it is kept when byte 31 does not name a count.
ArpReading read_arp_sequence(const ArpSequence& seq, int current_steps);

// True when any of the eight shown levels lies more than 0.4 away from the
// nearest whole number, i.e. the sequence was drawn on the snap grid.
bool arp_uses_snap_grid(const ArpSequence& seq);

// Builds a record from shown levels (0..100) with n steps playing.
ArpSequence make_arp_sequence(const std::array<double, kArpSteps>& shown, int steps, bool tremolo);

// The Arpeggiator plays the snap grid's seven lines as notes of its scale
// (secondary parameter 2, 0 "Blues Scale" .. 15 "Indian Asavari"): the
// semitone of each line, top line first, within the octave between the
// grid's "+12" top and "-12" bottom. A scale outside 0..15 is clamped.
constexpr int kArpGridLines = 7;
constexpr int kArpScaleCount = 16;
std::array<int, kArpGridLines> arpeggiator_grid_semitones(int scale);

} // namespace kv
