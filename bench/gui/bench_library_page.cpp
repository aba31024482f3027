// The Library page and the offline drop-down with a large library, in the
// toolkit: the page filled with 100,000 rows and drawn, filtering as keys
// are typed, and the drop-down filled in one go against one item at a time
// (what it did before). Run by hand under a display:
//   xvfb-run -a build/bench/bench_library_page [COUNT]

#include "library/KV_LibraryPanel.h"
#include "library/core/LibrarySearch.h"
#include "preset/Catalogue.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace kv;

static double ms_of(const std::function<void()>& f)
{
    const auto a = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count();
}

int main(int argc, char** argv)
{
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    std::vector<LibraryRow> rows;
    for (size_t i = 0; i < count; ++i) {
        PresetRecord r{};
        r.parameters.algorithm_x = uint8_t(i % kAlgorithmCount);
        r.parameters.algorithm_y = uint8_t((i * 7) % kAlgorithmCount);
        PresetMeta m;
        if (i % 3 == 0) m.tags = {i % 2 ? "live" : "studio"};
        m.favourite = i % 10 == 0;
        if (i % 7 == 0) m.notes = "chorus for the bridge";
        char name[40];
        std::snprintf(name, sizeof name, "Preset %06zu", i);
        rows.push_back(make_library_row(i, name, &r, &m));
    }

    Fl_Double_Window win(700, 600, "bench");
    auto* page = new KV_LibraryPanel(0, 10, 700, 590);
    win.end();
    win.show();
    Fl::flush();
    const double open = ms_of([&] {
        page->set_rows(rows);
        page->redraw();
        Fl::flush();
    });
    std::printf("Library page, %zu presets\n  open (rows, sort, draw)   %8.1f ms\n", count, open);
    std::string typed;
    double worst = 0;
    for (char c : std::string("chorus")) {
        typed += c;
        const double t = ms_of([&] {
            page->search->value(typed.c_str());
            page->apply_query();
            Fl::flush();
        });
        worst = std::max(worst, t);
        std::printf("  type \"%s\"%*s %8.1f ms  (%zu rows)\n", typed.c_str(), int(17 - typed.size()), "", t,
                    page->shown().size());
    }

    // The drop-down: one item at a time (as before) and in one go (as now).
    const size_t n = std::min<size_t>(count, 10000);
    std::vector<std::string> labels;
    for (size_t i = 0; i < n; ++i) labels.push_back(rows[i].name);
    Fl_Choice one(0, 0, 100, 20);
    const double add_each = ms_of([&] {
        for (const std::string& l : labels) {
            const int i = one.add("item");
            one.replace(i, l.c_str());
        }
    });
    Fl_Choice all(0, 0, 100, 20);
    std::vector<Fl_Menu_Item> items;
    const double at_once = ms_of([&] {
        items.assign(labels.size() + 1, Fl_Menu_Item{});
        for (size_t i = 0; i < labels.size(); ++i) items[i].label(labels[i].c_str());
        all.menu(items.data());
    });
    std::printf("offline drop-down, %zu presets\n  one item at a time        %8.1f ms\n  in one go                 %8.1f ms\n",
                n, add_each, at_once);
    std::printf("open %s 100 ms, slowest keystroke %.1f ms %s 100 ms\n", open < 100 ? "under" : "OVER", worst,
                worst < 100 ? "under" : "OVER");
    all.menu(nullptr);
    return 0;
}
