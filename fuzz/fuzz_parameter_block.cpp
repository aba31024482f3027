// A 35-byte parameter block (with its 12-byte title: a 47-byte record) loaded
// into the editor's model, as the Dashboard does after a read from the pedal
// or an offline file: every lookup its display makes for both engines, the
// load clamp of each option list, the program image built from the
// algorithm's library image and patched by the clamped options, and the
// migration rules of a firmware update. Nothing may read outside its tables,
// and every clamped code must give a position inside its list; the block as
// the Dashboard holds it after loading must be settled (loading it again
// changes nothing) and build the same programs as the block itself.

#include "fuzz/FuzzSupport.h"
#include "preset/AlgorithmLibrary.h"
#include "preset/Catalogue.h"
#include "preset/PresetMigration.h"
#include "preset/PresetRecord.h"
#include "preset/ProgramImage.h"
#include "preset/ProgramPatcher.h"
#include "preset/Scales.h"

#include <cstring>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kPresetParametersSize) return 0;
    uint8_t bytes[kPresetRecordSize] = {};
    std::memcpy(bytes, data, std::min(size, sizeof bytes));
    const PresetRecord record = record_from_bytes(bytes);
    const PresetParameters p = parameters_from_bytes(bytes);
    fuzz::fuzz_check(std::memcmp(&p, bytes, kPresetParametersSize) == 0, "block taken byte for byte");
    (void)title_text(record.title).size();

    static const AlgorithmLibrary library(AlgorithmLibrary::file_path(KV_SOURCE_DIR "/bin"));
    const ProgramPatcher patcher;
    for (Engine e : {Engine::X, Engine::Y}) {
        const int id = p.algorithm(e);
        const AlgorithmInfo& info = algorithm_info(id);
        fuzz::fuzz_check(info.code != nullptr, "algorithm info for any id");
        (void)algorithm_code(id);
        const SpeedClass speed = speed_class(id);
        (void)speed_text_value(speed, p.speed(e));
        (void)speed_raw_to_position(speed, p.speed(e));
        (void)tempo_bpm(p.speed(e));
        (void)percent_text_value(p.depth(e));
        (void)percent_text_value(p.tweak(e));
        (void)tap_divide_text(p.tap_divide(e));
        (void)arp_index(id);
        (void)algorithm_to_position(id);
        const int sp1 = p.sp(e, 0);
        for (int k = 0; k < 3; ++k) (void)knob_label(id, static_cast<Knob>(k), sp1);

        DspProgram program = library.image(resolve_algorithm(id));
        for (int sp = 0; sp < kSpCount; ++sp) {
            (void)sp_label(id, sp, sp1);
            const int count = option_count(id, sp);
            const auto texts = option_texts(e, id, sp);
            fuzz::fuzz_check(int(texts.size()) == count, "option list size");
            const int code = p.sp(e, sp);
            const int position = code_to_position(id, sp, code);
            fuzz::fuzz_check(position >= 0 && position < count, "clamped code shows a list position");
            const int kept = normalised_code(id, sp, code);
            fuzz::fuzz_check(code_to_position(id, sp, kept) == position, "normalised code keeps its position");
            (void)clamp_code(id, sp, code);
            if (algorithm_valid(id)) patcher.patch(sp, kept, program, AlgorithmId(id));
        }
    }
    (void)volume_position(p.volume);
    (void)volume_text(volume_position(p.volume));
    (void)combination_routing(combination_of(p.algorithm_x, p.algorithm_y));
    (void)combination_banner(combination_of(p.algorithm_x, p.algorithm_y));

    // The block as the Dashboard holds it once loaded, and the programs it builds.
    const PresetParameters loaded = loaded_parameters(p);
    for (Engine e : {Engine::X, Engine::Y}) {
        fuzz::fuzz_check(algorithm_valid(loaded.algorithm(e)), "a loaded block plays a known algorithm");
        for (int sp = 0; sp < kSpCount; ++sp) {
            const int id = loaded.algorithm(e);
            const int code = loaded.sp(e, sp);
            fuzz::fuzz_check(normalised_code(id, sp, code) == code, "a loaded option code is its list's own");
        }
    }
    fuzz::fuzz_check(loaded.volume <= kVolumeMaxCode, "a loaded volume code is in range");
    const PresetParameters twice = loaded_parameters(loaded);
    fuzz::fuzz_check(std::memcmp(&twice, &loaded, kPresetParametersSize) == 0, "loading a loaded block changes nothing");
    const EnginePrograms built = engine_programs(library, p);
    const EnginePrograms from_loaded = engine_programs(library, loaded);
    fuzz::fuzz_check(std::memcmp(&built, &from_loaded, sizeof built) == 0,
                     "a block and the block as loaded build the same programs");

    for (uint8_t version : {0x20, 0x21, 0x22, 0x23}) {
        for (uint8_t mode : {0x00, 0x08, 0x7F}) {
            if (auto rule = migration_rule(version, mode)) {
                PresetParameters m = p;
                migrate_preset(m, *rule);
            }
        }
    }
    return 0;
}
