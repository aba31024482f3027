// The readable sharing format (.tessivar.json) as anyone could write it: any
// text, any nesting, any fields. Decoding never crashes and never takes a
// preset whose record breaks the editor's rules; every preset it accepts is
// imported into a scratch library through the library's transaction and
// read back with the same record.

#include "fuzz/FuzzSupport.h"
#include "library/core/LibraryStore.h"
#include "library/core/SharingFormat.h"
#include "preset/RecordCheck.h"

#include <string>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 262144) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SharingImport r = decode_sharing_file(text);
    if (!r.ok) {
        fuzz::fuzz_check(!r.error.empty(), "a refused file says why");
        return 0;
    }
    for (const SharedPreset& p : r.presets) {
        fuzz::fuzz_check(record_problem(p.record).empty(), "only records the editor accepts are imported");
        for (const std::string& t : p.tags) fuzz::fuzz_check(tag_problem(t).empty(), "only acceptable tags");
        fuzz::fuzz_check(notes_problem(p.notes).empty(), "only acceptable notes");
    }
    if (r.presets.empty() || r.presets.size() > 8) return 0;

    const std::string folder = fuzz::scratch_dir() + "/sharing/";
    static const bool made = ::mkdir(folder.c_str(), 0700) == 0;
    (void)made;
    fuzz::empty_folder(folder);
    LibraryStore store(folder);
    LibraryImport imported;
    const LibraryResult done = store.change(
        [&](Library& l) { imported = import_into_library(r.presets, l.presets, l.meta, "2026-12-08 00:00:00"); });
    fuzz::fuzz_check(done.ok(), "an import into an empty folder succeeds");
    store.read([&](const Library& l) {
        fuzz::fuzz_check(l.presets.size() == imported.imported.size(), "every imported preset is listed");
        for (size_t i = 0; i < imported.imported.size() && i < l.presets.size(); ++i) {
            const auto& record = l.presets.entries()[i].record;
            fuzz::fuzz_check(record.has_value(), "an imported preset reads back");
        }
    });
    return 0;
}
