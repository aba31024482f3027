// The list of offline presets ("presets.lst") and the preset files it names,
// as a list shared by someone else could be: any lines, any paths. The input
// is the list's text, then (after a NUL) the content given to every preset
// file of the folder. The list is loaded, a preset stored, the first entry
// replaced and the others removed one by one.
//
// No real file is put at risk: a path outside the scratch folder is turned
// into the path of a bait file in a folder beside it, and the bait must
// survive whatever happens to its entries. Files of the presets folder may
// come and go, but nothing outside it. (Relative lines of the input name
// files of the presets folder, which the target creates with the given content.)

#include "fuzz/FuzzSupport.h"
#include "library/core/OfflinePresets.h"
#include "platform/SafeFile.h"

#include <fstream>
#include <string>

using namespace kv;

namespace {

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384) return 0;
    const std::string root = fuzz::scratch_dir();
    const std::string folder = root + "/presets/";
    const std::string outside = root + "/outside/";
    const std::string bait = outside + "Bait.lop";
    static const bool made = ::mkdir(folder.c_str(), 0700) == 0 && ::mkdir(outside.c_str(), 0700) == 0;
    (void)made;
    fuzz::empty_folder(folder);

    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string_view list = all.substr(0, nul);
    const std::string_view body = nul == std::string_view::npos ? std::string_view("Fuzzed\n") : all.substr(nul + 1);

    // The list with every path held inside the scratch area: a relative line
    // names a file of the presets folder, a line with ".." reaches the bait
    // through the folder ("presets/../outside/Bait.lop"), any other absolute
    // path is the bait itself.
    std::string text;
    int files = 0;
    for (std::string_view line : split_lines(list)) {
        std::string path(line);
        if (path.find("..") != std::string::npos) path = folder + "../outside/Bait.lop";
        else if (!path.empty() && path.front() == '/') path = bait;
        else if (!path.empty()) {
            path = folder + path;
            if (files++ < 8) {
                std::ofstream out(path, std::ios::binary | std::ios::trunc);   // may fail for odd names
                out.write(body.data(), std::streamsize(body.size()));
            }
        }
        text += path + "\n";
    }
    fuzz::scratch_file("presets/presets.lst", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::string bait_text = "Bait\n" + std::string(kPresetRecordSize, 'b');
    fuzz::scratch_file("outside/Bait.lop", reinterpret_cast<const uint8_t*>(bait_text.data()), bait_text.size());

    OfflineLibrary lib(folder);
    lib.load();
    for (const OfflineEntry& e : lib.entries())
        fuzz::fuzz_check(!e.name.empty() && e.name.size() <= kMaxPresetNameLength, "listed names 1 to 38 characters");

    PresetRecord record{};
    record.title = make_title("Fuzz");
    const auto bytes = encode_preset_file("Fuzz Stored", record);
    const auto stored = lib.store("Fuzz Stored", bytes, lib.size() ? std::optional<size_t>(0) : std::nullopt);
    if (stored.ok) fuzz::fuzz_check(lib.find("Fuzz Stored").has_value(), "a stored preset is listed");
    while (lib.size() > 0) {
        const size_t before = lib.size();
        if (!lib.remove(lib.size() - 1).ok) break;
        fuzz::fuzz_check(lib.size() == before - 1, "remove takes one entry");
    }
    fuzz::fuzz_check(exists(bait), "a file outside the presets folder survives");
    OfflineLibrary again(folder);
    again.load();
    return 0;
}
