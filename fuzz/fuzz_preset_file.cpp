// An offline preset file (".lop"): the name line, the parameter block and the
// title, from any bytes. A file taken must have a name line of 1 to 38
// characters, and writing the preset again under a clean name must read back
// the same record.

#include "fuzz/FuzzSupport.h"
#include "library/core/OfflinePresets.h"

#include <cstring>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const PresetFile f = decode_preset_file(std::span<const uint8_t>(data, size));
    if (f.ok()) {
        fuzz::fuzz_check(!f.name.empty() && f.name.size() <= kMaxPresetNameLength, "name line 1 to 38 characters");
        fuzz::fuzz_check(f.name.find('\n') == std::string::npos, "name without its newline");
        const std::string clean = clean_preset_name(f.name);
        if (check_preset_name(clean) == NameProblem::NoProblem) {
            const std::vector<uint8_t> again = encode_preset_file(clean, f.record);
            const PresetFile back = decode_preset_file(again);
            fuzz::fuzz_check(back.ok() && back.name == clean, "a clean name reads back");
            fuzz::fuzz_check(std::memcmp(&back.record, &f.record, kPresetRecordSize) == 0, "the record reads back");
        }
    } else {
        (void)preset_file_problem_text(f, "/some/where.lop").size();
    }
    const std::string path = fuzz::scratch_file("preset.lop", data, size);
    const PresetFile read = read_preset_file(path);
    fuzz::fuzz_check(read.ok() == f.ok() || size > kPresetFileReadLimit, "the file reads as its bytes decode");
    return 0;
}
