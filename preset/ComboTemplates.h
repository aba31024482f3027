#pragma once
// The three combo algorithm templates: each puts one of the combinations'
// algorithm pairs on the two engines in one step. Item 1 to 3 of the template
// chooser, in the order of the combinations they form.

#include "preset/Catalogue.h"

#include <array>

namespace kv {

struct ComboTemplate {
    Combination combination;
    AlgorithmId algorithm_x;
    AlgorithmId algorithm_y;
};

constexpr std::array<ComboTemplate, 3> kComboTemplates = {{
    {Combination::Rotary, kAlgorithmDrum, kAlgorithmHorn},
    {Combination::Vinyl, kAlgorithmRecord, kAlgorithmPhonos},
    {Combination::Junk, kAlgorithmBitCrusher, kAlgorithmJunkie},
}};

// The template of chooser item 1 to 3; nullptr for item 0 ("select a
// template") and anything else.
constexpr const ComboTemplate* combo_template(int item)
{
    return item >= 1 && item <= int(kComboTemplates.size()) ? &kComboTemplates[size_t(item - 1)] : nullptr;
}

}  // namespace kv
