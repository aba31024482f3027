#include "app/LibraryEdits.h"

#include "library/KV_PresetPanel.h"

namespace kv {

LibraryResult reload_library(const std::string& folder, KV_PresetPanel& panel, LibraryMeta* meta)
{
    const int picked_index = panel.selected();
    const std::string picked = picked_index >= 0 ? panel.name_of(picked_index) : std::string();
    bool read = false;
    const LibraryResult r = LibraryStore(folder).read([&](const Library& lib) {
        panel.library = lib.presets;
        if (meta) *meta = lib.meta;
        read = true;
    });
    // A list that cannot be read: the drop-down shows it as the list's own
    // reader leaves it (empty, and every change refused until it loads).
    if (!read) panel.library.load();
    panel.load_problems = r.notices;
    panel.refresh();
    if (!picked.empty())
        if (const auto i = panel.library.find(picked)) panel.select(int(*i));
    return r;
}

LibraryResult change_library(const std::string& folder, KV_PresetPanel& panel, const std::function<void(Library&)>& edit,
                             LibraryMeta* meta)
{
    const LibraryResult r = LibraryStore(folder).change(edit);
    reload_library(folder, panel, meta);
    return r;
}

} // namespace kv
