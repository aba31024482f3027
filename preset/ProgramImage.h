#pragma once
// An engine's program image rebuilt from a parameter block, and the block as
// the parameter editor holds it once loaded. The editor builds its working
// images through the same steps (a fresh copy of the algorithm's library
// image, then each secondary parameter patched with its code), so a preset
// stored from the editor and one stored straight from a file or a backup send
// the same programs.
//
// Blocks come from files and from the pedal: an algorithm byte outside 0 to
// 37 is taken as kFallbackAlgorithm and every option code is first brought
// into its list (Catalogue.h), so nothing here reads past a table.

#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/PresetRecord.h"

namespace kv {

// The program of one engine: the library image of the engine's algorithm with
// SP1, SP2 and SP3 patched with the codes the editor would hold for the block.
DspProgram engine_program(const AlgorithmLibrary& library, const PresetParameters& block, Engine engine);

struct EnginePrograms {
    DspProgram x;
    DspProgram y;
};
EnginePrograms engine_programs(const AlgorithmLibrary& library, const PresetParameters& block);

// The block after the editor has loaded it, which is what it sends next:
// - each algorithm byte outside 0 to 37 becomes kFallbackAlgorithm;
// - a volume code above 9 becomes 6 (0 dB);
// - each option code becomes the code of the list position it shows;
// - each engine's tap-on bit is set exactly when its algorithm follows tap
//   tempo and its tap divide is not 0;
// - the vinyl and junk pairs take their forced routing (the rotary pair keeps
//   the block's own), and the unused routing pattern 3 becomes Cascade;
// - focus_y is cleared.
// Every other byte is kept, speed bits 11-15 included.
PresetParameters loaded_parameters(const PresetParameters& block);

}  // namespace kv
