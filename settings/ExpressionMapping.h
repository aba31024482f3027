#pragma once
// The expression and ramp mapping of one preset, as the " Expression " page
// edits it: which knobs (SPEED, DEPTH, TWEAK of each engine) follow the
// expression pedal or the ramp, each knob's heel and toe levels (0..255,
// shown 0..100), and each knob's ramp speed (slow or fast).
//
// The mapping lives in the preset's parameter block: bits 2-7 of `focus`
// (byte 2) say which knobs are mapped, bits 1-3 and 5-7 of `rotor` (byte 3)
// which ramps run fast, bytes 19..30 hold the levels. Bits 0-1 of byte 2 are
// the engine the last edit concerned, and bits 0 and 4 of byte 3 the rotary
// speaker's speeds: neither is part of the mapping, and a commit sets the
// first from the engine edited and keeps the second. The pedal treats a knob
// whose heel and toe levels are equal as unmapped.

#include "preset/PresetRecord.h"

#include <array>
#include <cstdint>

namespace kv {

constexpr int kExpressionLevels = 12;
// The change code of an edit: the engine it concerned; kNoChange between edits.
constexpr int kChangeX = 0;
constexpr int kChangeY = 1;
constexpr int kNoChange = 2;

struct ExpressionMapping {
    // DSP-X SPEED heel, toe, DEPTH heel, toe, TWEAK heel, toe, then DSP-Y alike.
    std::array<uint8_t, kExpressionLevels> levels{};
    uint8_t mapping_flags = 0;   // byte 2's layout, bits 0-1 always clear
    uint8_t speed_flags = 0;     // byte 3's layout

    // What the page shows before its first load: SPEED mapped on both
    // engines, every ramp slow, heel 0 and toe 100 (255) everywhere.
    static ExpressionMapping initial();
    // The mapping held in a parameter block.
    static ExpressionMapping from_block(const PresetParameters& block);

    static constexpr int level_index(Engine e, Knob k, bool toe)
    {
        return (e == Engine::X ? 0 : 6) + 2 * index_of(k) + (toe ? 1 : 0);
    }
    uint8_t level(Engine e, Knob k, bool toe) const { return levels[size_t(level_index(e, k, toe))]; }
    bool mapped(Engine e, Knob k) const { return mapping_flags & PresetParameters::expression_bit(e, k); }
    void set_mapped(Engine e, Knob k, bool on);
    bool fast(Engine e, Knob k) const { return speed_flags & PresetParameters::ramp_fast_bit(e, k); }
    void set_fast(Engine e, Knob k, bool on);
    // A heel or toe level moved: the knob counts as mapped exactly when its
    // two levels differ.
    void set_level(Engine e, Knob k, bool toe, uint8_t level);

    bool operator==(const ExpressionMapping&) const = default;
};

// HORN and DRUM may hand only one of SPEED and DEPTH to the pedal.
bool speed_depth_exclusive(AlgorithmId id);

// Writes the mapping into a parameter block: byte 2 = mapping flags | change
// code (0 DSP-X, 1 DSP-Y); byte 3's mapping bits from the speed flags with
// its rotary bits 0 and 4 kept; bytes 19..30 the levels. Nothing else moves.
void commit_mapping(PresetParameters& block, const ExpressionMapping& m, int change_code);

} // namespace kv
