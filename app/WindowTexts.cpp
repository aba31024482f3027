// The main window's own texts: the dialogs of the connect sequence, the
// offline prompt's tips and the preset selector's items.

#include "app/Korvane.h"

#include "ops/Texts.h"
#include "platform/DataPaths.h"
#include "platform/Platform.h"

#include <cstdio>
#include <string>

namespace kv {

std::string Korvane::usb_problem_text() { return ops::usb_problem_text(); }

std::string Korvane::not_found_text() { return ops::not_found_text(); }

std::string Korvane::too_old_text() { return ops::too_old_text(); }

std::string Korvane::midi_cables_text() { return ops::midi_cables_text(); }

std::string Korvane::offline_tips_text()
{
    return "  You can add Offline Presets (saved in your computer) in 2 different ways : \n\n"
           "1. Type in the desired preset name and click 'Save'.\n"
           "    --------------------------------------------------------------\n"
           "    The currently displayed parameter setting is saved as an offline preset in your computer.\n\n"
           "    Tips : For every preset saved, an individual 'preset file' is created in this directory:\n\n"
           "             " + kv::presets_folder_path() + "\n\n"
           "             You can share your favorite presets with other Tessivar users by sharing\n"
           "             with them these preset files.\n\n"
           "2. Add Preset from file(s).\n"
           "    ----------------------------\n"
           "    Load presets from existing preset file(s) These files maybe preset files you got from\n"
           "    other Tessivar users.\n\n"
           "IMPORTANT !\n"
           "----------------\n"
           "- Do not manually delete, move, or rename the files in the preset folder.\n"
           "- Use the 'delete' functionality provided to remove unwanted presets.";
}
std::string Korvane::selector_item_text(int slot)
{
    if (slot < 0 || slot > 31) return {};
    const int page = slot / 8 + 1;
    const int bank = slot / 2 + 1;
    const char patch = slot % 2 == 0 ? 'A' : 'B';
    // Slot 17 has always read with two spaces before "Patch"; users know the list by it.
    const char* dash = slot == 17 ? " -  Patch " : " - Patch ";
    char b[96];
    std::snprintf(b, sizeof b, "       P a g e  %d/  Page %d : Bank %d%s%c", page, page, bank, dash, patch);
    return b;
}

} // namespace kv
