#pragma once
// The offline presets: the drop-down of presets kept as files in the
// presets folder (pick one to load and preview it, delete the picked one,
// "Add" opens the prompt) and the prompt over it (save the edit under a
// typed name, add presets from files, tips, Cancel).

#include "library/KV_PresetPanel.h"
#include "library/KV_PresetPrompt.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace kv {

class Korvane;

class OfflineController {
public:
    explicit OfflineController(Korvane& window) : w_(window) {}

    // What the drop-down and the prompt report.
    void on_preset_panel(KV_PresetPanel::Action action);
    void on_preset_prompt(KV_PresetPrompt::Action action);
    // Escape over the prompt: as its Cancel.
    void cancel_prompt()
    {
        preview_added_preset();
        close_preset_prompt();
    }

private:
    void open_preset_prompt();
    void close_preset_prompt();
    void save_typed_preset();
    void add_preset_files();
    // One chosen file; false when the user cancelled its replace question
    // (the prompt then stays open).
    bool add_preset_file(const std::string& path);
    void remove_selected_preset();
    // The preset just picked from the list, into the editor and onto the pedal.
    void preview_picked_preset();
    // The edited preset played on the pedal (nothing stored).
    void preview_edited_preset();
    // After Add from a file and Cancel: the edited preset played again,
    // DSP-Y's program first, no sequence fetched.
    void preview_added_preset();
    // Asks before an offline preset of the same name is replaced (`replace`:
    // there is one and the user agreed); false when cancelled.
    bool confirm_replace(const std::string& name, bool& replace);
    // Stores or lists a preset in one library transaction: `write` gets the
    // list as it is now and the entry of the same name it replaces.
    OfflineLibrary::Change store_preset(
        const std::string& name, bool replace,
        const std::function<OfflineLibrary::Change(OfflineLibrary&, std::optional<size_t>)>& write);

    Korvane& w_;
};

} // namespace kv
