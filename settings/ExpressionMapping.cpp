#include "settings/ExpressionMapping.h"

#include "preset/Catalogue.h"

#include <algorithm>

namespace kv {

namespace {
constexpr uint8_t kMappingBits = 0xFC;   // bits 2-7 of focus
constexpr uint8_t kRotorBits = bits::kRotorFastBoth;
constexpr uint8_t kChangeBits = 0x03;    // bits 0-1 of focus
}

ExpressionMapping ExpressionMapping::initial()
{
    ExpressionMapping m;
    for (int e = 0; e < 2; ++e)
        for (int k = 0; k < 3; ++k) m.levels[size_t(level_index(Engine(e), Knob(k), true))] = 255;
    m.set_mapped(Engine::X, Knob::Speed, true);
    m.set_mapped(Engine::Y, Knob::Speed, true);
    return m;
}

ExpressionMapping ExpressionMapping::from_block(const PresetParameters& block)
{
    ExpressionMapping m;
    std::copy_n(block.expression_x, 6, m.levels.begin());
    std::copy_n(block.expression_y, 6, m.levels.begin() + 6);
    m.mapping_flags = uint8_t(block.focus & kMappingBits);
    m.speed_flags = block.rotor;
    return m;
}

void ExpressionMapping::set_mapped(Engine e, Knob k, bool on)
{
    const uint8_t bit = PresetParameters::expression_bit(e, k);
    mapping_flags = uint8_t(on ? (mapping_flags | bit) : (mapping_flags & ~bit));
}

void ExpressionMapping::set_fast(Engine e, Knob k, bool on)
{
    const uint8_t bit = PresetParameters::ramp_fast_bit(e, k);
    speed_flags = uint8_t(on ? (speed_flags | bit) : (speed_flags & ~bit));
}

void ExpressionMapping::set_level(Engine e, Knob k, bool toe, uint8_t value)
{
    levels[size_t(level_index(e, k, toe))] = value;
    set_mapped(e, k, level(e, k, false) != level(e, k, true));
}

bool speed_depth_exclusive(AlgorithmId id) { return id == kAlgorithmHorn || id == kAlgorithmDrum; }

void commit_mapping(PresetParameters& block, const ExpressionMapping& m, int change_code)
{
    block.focus = uint8_t((m.mapping_flags & kMappingBits) | (change_code & kChangeBits));
    block.rotor = uint8_t((m.speed_flags & ~kRotorBits) | (block.rotor & kRotorBits));
    std::copy_n(m.levels.begin(), 6, block.expression_x);
    std::copy_n(m.levels.begin() + 6, 6, block.expression_y);
}

} // namespace kv
