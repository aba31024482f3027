#include "preset/ProgramImage.h"

#include "preset/ProgramPatcher.h"
#include "preset/Scales.h"

namespace kv {

DspProgram engine_program(const AlgorithmLibrary& library, const PresetParameters& block, Engine engine)
{
    const AlgorithmId id = resolve_algorithm(block.algorithm(engine));
    DspProgram image = library.image(id);
    const ProgramPatcher patcher;
    for (int sp = 0; sp < kSpCount; ++sp)
        patcher.patch(sp, normalised_code(id, sp, block.sp(engine, sp)), image, id);
    return image;
}

EnginePrograms engine_programs(const AlgorithmLibrary& library, const PresetParameters& block)
{
    return {engine_program(library, block, Engine::X), engine_program(library, block, Engine::Y)};
}

PresetParameters loaded_parameters(const PresetParameters& block)
{
    PresetParameters p = block;
    for (Engine e : {Engine::X, Engine::Y}) {
        const AlgorithmId id = resolve_algorithm(p.algorithm(e));
        p.set_algorithm(e, id);
        p.set_tap_on(e, tap_capable(id) && p.tap_divide(e) != kTapDisabled);
        for (int sp = 0; sp < kSpCount; ++sp) p.set_sp(e, sp, uint8_t(normalised_code(id, sp, p.sp(e, sp))));
    }
    p.volume = normalised_volume(p.volume);
    const Combination c = combination_of(p.algorithm_x, p.algorithm_y);
    if (c == Combination::Vinyl || c == Combination::Junk) {
        p.set_routing(*combination_routing(c));
    } else if (p.routing() > static_cast<uint8_t>(Routing::LrSplit)) {
        p.set_routing(Routing::Cascade);
    }
    p.set_focus_y(false);
    return p;
}

}  // namespace kv
