#pragma once
// The window's side of the library transaction (library/core/LibraryStore.h):
// every change the window makes to the offline presets, their metadata or
// the setlists goes through change_library, which runs the edit on the
// library as it is on disk at that moment, under the folder's lock, and then
// shows the drop-down and its count as the folder holds them. Questions are
// asked before, never inside an edit; an edit finds its presets again by name.

#include "library/core/LibraryMeta.h"
#include "library/core/LibraryStore.h"

#include <functional>
#include <string>

namespace kv {

class KV_PresetPanel;

// The transaction, then the drop-down again (its pick kept by name). When
// `meta` is given it becomes the metadata as read after the change.
LibraryResult change_library(const std::string& folder, KV_PresetPanel& panel, const std::function<void(Library&)>& edit,
                             LibraryMeta* meta = nullptr);

// The drop-down (and `meta`, when given) from the folder as it is now,
// under the shared lock: never half a change. The drop-down keeps its pick
// by name.
LibraryResult reload_library(const std::string& folder, KV_PresetPanel& panel, LibraryMeta* meta = nullptr);

} // namespace kv
