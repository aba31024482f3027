// "library.json" and a setlist as a damaged disk, a newer version or a
// hostile hand could leave them: any text, any nesting. Loading never
// crashes; a file that loads is written back and loads again with the same
// change, and a damaged one is kept aside, never
// lost.

#include "fuzz/FuzzSupport.h"
#include "library/core/LibraryMeta.h"
#include "platform/SafeFile.h"

#include <string>

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 262144) return 0;
    const std::string folder = fuzz::scratch_dir() + "/meta/";
    static const bool made = ::mkdir(folder.c_str(), 0700) == 0 && ::mkdir((folder + "setlists").c_str(), 0700) == 0;
    (void)made;
    fuzz::empty_folder(folder);
    fuzz::scratch_file("meta/library.json", data, size);
    fuzz::scratch_file("meta/setlists/Fuzz.json", data, size);

    const SetlistRead sl = read_setlist(folder, "Fuzz");
    fuzz::fuzz_check(sl.setlist.has_value() != !sl.error.empty(), "a setlist reads or says why");

    LibraryMeta meta(folder);
    const LibraryMeta::Loaded loaded = meta.load();
    if (loaded.damaged) {
        fuzz::fuzz_check(!loaded.kept_aside.empty(), "a damaged file is kept aside");
        const FileRead aside = read_file_limited(loaded.kept_aside, 1u << 20);
        fuzz::fuzz_check(aside.ok() && aside.bytes.size() == size, "what was kept aside is the whole file");
        return 0;
    }
    if (meta.newer()) {
        fuzz::fuzz_check(!meta.save().empty(), "a newer file is never rewritten");
        return 0;
    }
    meta.set_favourite("Fuzz", true);
    fuzz::fuzz_check(meta.save().empty(), "a file that loaded is written back");
    LibraryMeta again(folder);
    fuzz::fuzz_check(again.load().ok, "what was written loads");
    const PresetMeta* mine = again.find("Fuzz");
    fuzz::fuzz_check(mine && mine->favourite, "the change is kept");
    return 0;
}
