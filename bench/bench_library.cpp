// The library with 100,000 presets, toolkit-free: loading presets.lst and
// its files, making the rows, the metadata file, and the search as it runs
// on every key typed into the Library page. Run by hand:
//   build/bench/bench_library [COUNT]
// Prints milliseconds per step (median of several runs for the fast ones).

#include "library/core/LibraryMeta.h"
#include "library/core/LibrarySearch.h"
#include "library/core/OfflinePresets.h"
#include "platform/AtomicFile.h"
#include "preset/Catalogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace kv;

namespace {

double ms_of(const std::function<void()>& f, int runs = 1)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto a = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    char tmpl[] = "/tmp/kv_bench_library_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string folder = std::string(tmpl) + "/";

    // The folder: count preset files, their list and metadata for a third.
    std::string list;
    LibraryMeta meta(folder);
    for (size_t i = 0; i < count; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "Preset %06zu", i);
        PresetRecord r{};
        r.parameters.algorithm_x = uint8_t(i % kAlgorithmCount);
        r.parameters.algorithm_y = uint8_t((i * 7) % kAlgorithmCount);
        r.title = make_title(name);
        const std::string path = folder + name + ".lop";
        const auto bytes = encode_preset_file(name, r);
        if (!write_file_atomically(path, bytes)) return 1;
        list += path + "\n";
        if (i % 3 == 0) meta.add_tags(name, {i % 2 ? "live" : "studio"});
        if (i % 10 == 0) meta.set_favourite(name, true);
        if (i % 7 == 0) meta.set_notes(name, "chorus for the bridge");
    }
    write_file_atomically(folder + kPresetListFileName,
                          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(list.data()), list.size()));
    std::printf("library of %zu presets in %s\n", count, folder.c_str());
    std::printf("  save library.json          %8.1f ms\n", ms_of([&] { meta.save(); }));

    OfflineLibrary library(folder);
    std::printf("  load presets.lst + files   %8.1f ms  (start-up, once)\n", ms_of([&] { library.load(); }));
    LibraryMeta loaded(folder);
    std::printf("  load library.json          %8.1f ms  (first opening of the page)\n", ms_of([&] { loaded.load(); }));

    std::vector<LibraryRow> rows;
    LibraryQuery all;
    std::vector<size_t> shown;
    const double open = ms_of([&] {
        rows = library_rows(library, loaded);
        shown = find_rows(rows, all);
    }, 5);
    std::printf("  open: rows + sort by name  %8.1f ms  (%zu rows)\n", open, shown.size());

    double worst = 0;
    std::string typed;
    for (char c : std::string("chorus")) {
        typed += c;
        LibraryQuery q;
        q.text = typed;
        const double t = ms_of([&] { shown = find_rows(rows, q); }, 5);
        worst = std::max(worst, t);
        std::printf("  filter \"%s\"%*s %8.1f ms  (%zu rows)\n", typed.c_str(), int(17 - typed.size()), "", t, shown.size());
    }
    LibraryQuery tag;
    tag.tag = "live";
    std::printf("  tag \"live\"                 %8.1f ms\n", ms_of([&] { shown = find_rows(rows, tag); }, 5));
    LibraryQuery fav;
    fav.favourites_only = true;
    std::printf("  favourites                 %8.1f ms\n", ms_of([&] { shown = find_rows(rows, fav); }, 5));
    for (LibraryColumn c : {LibraryColumn::AlgorithmX, LibraryColumn::Tags, LibraryColumn::Added}) {
        LibraryQuery s;
        s.sort = c;
        s.descending = true;
        const double t = ms_of([&] { shown = find_rows(rows, s); }, 5);
        worst = std::max(worst, t);
        std::printf("  sort by column %d           %8.1f ms\n", int(c), t);
    }
    std::printf("open %s 100 ms, slowest filter or sort %.1f ms %s 100 ms\n", open < 100 ? "under" : "OVER", worst,
                worst < 100 ? "under" : "OVER");
    std::filesystem::remove_all(folder);
    return open < 100 && worst < 100 ? 0 : 1;
}
